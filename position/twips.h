#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

// Positions and sizes are kept in twips (1/1440 inch); Qt works in device-independent
// pixels of 1/96 inch. This is the one place the two meet.
namespace Twips {

inline constexpr double kPerPixel = 15.0;

// Nearest integer, halves to even (the default floating-point rounding mode).
inline double roundHalfEven(double value) {
    return std::nearbyint(value);
}

inline int toPixels(double twips) {
    return static_cast<int>(roundHalfEven(twips / kPerPixel));
}

inline double fromPixels(double pixels) {
    return pixels * kPerPixel;
}

// Rounded into a 32-bit signed integer, or nothing when the value is not finite or out of range.
inline std::optional<std::int32_t> roundToInt32(double value) {
    const double rounded = roundHalfEven(value);
    if (!std::isfinite(rounded) || rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}

// Label positions are 16-bit; a swing never takes them near the ends of that range.
inline std::int16_t roundToInt16(double value) {
    return static_cast<std::int16_t>(roundHalfEven(value));
}

} // namespace Twips
