// A notifier that records every call as a line ("ActionStartWithText 2 <text>"), in order,
// into a log the test can share with other recorders (e.g. a replaced msi function).
#pragma once

#include "Engine/INotifier.h"

#include <string>
#include <vector>

namespace testsupport
{
using CallLog = std::vector<std::wstring>;

class RecordingNotifier : public ovinst::INotifier
{
public:
    explicit RecordingNotifier(CallLog& log) : m_log(log) {}

    void ShowStatusWindow() override { Add(L"ShowStatusWindow"); }
    void HideStatusWindow() override { Add(L"HideStatusWindow"); }
    void ActionStartWithText(int id, const std::wstring& text) override { Add(L"ActionStartWithText " + std::to_wstring(id) + L" " + text); }
    void ActionStart(int id) override { Add(L"ActionStart " + std::to_wstring(id)); }
    void ActionEndWithText(int id, const std::wstring& text) override { Add(L"ActionEndWithText " + std::to_wstring(id) + L" " + text); }
    void ActionEnd(int id) override { Add(L"ActionEnd " + std::to_wstring(id)); }
    void ActionError(int id) override { Add(L"ActionError " + std::to_wstring(id)); }
    void InformUser(const std::wstring& message) override { Add(L"InformUser " + message); }
    bool AskUser(const std::wstring& message, bool answer, unsigned int) override { Add(L"AskUser " + message); return answer; }
    bool AskUserWarning(const std::wstring& message, bool answer) override { Add(L"AskUserWarning " + message); return answer; }
    bool AskUserQuestion(const std::wstring& message, bool answer) override { Add(L"AskUserQuestion " + message); return answer; }
    void EnableCancel(bool enable) override { Add(enable ? L"EnableCancel 1" : L"EnableCancel 0"); }
    void InstallationFinished() override { Add(L"InstallationFinished"); }
    void CloseWindow() override { Add(L"CloseWindow"); }
    void ShowMessage(const std::wstring& text) override { Add(L"ShowMessage " + text); }
    bool IsRebootRequired() override { return m_rebootRequired; }
    void SetRebootRequired() override { Add(L"SetRebootRequired"); m_rebootRequired = true; }
    bool IsCancelled() override { return false; }
    bool HasErrors() override { return false; }
    bool RebootCountdown(short) override { Add(L"RebootCountdown"); return false; }
    void RequestUserAction(const std::shared_ptr<ovinst::IInstallData>&) override { Add(L"RequestUserAction"); }

private:
    void Add(const std::wstring& line) { m_log.push_back(line); }

    CallLog& m_log;
    bool m_rebootRequired = false;
};
}
