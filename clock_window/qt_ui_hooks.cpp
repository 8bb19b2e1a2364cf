#include "qt_ui_hooks.h"

#include "ui_hooks.h"

#include <QCoreApplication>
#include <QMessageBox>

void installQtUiHooks() {
    UiHooks::install({
        [] { QCoreApplication::processEvents(); },
        [](const std::string& text, const std::string& title) {
            QMessageBox::critical(nullptr, QString::fromStdString(title),
                                  QString::fromStdString(text), QMessageBox::Ok);
        },
    });
}
