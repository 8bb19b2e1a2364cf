#include "platform_choice.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace PlatformChoice {

std::optional<std::string> preferredQpaPlatform(const Environment& environment) {
    const auto isSet = [&](const char* name) {
        const auto value = environment(name);
        return value && !value->empty();
    };
    if (isSet("QT_QPA_PLATFORM"))
        return std::nullopt;
    // Qt tries the platforms in turn: XWayland where it answers, native Wayland where DISPLAY
    // is missing, stale or names a server that is gone.
    if (isSet("WAYLAND_DISPLAY"))
        return "xcb;wayland";
    return std::nullopt;
}

void applyPreferredQpaPlatform() {
    const auto choice = preferredQpaPlatform([](const char* name) -> std::optional<std::string> {
        if (!qEnvironmentVariableIsSet(name))
            return std::nullopt;
        return qEnvironmentVariable(name).toStdString();
    });
    if (choice)
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(*choice));
}

void applyQuietIdleDefaults() {
    // A tick puts a few digits' worth of pixels: over the socket that is one write, where
    // shared memory adds a completion event that wakes the program a second time each second.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    // Nothing here runs a GLib main loop; Qt's own event loop does less work per wake-up.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
}

} // namespace PlatformChoice
