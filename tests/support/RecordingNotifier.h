// A notifier that records what the steps tell the user, for tests and probe programs.
// Header-only: the helper programs under tests/helpers link no support sources.
#pragma once

#include <string>
#include <vector>

#include "Ui/SilentNotifier.h"

namespace testsupport
{
class RecordingNotifier : public ovinst::SilentNotifier
{
public:
    // "ActionStart 0", "InformUser <text>", "AskUserQuestion <text>", ... in call order.
    std::vector<std::wstring> calls;
    // Answer of AskUserQuestion; negative takes the silent answer.
    int questionAnswer = -1;
    bool rebootRequired = false;
    bool countdownRunsOut = true;
    bool hasErrors = false;
    bool cancelled = false;

    void ActionStartWithText(int id, const std::wstring& text) override { Add(L"ActionStartWithText " + std::to_wstring(id) + L" " + text); }
    void ActionStart(int id) override { Add(L"ActionStart " + std::to_wstring(id)); }
    void ActionEndWithText(int id, const std::wstring& text) override { Add(L"ActionEndWithText " + std::to_wstring(id) + L" " + text); }
    void ActionEnd(int id) override { Add(L"ActionEnd " + std::to_wstring(id)); }
    void ActionError(int id) override { Add(L"ActionError " + std::to_wstring(id)); }
    void InformUser(const std::wstring& message) override { Add(L"InformUser " + message); }
    bool AskUserQuestion(const std::wstring& message, bool silentAnswer) override
    {
        Add(L"AskUserQuestion " + message);
        return questionAnswer < 0 ? silentAnswer : questionAnswer != 0;
    }
    void InstallationFinished() override { Add(L"InstallationFinished"); }
    void CloseWindow() override { Add(L"CloseWindow"); }
    bool IsRebootRequired() override { return rebootRequired; }
    bool HasErrors() override { return hasErrors; }
    bool IsCancelled() override { return cancelled; }
    bool RebootCountdown(short seconds) override
    {
        Add(L"RebootCountdown " + std::to_wstring(seconds));
        return countdownRunsOut;
    }

private:
    void Add(const std::wstring& call) { calls.push_back(call); }
};
}
