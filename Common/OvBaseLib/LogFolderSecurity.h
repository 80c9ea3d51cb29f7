// The log folder is shared with the product's other modules, some of them unprivileged, while
// the setup writes into it elevated: what it finds there is checked before it is trusted.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace OvBase
{
// SYSTEM and Administrators: full control; CREATOR OWNER: full control of what it creates;
// Everyone and both app-package groups: list the folder, create files and subfolders in it.
// Protected: nothing is inherited from above.
extern const wchar_t kLogFolderSddl[];
// The common trace file of all modules: the broad groups may only append to it.
extern const wchar_t kCommonFileSddl[];

// Self-relative descriptor made from SDDL; empty when the text does not convert.
std::vector<BYTE> DescriptorFromSddl(const wchar_t* sddl);

// SYSTEM, Administrators, TrustedInstaller, or the account this process runs as.
bool IsTrustedOwner(PSID owner);

// The folder to write logs into: `folder` itself, with each missing folder of its path created
// with the log folder's access list. An existing folder of the path that is a reparse point or
// belongs to another account is moved aside and made afresh; when it cannot be moved, the logs
// go to a fresh folder beside it (the same one for the rest of the process). Empty when no
// safe folder can be had. No trailing separator.
std::wstring SecureLogFolder(const std::wstring& folder);
// The same for the folder of a log file, then PrepareLogFile; the file's path to write, or
// empty.
std::wstring SecureLogFilePath(const std::wstring& path, bool shared = false);
// Before a log file's first write: one that is a reparse point, has more than one link or
// (unless it is shared by every module, as the common file is) belongs to another account is
// moved aside, so that the next open creates a fresh file. False when such a file is there and
// cannot be moved.
bool PrepareLogFile(const std::wstring& path, bool shared = false);
// Gives the folder the log folder's access list, through a handle on the folder itself;
// false for a reparse point or a folder that cannot be opened.
bool SetLogFolderAccess(const std::wstring& folder);

// What the preparations moved aside or chose instead, one text each, for the trace once it is
// open; the list is emptied.
std::vector<std::wstring> TakeLogFolderNotes();
}
