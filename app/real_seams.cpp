#include "real_seams.h"

#include "koruva_info.h"
#include "native_digits.h"
#include "qt_ui_hooks.h"
#include "setting_location.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

Form1Seams realSeams() {
    Form1Seams seams;
    seams.clock = [] { return std::chrono::system_clock::now(); };
    seams.programFolder = SettingLocation::ProgramFolder;
    seams.perUserFolder = [] { return SettingLocation::PerUserFolder(KoruvaInfo::kName); };
    seams.screenRects = [] {
        QList<QRect> rects;
        for (const QScreen* screen : QGuiApplication::screens())
            rects.append(screen->geometry());
        return rects;
    };
    seams.windowPlaceable = [] {
        return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    };
    seams.showSaveError = [](const QString& text) {
        showCriticalMessage(QString::fromUtf8(KoruvaInfo::kName), text);
    };
    seams.exitProcess = [](int status) { QCoreApplication::exit(status); };
    seams.digitWindow = &NativeDigits::create;
    return seams;
}
