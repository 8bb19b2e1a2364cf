#include "face_picture.h"

#include <array>
#include <cmath>
#include <string_view>

namespace FacePicture {

namespace {

constexpr double kPi = 3.14159265358979323846;

Rgb mix(Rgb a, Rgb b, double t) {
    const auto lerp = [t](int x, int y) {
        return static_cast<std::uint8_t>(std::lround(x + (y - x) * t));
    };
    return {lerp(a.r, b.r), lerp(a.g, b.g), lerp(a.b, b.b)};
}

Rgb hue(double turns) {
    const double h = (turns - std::floor(turns)) * 6.0;
    const double x = 1.0 - std::fabs(std::fmod(h, 2.0) - 1.0);
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(h)) {
    case 0:
        r = 1, g = x;
        break;
    case 1:
        r = x, g = 1;
        break;
    case 2:
        g = 1, b = x;
        break;
    case 3:
        g = x, b = 1;
        break;
    case 4:
        r = x, b = 1;
        break;
    default:
        r = 1, b = x;
        break;
    }
    return {static_cast<std::uint8_t>(std::lround(r * 255)),
            static_cast<std::uint8_t>(std::lround(g * 255)),
            static_cast<std::uint8_t>(std::lround(b * 255))};
}

// A 5 x 7 pixel alphabet, just the letters of the name: a row's bits from the left, 16 first.
const std::array<std::uint8_t, 7>* glyph(char c) {
    static const std::array<std::uint8_t, 7> A{14, 17, 17, 31, 17, 17, 17},
        E{31, 16, 16, 30, 16, 16, 31}, I{14, 4, 4, 4, 4, 4, 14}, K{17, 18, 20, 24, 20, 18, 17},
        L{16, 16, 16, 16, 16, 16, 31}, M{17, 27, 21, 21, 17, 17, 17}, O{14, 17, 17, 17, 17, 17, 14},
        R{30, 17, 17, 30, 20, 18, 17}, U{17, 17, 17, 17, 17, 17, 14}, V{17, 17, 17, 17, 17, 10, 4},
        Bang{4, 4, 4, 4, 4, 0, 4}, Dash{0, 0, 0, 31, 0, 0, 0};
    switch (c) {
    case 'A':
        return &A;
    case 'E':
        return &E;
    case 'I':
        return &I;
    case 'K':
        return &K;
    case 'L':
        return &L;
    case 'M':
        return &M;
    case 'O':
        return &O;
    case 'R':
        return &R;
    case 'U':
        return &U;
    case 'V':
        return &V;
    case '!':
        return &Bang;
    case '-':
        return &Dash;
    default:
        return nullptr;
    }
}

constexpr std::string_view kName = "VELOMIRE -KORUVA!-";
constexpr int kLetterScale = 2, kLetterAdvance = 6 * kLetterScale, kLettersTop = 256;
constexpr int kLettersLeft = (kWidth - 1 - static_cast<int>(kName.size()) * kLetterAdvance) / 2;

// Whether the name's blue pixel art covers the design's pixel (x, y).
bool lettering(int x, int y) {
    const int gy = y - kLettersTop, along = x - kLettersLeft;
    if (gy < 0 || gy >= 7 * kLetterScale || along < 0 ||
        along >= static_cast<int>(kName.size()) * kLetterAdvance)
        return false;
    const int gx = along % kLetterAdvance;
    const auto* rows = glyph(kName[static_cast<std::size_t>(along / kLetterAdvance)]);
    return rows && gx < 5 * kLetterScale &&
           ((*rows)[static_cast<std::size_t>(gy / kLetterScale)] & (16 >> (gx / kLetterScale)));
}

int floorDiv(int a, int b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

} // namespace

bool wheel(double dx, double dy, double scale, Rgb& out) {
    const double d = std::hypot(dx, dy) / scale;
    if (d <= 14) {
        out = d <= 9 ? Rgb{250, 210, 80} : Rgb{200, 120, 40};
        return true;
    }
    // Nothing reaches beyond the rim; the petals lie 58 out, 24 wide.
    if (d > 93)
        return false;
    if (d > 33 && d < 83) {
        constexpr int kPetals = 12;
        // The petals' centres at the picture's size, worked out once.
        static const auto centres = [] {
            std::array<std::array<double, 2>, kPetals> at{};
            for (int i = 0; i < kPetals; ++i) {
                const double a = 2 * kPi * i / kPetals;
                at[static_cast<std::size_t>(i)] = {std::cos(a) * 58, std::sin(a) * 58};
            }
            return at;
        }();
        for (int i = 0; i < kPetals; ++i) {
            const auto& [x, y] = centres[static_cast<std::size_t>(i)];
            if (std::hypot(dx - x * scale, dy - y * scale) <= 24 * scale) {
                out = hue(static_cast<double>(i) / kPetals);
                return true;
            }
        }
    }
    if (d >= 88 && d <= 92) {
        out = hue(std::atan2(dy, dx) / (2 * kPi) + 0.5);
        return true;
    }
    return false;
}

std::vector<Rgb> draw(double scale, int width, int height) {
    const Rgb white{255, 255, 255}, grey{224, 226, 230}, pink{250, 196, 206}, blue{30, 60, 190};
    std::vector<Rgb> px(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int row = 0; row < height; ++row) {
        // The design's pixels hold their colour over scale x scale device pixels: the smooth
        // parts are sampled at each device pixel's centre, the pixel art by the pixel it is in.
        const double v = (row + 0.5) / scale;
        const double y = v - 0.5;
        const int designRow = static_cast<int>(std::floor(v));
        // White above, fading to light grey towards the bottom, with faint grey stripes.
        const Rgb shade = mix(white, grey, std::pow(y / double(kHeight), 2.0));
        const Rgb stripe = mix(shade, grey, 0.6);
        for (int column = 0; column < width; ++column) {
            const double u = (column + 0.5) / scale;
            const double x = u - 0.5;
            const int designColumn = static_cast<int>(std::floor(u));
            Rgb c = floorDiv(designColumn + designRow, 6) % 7 == 0 ? stripe : shade;
            Rgb petal;
            // Pale enough that the dark blue text stays readable over it. Nothing of the wheel
            // lies beyond its rim.
            if (std::fabs(x - 142.0) <= 93 && std::fabs(y - 140.0) <= 93 &&
                wheel(x - 142.0, y - 140.0, 1.0, petal))
                c = mix(petal, white, 0.55);
            if (lettering(designColumn, designRow))
                c = blue;
            if (designColumn == 0 || designColumn == kWidth - 1 || designRow == kHeight - 1)
                c = pink;
            px[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(column)] = c;
        }
    }
    return px;
}

} // namespace FacePicture
