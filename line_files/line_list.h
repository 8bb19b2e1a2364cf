#pragma once

#include <string>
#include <vector>

// A zero-based, growable list of text entries, changed in place by the line-file routines.
// Entries are the program's text: UTF-8, or on POSIX whatever bytes a file held. On Windows
// they are converted from and to the ANSI code page when a file is read or written.
using LineList = std::vector<std::string>;
