#include "form1.h"
#include "koruva_info.h"
#include "platform_choice.h"
#include "qt_ui_hooks.h"
#include "real_seams.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    PlatformChoice::applyPreferredQpaPlatform();
    PlatformChoice::applyQuietIdleDefaults();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(KoruvaInfo::kName));
    QApplication::setApplicationVersion(QString::fromUtf8(KoruvaInfo::kDisplayVersion));
    installQtUiHooks();

    Form1 form(realSeams());
    form.Form_Load();
    return QApplication::exec();
}
