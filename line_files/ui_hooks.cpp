#include "ui_hooks.h"

#include <cstdio>
#include <utility>

namespace UiHooks {
namespace {

Hooks& current() {
    static Hooks hooks;
    return hooks;
}

} // namespace

void install(Hooks hooks) {
    current() = std::move(hooks);
}

void yieldToUserInterface() {
    if (current().yield)
        current().yield();
}

void showCriticalMessage(const std::string& text, const std::string& title) {
    if (current().criticalMessage)
        current().criticalMessage(text, title);
    else
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

} // namespace UiHooks
