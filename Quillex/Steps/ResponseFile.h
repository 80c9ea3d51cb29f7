// Settings of a silent run from a response file, as the property part of a command line.
#pragma once

#include <string>

namespace ovinst
{
struct ResponseFileCommandLine
{
    // " NAME=\"value\"" for every setting, in property-name order.
    std::wstring text;
    // The same with the password values written as "***", for the log.
    std::wstring masked;
};

// Reads the response file at `path`; a file that cannot be read gives empty texts.
ResponseFileCommandLine GetResponseFileCommandLine(const std::wstring& path);
// The response file of the command line's "script" option, else `defaultFileName` in the
// current folder. A file named on the command line that cannot be opened throws the system's
// error; a missing default file gives empty texts.
ResponseFileCommandLine GetSettingFileCommandLine(const wchar_t* defaultFileName);
}
