// The status and summary windows, linked so that each can hand over to the other.
#pragma once

namespace ovinst
{
class IChainedWindow
{
public:
    virtual ~IChainedWindow() = default;
    virtual void SetNext(IChainedWindow* next) = 0;
    virtual void SetPrev(IChainedWindow* prev) = 0;
    // True lists the lines in the order of removal, false in the order of installation.
    virtual void SetUninstallOrder(bool uninstall) = 0;
    // Shows the window, brings it to the front and repaints it.
    virtual void Show() = 0;
    virtual void Hide() = 0;
};
}
