#include "ActionTable.h"

#include "OvErrorObject.h"
#include "ResString.h"
#include "Trace.h"
#include "WindowMessages.h"
#include "resource.h"

namespace ovinst
{
namespace
{
// The resource text is a format with one "%s"; substituting it by hand keeps a "%" in
// the step's text from being taken as a conversion.
std::wstring FormatWithText(const std::wstring& format, const std::wstring& text)
{
    const size_t pos = format.find(L"%s");
    if (pos == std::wstring::npos)
        return format;
    std::wstring result = format;
    result.replace(pos, 2, text);
    return result;
}
}

BaseActionTable::BaseActionTable(HWND window) : m_window(window)
{
}

BaseActionTable::~BaseActionTable() = default;

ActionRecord& BaseActionTable::Find(EActionType type)
{
    auto it = m_records.find(type);
    if (it == m_records.end())
        OvBase::ThrowErrorTextAt(L"Wrong EActionType", OV_WFILE, __LINE__, L"ovinst::BaseActionTable::GetAction");
    return it->second;
}

void BaseActionTable::Post(EActionType type, LPARAM change) const
{
    // A window that is gone loses the message; nothing to do about it here.
    PostMessageW(m_window, WM_TABLE_CHANGED, static_cast<WPARAM>(type), change);
}

void BaseActionTable::AddRecord(EActionType type, int32_t line, const std::wstring& text)
{
    ActionRecord record;
    record.line = line;
    record.text = text;
    m_records[type] = record;
}

void BaseActionTable::PostAllTexts() const
{
    for (const auto& entry : m_records)
        Post(entry.first, TableTextChanged);
}

void BaseActionTable::ActionStart(EActionType type)
{
    std::lock_guard<std::mutex> guard(m_lock);
    ActionRecord& record = Find(type);
    record.running = true;
    m_currentLine = record.line;
    Post(type, TableStepStarted);
}

void BaseActionTable::ActionEnd(EActionType type)
{
    std::lock_guard<std::mutex> guard(m_lock);
    Find(type).running = false;
    m_currentLine = 0;
    Post(type, TableStepEnded);
}

void BaseActionTable::ActionText(EActionType type, const std::wstring& text)
{
    std::lock_guard<std::mutex> guard(m_lock);
    ActionRecord& record = Find(type);
    if (type == ActionAnalyzeUpdates)
        record.text = FormatWithText(utils::LoadResString(IDS_ANALYZING_UPDATES_FMT), text);
    else
        record.text = text;
    Post(type, TableTextChanged);
}

void BaseActionTable::Error(EActionType type)
{
    std::lock_guard<std::mutex> guard(m_lock);
    Find(type).failed = true;
    m_currentLine = 0;
    Post(type, TableStepFailed);
}

void BaseActionTable::Hide(EActionType type)
{
    std::lock_guard<std::mutex> guard(m_lock);
    Find(type).hidden = true;
    Post(type, TableLineHidden);
}

void BaseActionTable::SetUninstallOrder(bool uninstall)
{
    std::lock_guard<std::mutex> guard(m_lock);
    RemapLines(uninstall);
}

void BaseActionTable::Lock()
{
    m_lock.lock();
}

ActionRecord BaseActionTable::GetAction(EActionType type)
{
    return Find(type);
}

int32_t BaseActionTable::GetCurrentLine()
{
    return m_currentLine;
}

void BaseActionTable::Unlock()
{
    m_lock.unlock();
}

ConsoleTable::ConsoleTable(HWND window) : BaseActionTable(window)
{
    AddRecord(ActionAnalyzeSystem, 1, utils::LoadResString(IDS_ANALYZING_SYSTEM));
    AddRecord(ActionAnalyzeUpdates, 2, utils::LoadResString(IDS_ANALYZING_UPDATES));
    AddRecord(ActionMainPackage, 3, utils::LoadResString(IDS_CONTROL_CENTER));
    AddRecord(ActionAuthServer, 4, L"");
    AddRecord(ActionSyncService, 5, L"");
    PostAllTexts();
}

void ConsoleTable::RemapLines(bool)
{
}

SecutityServerTable::SecutityServerTable(HWND window, bool removalRun) : BaseActionTable(window)
{
    AddRecord(ActionAnalyzeSystem, 1, utils::LoadResString(IDS_ANALYZING_SYSTEM));
    AddRecord(ActionAnalyzeUpdates, 2, utils::LoadResString(IDS_ANALYZING_UPDATES));
    AddRecord(ActionMainPackage, 3, utils::LoadResString(IDS_SECURITY_SERVER));
    AddRecord(ActionAuthServer, 4, utils::LoadResString(IDS_AUTH_SERVER));
    AddRecord(ActionSyncService, 5, utils::LoadResString(IDS_SYNC_SERVICE));
    PostAllTexts();
    if (removalRun)
        SetUninstallOrder(true);
}

void SecutityServerTable::RemapLines(bool uninstall)
{
    // Removal runs the Synchronization service first and the Security Server last.
    Find(ActionMainPackage).line = uninstall ? 5 : 3;
    Find(ActionSyncService).line = uninstall ? 3 : 5;
    PostAllTexts();
}
}
