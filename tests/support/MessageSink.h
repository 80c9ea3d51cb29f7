// A message-only window of the calling thread that collects what is posted to it.
#pragma once

#include <windows.h>

#include <vector>

namespace testsupport
{
struct PostedMessage
{
    UINT message;
    WPARAM wParam;
    LPARAM lParam;

    bool operator==(const PostedMessage&) const = default;
};

class MessageSink
{
public:
    MessageSink();
    ~MessageSink();
    MessageSink(const MessageSink&) = delete;
    MessageSink& operator=(const MessageSink&) = delete;

    HWND Hwnd() const { return m_hwnd; }
    // Removes and returns the messages waiting for the window, oldest first.
    std::vector<PostedMessage> Take();

private:
    HWND m_hwnd = nullptr;
};
}
