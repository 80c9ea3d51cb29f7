// Starts build/bin/PrerequisiteProbe.exe and reads back what it recorded.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testsupport
{
struct ProbeResult
{
    DWORD exitCode = 0xFFFFFFFF;
    // One entry per record of the probe's output (notifier calls, or "major.minor").
    std::vector<std::wstring> lines;
};

// `flags` blank-separated; `workingFolder` empty keeps the caller's current directory.
ProbeResult RunPrerequisiteProbe(const std::wstring& operation, const std::wstring& flags = L"",
                                 const std::wstring& workingFolder = L"");
}
