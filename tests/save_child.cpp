// The real save path in a process of its own, for the test that kills it part way:
// save_child FOLDER LEFT TOP saves the window position into FOLDER/setting.dat as a
// double-click would. It writes one byte to stdout just before the save starts.
#include "form1.h"
#include "qt_ui_hooks.h"
#include "real_seams.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FOLDER LEFT TOP\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installQtUiHooks();

    Form1Seams seams = realSeams();
    const std::string folder = argv[1];
    seams.programFolder = [folder] { return folder; };
    seams.screenRects = [] { return QList<QRect>{QRect(-100000, -100000, 200000, 200000)}; };
    seams.showSaveError = [](const QString& text) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    };
    seams.exitProcess = [](int status) { std::_Exit(status); };

    Form1 form(seams);
    form.setLeft(std::strtof(argv[2], nullptr));
    form.setTop(std::strtof(argv[3], nullptr));
    if (::write(STDOUT_FILENO, "!", 1) != 1)
        return 3;
    form.Form_DblClick();
    return 4; // not reached: the double-click ends the process
}
