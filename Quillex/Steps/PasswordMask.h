// Keeps the database passwords out of the trace log, which every user of the server can read.
#pragma once

#include <string>
#include <vector>

namespace ovinst
{
// True for the properties whose values are never written in clear.
bool IsPasswordProperty(const std::wstring& name);
// "***" for a password property, else the value unchanged.
std::wstring MaskedValue(const std::wstring& name, const std::wstring& value);
// A property command line with the value of every password property replaced by "***",
// quoted (NAME="...", with "" inside) or plain (up to the next blank). Installer messages
// of the form "NAME = value" are masked to the end of their line.
std::wstring MaskPasswords(const std::wstring& commandLine);
// The values the password properties of a command line are given (quotes removed).
std::vector<std::wstring> PasswordValues(const std::wstring& commandLine);
// Every whole occurrence of a secret replaced by "***" (MaskWholeValues), then MaskPasswords.
std::wstring MaskSecrets(const std::wstring& text, const std::vector<std::wstring>& secrets);
// Rewrites a Windows Installer log with the secrets masked: some installers log every
// property at the end regardless of MsiHiddenProperties.
void ScrubLogFile(const std::wstring& path, const std::vector<std::wstring>& secrets);
}
