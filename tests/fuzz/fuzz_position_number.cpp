// Arbitrary lines through the position number reader: never a crash or a sanitizer report,
// and whatever it accepts is a position that writes and reads back unchanged.
#include "position_file.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto value = PositionFile::ReadNumber(line);
    if (value && PositionFile::ReadNumber(PositionFile::WriteNumber(*value)) != value)
        std::abort();
    LineList lines{std::string(line), std::string(line.substr(size / 2))};
    (void)PositionFile::ReadPosition(lines);
    return 0;
}
