#include "RegionSquatterProcess.h"

namespace ovtest
{
CRegionSquatter::CRegionSquatter(const wchar_t* key, const std::wstring& text) : m_folder(L"squatter")
{
    std::wstring commandLine =
        L"\"" + std::wstring(OV_BIN_DIR) + L"\\RegionSquatter.exe\" " + key + L" \"" + m_folder.Path() + L"\"";
    if (!text.empty())
        commandLine += L" \"" + text + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &m_process))
        return;
    for (int waited = 0; waited < 300 && !m_ready; ++waited)
    {
        m_ready = FileExists(m_folder / L"ready");
        if (!m_ready && WaitForSingleObject(m_process.hProcess, 100) == WAIT_OBJECT_0)
            break;
    }
}

CRegionSquatter::~CRegionSquatter()
{
    Stop();
    if (m_process.hProcess)
        CloseHandle(m_process.hProcess);
}

std::string CRegionSquatter::Stop()
{
    if (!m_process.hProcess)
        return {};
    if (!m_stopped)
    {
        m_stopped = true;
        WriteFileBytes(m_folder / L"stop", "");
        if (WaitForSingleObject(m_process.hProcess, 30000) != WAIT_OBJECT_0)
            TerminateProcess(m_process.hProcess, 1);
        CloseHandle(m_process.hThread);
    }
    return FileExists(m_folder / L"region.txt") ? ReadFileBytes(m_folder / L"region.txt") : std::string();
}
}
