// Arbitrary bytes through the line reader: it must never crash, hang or lose a byte.
// Joining the lines with CR gives back the input with each CR LF taken as one CR and the
// final line end dropped.
#include "line_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::FILE* file = fmemopen(input.data(), input.size() ? input.size() : 1, "rb");
    if (!file)
        return 0;
    if (input.empty())
        std::fgetc(file); // fmemopen cannot open an empty buffer: step over its one byte

    std::string joined;
    bool first = true;
    while (!LineReader::AtEnd(file)) {
        if (!first)
            joined.push_back('\r');
        joined += LineReader::ReadLine(file);
        first = false;
    }
    std::fclose(file);

    std::string expected;
    for (std::size_t i = 0; i < input.size(); ++i) {
        expected.push_back(input[i]);
        if (input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n')
            ++i;
    }
    if (!expected.empty() && expected.back() == '\r')
        expected.pop_back();
    if (joined != expected)
        std::abort();
    return 0;
}
