#include "position_file.h"

#include "twips.h"

#include <charconv>

namespace PositionFile {

std::string WriteNumber(std::int32_t value) {
    return std::to_string(value);
}

std::optional<std::int32_t> ReadNumber(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '-' || line[i] == '+'))
        negative = line[i++] == '-';

    // Only plain digits with one optional point: no exponent, no "inf" or "nan", so a
    // hand-edited line cannot smuggle in a value no window position can take.
    const std::size_t start = i;
    std::size_t digits = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9')
        ++i, ++digits;
    if (i < line.size() && line[i] == '.') {
        ++i;
        while (i < line.size() && line[i] >= '0' && line[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0)
        return 0;

    double value = 0;
    const auto [end, error] = std::from_chars(line.data() + start, line.data() + i, value);
    if (error != std::errc() || end != line.data() + i)
        return std::nullopt;
    return Twips::roundToInt32(negative ? -value : value);
}

std::optional<Position> ReadPosition(const LineList& lines) {
    if (lines.size() < 2)
        return std::nullopt;
    const auto left = ReadNumber(lines[0]);
    const auto top = ReadNumber(lines[1]);
    if (!left || !top)
        return std::nullopt;
    return Position{*left, *top};
}

LineList PositionLines(Position position) {
    return {WriteNumber(position.left), WriteNumber(position.top), std::string()};
}

} // namespace PositionFile
