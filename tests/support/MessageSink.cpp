#include "MessageSink.h"

#include <stdexcept>

namespace testsupport
{
namespace
{
const wchar_t kClassName[] = L"OvTestMessageSink";

void RegisterSinkClass()
{
    static const ATOM atom = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClassName;
        return RegisterClassExW(&wc);
    }();
    if (atom == 0)
        throw std::runtime_error("RegisterClassExW failed");
}
}

MessageSink::MessageSink()
{
    RegisterSinkClass();
    m_hwnd = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    if (!m_hwnd)
        throw std::runtime_error("CreateWindowExW failed");
}

MessageSink::~MessageSink()
{
    if (m_hwnd)
        DestroyWindow(m_hwnd);
}

std::vector<PostedMessage> MessageSink::Take()
{
    std::vector<PostedMessage> result;
    MSG msg;
    while (PeekMessageW(&msg, m_hwnd, 0, 0, PM_REMOVE))
        result.push_back({msg.message, msg.wParam, msg.lParam});
    return result;
}
}
