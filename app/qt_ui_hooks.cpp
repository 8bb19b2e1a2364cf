#include "qt_ui_hooks.h"

#include "ui_hooks.h"

#include <QCoreApplication>
#include <QMessageBox>

void showCriticalMessage(const QString& title, const QString& text) {
    QMessageBox::critical(nullptr, title, text, QMessageBox::Ok);
}

void installQtUiHooks() {
    UiHooks::install({
        [] { QCoreApplication::processEvents(); },
        [](const std::string& text, const std::string& title) {
            showCriticalMessage(QString::fromStdString(title), QString::fromStdString(text));
        },
    });
}
