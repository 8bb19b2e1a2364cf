#pragma once

#include "line_list.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The number rules of setting.dat: two lines, the window's Left and Top in twips.
namespace PositionFile {

inline constexpr const char* kFileName = "setting.dat";

struct Position {
    std::int32_t left;
    std::int32_t top;
};

// Shortest decimal form: a minus sign when negative, no plus, no leading zeros.
std::string WriteNumber(std::int32_t value);

// The number at the start of the line, blanks skipped, "." as the decimal point whatever the
// locale, trailing text ignored, rounded half to even. An empty or non-numeric line reads 0.
// Nothing when the rounded value does not fit a 32-bit signed integer.
std::optional<std::int32_t> ReadNumber(std::string_view line);

// Left from entry 0, Top from entry 1, both or nothing: a short file or an unusable value
// must never move the window by half a position.
std::optional<Position> ReadPosition(const LineList& lines);

// The three-entry list the exit writes; the empty third entry is dropped by the write.
LineList PositionLines(Position position);

} // namespace PositionFile
