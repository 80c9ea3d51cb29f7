#include "ActionTable.h"

#include "InstallContext.h"
#include "OvErrorObject.h"
#include "ResString.h"
#include "Trace.h"
#include "WindowMessages.h"
#include "res/resource.h"

namespace ovinst
{
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

template <typename Change>
void BaseActionTable::Update(EActionType type, LPARAM change, Change&& apply)
{
    // The window reads the record under the same lock, so it never sees half a change.
    std::lock_guard<std::mutex> guard(m_lock);
    apply(Find(type));
    Post(type, change);
}

void BaseActionTable::ActionStart(EActionType type)
{
    Update(type, TableStepStarted, [this](ActionRecord& record) {
        record.running = true;
        m_currentLine = record.line;
    });
}

void BaseActionTable::ActionEnd(EActionType type)
{
    Update(type, TableStepEnded, [this](ActionRecord& record) {
        record.running = false;
        m_currentLine = 0;
    });
}

void BaseActionTable::ActionText(EActionType type, const std::wstring& text)
{
    Update(type, TableTextChanged, [&](ActionRecord& record) {
        record.text = type == ActionAnalyzeUpdates
                          ? utils::FormatResString(IDS_ANALYZING_UPDATES_FMT, text.c_str())
                          : text;
    });
}

void BaseActionTable::Error(EActionType type)
{
    Update(type, TableStepFailed, [this](ActionRecord& record) {
        record.failed = true;
        m_currentLine = 0;
    });
}

void BaseActionTable::Hide(EActionType type)
{
    Update(type, TableLineHidden, [](ActionRecord& record) { record.hidden = true; });
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
    // The console set has three lines: the two unused ones would show a bare pending icon.
    Hide(ActionAuthServer);
    Hide(ActionSyncService);
}

void ConsoleTable::RemapLines(bool)
{
}

SecutityServerTable::SecutityServerTable(HWND window)
    : SecutityServerTable(window, utils::CInstallContext::Instance().IsRemovalMode())
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
