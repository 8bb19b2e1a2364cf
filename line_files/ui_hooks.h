#pragma once

#include <functional>
#include <string>

// The two places where the line-file routines reach the user interface. The program installs
// the real ones at start-up; tests install their own to count yields or catch messages.
namespace UiHooks {

struct Hooks {
    std::function<void()> yield;
    std::function<void(const std::string& text, const std::string& title)> criticalMessage;
};

// Empty members fall back to the defaults: a yield that does nothing, a message on stderr.
void install(Hooks hooks);

void yieldToUserInterface();
void showCriticalMessage(const std::string& text, const std::string& title);

} // namespace UiHooks
