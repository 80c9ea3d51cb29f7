// Cost of a trace call with tracing off and with file output on.
// Writes two module sub-keys of the trace configuration for its own traces and removes
// them (and the trace key, when it made it) before it ends.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "Trace.h"
#include "TraceImpl.h"

namespace
{
const wchar_t kOffModule[] = L"OvBenchmarkOff";
const wchar_t kFileModule[] = L"OvBenchmarkFile";

void SetDword(HKEY key, const wchar_t* name, DWORD value)
{
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

HKEY CreateKey(const std::wstring& path)
{
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}

template <class Call>
double NanosecondsPerCall(long long calls, Call call)
{
    auto start = std::chrono::steady_clock::now();
    for (long long i = 0; i < calls; ++i)
        call(i);
    auto elapsed = std::chrono::steady_clock::now() - start;
    return std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(calls);
}
}

int wmain()
{
    std::wstring traceKey = OvBase::kTraceKey;
    HKEY existing = nullptr;
    bool keyExisted = RegOpenKeyExW(HKEY_LOCAL_MACHINE, traceKey.c_str(), 0, KEY_READ, &existing) == ERROR_SUCCESS;
    if (existing)
        RegCloseKey(existing);

    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    std::wstring logPath = std::wstring(temp) + L"OvTraceBenchmark.log";
    DeleteFileW(logPath.c_str());

    HKEY off = CreateKey(traceKey + L"\\" + kOffModule);
    SetDword(off, L"EnableMask", 0);
    SetDword(off, L"ParamsMask", 0);
    RegCloseKey(off);
    HKEY file = CreateKey(traceKey + L"\\" + kFileModule);
    SetDword(file, L"EnableMask", 2);
    SetDword(file, L"ParamsMask", 0x7C01);
    SetDword(file, L"CommonFileFlag", 1);
    RegSetValueExW(file, L"CommonFileName", 0, REG_SZ, reinterpret_cast<const BYTE*>(logPath.c_str()),
                   static_cast<DWORD>((logPath.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(file);

    double offNs = 0;
    double offPrefixNs = 0;
    double fileNs = 0;
    const long long kOffCalls = 20000000;
    const long long kFileCalls = 5000;
    {
        OvBase::COvTrace traceOff(kOffModule);
        OvBase::COvTrace traceFile(kFileModule);
        if (traceOff.IsEnabled() || !traceFile.IsEnabled())
        {
            wprintf(L"unexpected configuration (forced values in the trace key?)\n");
            return 2;
        }
        offNs = NanosecondsPerCall(kOffCalls, [&](long long i) {
            traceOff.TraceW(2, L"value %d of %s", static_cast<int>(i), L"benchmark");
        });
        OvBase::CTracePrefix prefix(&traceOff, L"  ", 0);
        offPrefixNs = NanosecondsPerCall(kOffCalls, [&](long long i) {
            prefix.Trace(2, L"value %d of %s", static_cast<int>(i), L"benchmark");
        });
        fileNs = NanosecondsPerCall(kFileCalls, [&](long long i) {
            traceFile.TraceW(2, L"value %d of %s", static_cast<int>(i), L"benchmark");
        });
    }

    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (traceKey + L"\\" + kOffModule).c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (traceKey + L"\\" + kFileModule).c_str());
    if (!keyExisted)
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, traceKey.c_str());
    DeleteFileW(logPath.c_str());

    double ratio = offNs / fileNs * 100.0;
    wprintf(L"tracing off, COvTrace::TraceW:       %8.2f ns/call  (%lld calls)\n", offNs, kOffCalls);
    wprintf(L"tracing off, CTracePrefix::Trace:    %8.2f ns/call  (%lld calls)\n", offPrefixNs, kOffCalls);
    wprintf(L"file output on, COvTrace::TraceW:    %8.0f ns/call  = %.0f lines/s  (%lld lines)\n", fileNs,
            1e9 / fileNs, kFileCalls);
    wprintf(L"off / on: %.4f%% (must stay under 1%%)\n", ratio);
    return ratio < 1.0 && offPrefixNs / fileNs < 0.01 ? 0 : 1;
}
