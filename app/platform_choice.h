#pragma once

#include <functional>
#include <optional>
#include <string>

namespace PlatformChoice {

using Environment = std::function<std::optional<std::string>(const char* name)>;

// Wayland does not let a program place its own window, and the clock must come back where it
// was left: on a Wayland desktop, Qt's X11 platform first, through XWayland, and native Wayland
// where XWayland is off or gone, unless the user already chose a platform.
std::optional<std::string> preferredQpaPlatform(const Environment& environment);

// Applies the choice to this process's environment before QApplication reads it.
void applyPreferredQpaPlatform();

// Settings of Qt's X11 platform that keep the clock to one wake-up a second, unless the user
// set them: no shared-memory puts and no GLib event loop. Before QApplication too.
void applyQuietIdleDefaults();

} // namespace PlatformChoice
