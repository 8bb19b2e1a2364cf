#include "form1.h"
#include "platform_choice.h"
#include "qt_ui_hooks.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    PlatformChoice::applyPreferredQpaPlatform();
    PlatformChoice::applyQuietIdleDefaults();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velomire -KORUVA!-"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    installQtUiHooks();

    Form1 form;
    form.Form_Load();
    return QApplication::exec();
}
