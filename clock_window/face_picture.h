#pragma once

#include <cstdint>
#include <vector>

// The clock face picture and the wheel it shares with the icons, drawn from their geometry so
// that they can be drawn at any size: at one device pixel to a pixel of the design they are
// the committed assets, pixel for pixel. Plain C++: the asset generator draws them too.
namespace FacePicture {

struct Rgb {
    std::uint8_t r, g, b;
};

inline constexpr int kWidth = 285;
inline constexpr int kHeight = 284;

// The picture's first `width` x `height` device pixels at `scale` device pixels to a pixel of
// the design, row by row.
std::vector<Rgb> draw(double scale, int width, int height);

// The wheel of coloured petals round a hub, (dx, dy) from its centre in pixels of a wheel drawn
// `scale` times its size in the picture; false where it leaves the background alone.
bool wheel(double dx, double dy, double scale, Rgb& out);

} // namespace FacePicture
