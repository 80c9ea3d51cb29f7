#include "ProbeRunner.h"

#include <gtest/gtest.h>

#include "TraceTestSupport.h"
#include "Win32Objects.h"

namespace testsupport
{
ProbeResult RunPrerequisiteProbe(const std::wstring& operation, const std::wstring& flags,
                                 const std::wstring& workingFolder)
{
    ovtest::CTempFolder folder(L"probe");
    const std::wstring output = folder / L"calls.txt";
    const std::wstring program = std::wstring(OV_BIN_DIR) + L"\\PrerequisiteProbe.exe";
    const std::wstring arguments = operation + L" \"" + output + L"\" " + flags;
    OvBase::CWin32Process probe;
    if (!workingFolder.empty())
        probe.SetCurrentDirectory(workingFolder);
    ProbeResult result;
    if (probe.Create(program.c_str(), arguments.c_str()) != 0 || probe.WaitFor(120000) != 0)
    {
        ADD_FAILURE() << "PrerequisiteProbe did not run";
        return result;
    }
    result.exitCode = probe.GetExitCode();
    const std::string bytes = ovtest::FileExists(output) ? ovtest::ReadFileBytes(output) : std::string();
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find(L'\x1E', start);
        if (end == std::wstring::npos)
            end = text.size();
        result.lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}
}
