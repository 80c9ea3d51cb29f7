// The five step lines of the status window, by line identifier 1 to 5.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

namespace gui
{
class IGuiActionTable
{
public:
    virtual ~IGuiActionTable() = default;
    virtual void HideLine(int32_t line) = 0;
    virtual void ActionStart(int32_t line) = 0;
    virtual void ActionEnd(int32_t line) = 0;
    virtual void ActionText(int32_t line, const wchar_t* text) = 0;
    virtual void Error(int32_t line) = 0;
    // The engine's running line, 0 for none; advances the dots when it is this table's.
    virtual void AnimationTick(int32_t runningLine) = 0;
    virtual UINT_PTR GetTimerId() const = 0;
};

// The lines of the status window `dialog` (template 152); all lines start pending.
std::unique_ptr<IGuiActionTable> CreateGuiActionTable(HWND dialog);
}
