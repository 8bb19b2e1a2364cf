#pragma once

#include <string>
#include <vector>

// A zero-based, growable list of text entries, changed in place by the line-file routines.
// Entries are the platform's narrow text, byte for byte.
using LineList = std::vector<std::string>;
