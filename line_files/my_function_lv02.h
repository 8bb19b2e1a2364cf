#pragma once

#include "line_list.h"

#include <cstdint>
#include <limits>
#include <string>

namespace MyFunction_Lv02 {

inline constexpr std::uintmax_t kAnySize = std::numeric_limits<std::uintmax_t>::max();

// Exchanges a text file with a line list. Modes, compared exactly:
//   "S_Read"        every matching file's lines into the list (one empty entry if none)
//   "S_Read_First"  the first line of the first matching file
//   "S_Write"       the list's non-empty entries as lines ending in CR LF, replacing the file
// Any other mode leaves the list alone. `kind` "normal" stores each entry as its line's text.
// Yields to the user interface before every line read and every entry written. Platform
// failures reach the caller as std::system_error or std::filesystem::filesystem_error.
// Each file is read from the one handle opened on it: one that is no longer an ordinary file
// when it is opened is refused (std::errc::invalid_argument), and one larger than
// `largestFile` bytes, or growing past them while it is read, with std::errc::file_too_large.
void AccessLineFile(const std::string& path, LineList& list, const std::string& mode,
                    const std::string& kind, std::uintmax_t largestFile = kAnySize);

} // namespace MyFunction_Lv02
