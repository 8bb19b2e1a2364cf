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
    if (isSet("WAYLAND_DISPLAY") && isSet("DISPLAY"))
        return "xcb";
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

} // namespace PlatformChoice
