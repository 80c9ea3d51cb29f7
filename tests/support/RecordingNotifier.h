// A notifier that records every call as a line ("ActionStartWithText 2 <text>"), in order,
// into its own list or into a log the test shares with other recorders (e.g. a replaced
// msi function). Header-only: the helper programs under tests/helpers link no support
// sources.
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
    RecordingNotifier() : m_log(&calls) {}
    explicit RecordingNotifier(CallLog& log) : m_log(&log) {}
    RecordingNotifier(const RecordingNotifier&) = delete;
    RecordingNotifier& operator=(const RecordingNotifier&) = delete;

    // The calls, when no shared log was given.
    CallLog calls;
    // Answer of AskUserQuestion; negative takes the silent answer.
    int questionAnswer = -1;
    bool rebootRequired = false;
    bool countdownRunsOut = true;
    bool hasErrors = false;
    bool cancelled = false;

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
    bool AskUserQuestion(const std::wstring& message, bool silentAnswer) override
    {
        Add(L"AskUserQuestion " + message);
        return questionAnswer < 0 ? silentAnswer : questionAnswer != 0;
    }
    void EnableCancel(bool enable) override { Add(enable ? L"EnableCancel 1" : L"EnableCancel 0"); }
    void InstallationFinished() override { Add(L"InstallationFinished"); }
    void CloseWindow() override { Add(L"CloseWindow"); }
    void ShowMessage(const std::wstring& text) override { Add(L"ShowMessage " + text); }
    bool IsRebootRequired() override { return rebootRequired; }
    void SetRebootRequired() override { Add(L"SetRebootRequired"); rebootRequired = true; }
    bool IsCancelled() override { return cancelled; }
    bool HasErrors() override { return hasErrors; }
    bool RebootCountdown(short seconds) override
    {
        Add(L"RebootCountdown " + std::to_wstring(seconds));
        return countdownRunsOut;
    }
    void RequestUserAction(const std::shared_ptr<ovinst::IInstallData>&) override { Add(L"RequestUserAction"); }

private:
    void Add(const std::wstring& line) { m_log->push_back(line); }

    CallLog* m_log;
};
}
