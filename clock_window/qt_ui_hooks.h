#pragma once

// Installs the line-file routines' yield (let pending Qt events run) and their modal
// critical message box.
void installQtUiHooks();
