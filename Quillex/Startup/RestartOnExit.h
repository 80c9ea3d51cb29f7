// The restart of the computer as the program's very last action.
#pragma once

namespace utils
{
// Created first in the entry point, so that its destructor runs last on every way out;
// restarts the computer when the install context's restart flag is set.
class RestartOnExit
{
public:
    RestartOnExit() = default;
    ~RestartOnExit();
    RestartOnExit(const RestartOnExit&) = delete;
    RestartOnExit& operator=(const RestartOnExit&) = delete;
};

// Asks the system for an immediate restart; failures are only logged.
void RestartOs();
}
