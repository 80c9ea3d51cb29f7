// Runs a program and writes its whole 32-bit exit code as "0x%08X" to a file, which a
// shell script under Wine cannot learn otherwise (wine's own status keeps the low byte).
// ExitCode <out file> <program> [arguments...] (OV_EXITCODE_RAW=1: the arguments unquoted);
// the child's process id goes to "<out file>.pid" as soon as it runs, its peak working set in
// bytes to "<out file>.peak".
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace
{
std::wstring Quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring text = L"\"";
    for (wchar_t c : argument)
    {
        if (c == L'"')
            text += L'\\';
        text += c;
    }
    return text + L"\"";
}

void WriteText(const std::wstring& path, const char* text)
{
    FILE* file = _wfopen(path.c_str(), L"w");
    if (!file)
        return;
    fputs(text, file);
    fclose(file);
}
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    // OV_EXITCODE_RAW=1: the arguments go on as written, the way an administrator types
    // /msi:"A=1 B=2" at a prompt, rather than quoted one by one.
    wchar_t raw[4] = {};
    const bool verbatim = GetEnvironmentVariableW(L"OV_EXITCODE_RAW", raw, 4) == 1 && raw[0] == L'1';
    std::wstring commandLine;
    for (int i = 2; i < argc; ++i)
        commandLine += (i > 2 ? L" " : L"") + (verbatim && i > 2 ? std::wstring(argv[i]) : Quoted(argv[i]));
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    {
        fwprintf(stderr, L"cannot start %ls: %lu\n", commandLine.c_str(), GetLastError());
        return 3;
    }
    char text[32];
    snprintf(text, sizeof(text), "%lu", process.dwProcessId);
    WriteText(std::wstring(argv[1]) + L".pid", text);
    // Sampled while it runs: Wine keeps no counters of a process that has ended.
    SIZE_T peak = 0;
    bool measured = false;
    do
    {
        PROCESS_MEMORY_COUNTERS memory = {sizeof(memory)};
        if (K32GetProcessMemoryInfo(process.hProcess, &memory, sizeof(memory)))
        {
            measured = true;
            peak = std::max({peak, memory.PeakWorkingSetSize, memory.WorkingSetSize});
        }
    } while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    if (measured)
    {
        snprintf(text, sizeof(text), "%llu", static_cast<unsigned long long>(peak));
        WriteText(std::wstring(argv[1]) + L".peak", text);
    }
    snprintf(text, sizeof(text), "0x%08lX", code);
    WriteText(argv[1], text);
    return 0;
}
