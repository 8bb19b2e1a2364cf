#include "form1.h"
#include "platform_choice.h"
#include "qt_ui_hooks.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    PlatformChoice::applyPreferredQpaPlatform();
    // A tick puts a few digits' worth of pixels: over the socket that is one write, where
    // shared memory adds a completion event that wakes the program a second time each second.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    // Nothing here runs a GLib main loop; Qt's own event loop does less work per wake-up.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velomire -KORUVA!-"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    installQtUiHooks();

    Form1 form;
    form.Form_Load();
    return QApplication::exec();
}
