#pragma once

#include <QString>

// The program's one modal critical message box, with a single OK button.
void showCriticalMessage(const QString& title, const QString& text);

// Installs the line-file routines' yield (let pending Qt events run) and their message box.
void installQtUiHooks();
