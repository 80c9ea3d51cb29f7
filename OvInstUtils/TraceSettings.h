// The trace configuration in the registry: one settings record per key, and the
// configuration a run makes for itself when the machine has none.
#pragma once

#include <windows.h>

#include <string>

#include "Trace.h"

namespace OvBase
{
// 0xFFFFFFFF in a number field and an empty text mean "not set".
struct TraceSettings
{
    DWORD enableMask;
    DWORD forceEnableMask;
    DWORD paramsMask;
    DWORD forceParamsMask;
    DWORD commonFileFlag;
    DWORD forceCommonFileFlag;
    wchar_t commonFileName[260];
    DWORD contextMask;
    DWORD disableContextFlag;
    wchar_t tracePath[260];
};
static_assert(sizeof(TraceSettings) == 1072, "the settings record has a fixed size");

const DWORD kTraceNotSet = 0xFFFFFFFF;

// module null: the trace key itself (the common record), else the module's sub-key.
LONG ReadTraceSettings(const wchar_t* module, TraceSettings* settings);
LONG WriteTraceSettings(const wchar_t* module, const TraceSettings* settings);
LONG DeleteTraceSettings(const wchar_t* module);

// True when tracing is configured, after moving the driver's older configuration over.
bool IsTraceConfigured();
LONG WriteDefaultTraceSettings();
std::wstring GetDefaultLogFolder();
std::wstring GetLogFolder();

// Makes sure the run is traced; removes the configuration at the end if it wrote it.
class TemporaryTraceConfiguration
{
public:
    explicit TemporaryTraceConfiguration(COvTrace& trace);
    ~TemporaryTraceConfiguration();
    TemporaryTraceConfiguration(const TemporaryTraceConfiguration&) = delete;
    TemporaryTraceConfiguration& operator=(const TemporaryTraceConfiguration&) = delete;

    bool WroteDefaults() const { return m_wroteDefaults; }

private:
    bool m_wroteDefaults = false;
};
}
