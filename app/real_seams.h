#pragma once

#include "form1.h"

// What the clock window reaches in the running program: the system clock, the program's and
// the user's folders, the screens, the message box, the process's end, the digit window.
Form1Seams realSeams();
