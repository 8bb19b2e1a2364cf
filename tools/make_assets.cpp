// Draws the clock face picture and the window icon and writes them as face.bmp and icon.ico.
// Deterministic: the same build always writes the same bytes, so the committed assets can be
// checked against a fresh run.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Rgb {
    std::uint8_t r, g, b;
};

constexpr int kFaceWidth = 285;
constexpr int kFaceHeight = 284;
constexpr int kIconSize = 48;
constexpr double kPi = 3.14159265358979323846;

class Bytes {
public:
    void u8(unsigned v) { m_data.push_back(static_cast<char>(v & 0xFF)); }
    void u16(unsigned v) { u8(v), u8(v >> 8); }
    void u32(std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); }
    void zeros(std::size_t n) { m_data.append(n, '\0'); }
    const std::string& data() const { return m_data; }

private:
    std::string m_data;
};

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

// The figure shared by picture and icon: a wheel of coloured petals round a hub.
// Returns false where the figure leaves the background alone.
bool wheel(double dx, double dy, double scale, Rgb& out) {
    const double d = std::hypot(dx, dy) / scale;
    const double angle = std::atan2(dy, dx);
    if (d <= 14) {
        out = d <= 9 ? Rgb{250, 210, 80} : Rgb{200, 120, 40};
        return true;
    }
    constexpr int kPetals = 12;
    for (int i = 0; i < kPetals; ++i) {
        const double a = 2 * kPi * i / kPetals;
        const double px = std::cos(a) * 58 * scale, py = std::sin(a) * 58 * scale;
        if (std::hypot(dx - px, dy - py) <= 24 * scale) {
            out = hue(static_cast<double>(i) / kPetals);
            return true;
        }
    }
    if (d >= 88 && d <= 92) {
        out = hue(angle / (2 * kPi) + 0.5);
        return true;
    }
    return false;
}

// A 5 x 7 pixel alphabet, just the letters of the name.
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

std::vector<Rgb> drawFace() {
    std::vector<Rgb> px(kFaceWidth * kFaceHeight);
    const Rgb white{255, 255, 255}, grey{224, 226, 230}, pink{250, 196, 206}, blue{30, 60, 190};
    for (int y = 0; y < kFaceHeight; ++y) {
        for (int x = 0; x < kFaceWidth; ++x) {
            // White above, fading to light grey towards the bottom, with faint grey stripes.
            Rgb c = mix(white, grey, std::pow(y / double(kFaceHeight), 2.0));
            if (((x + y) / 6) % 7 == 0)
                c = mix(c, grey, 0.6);
            Rgb petal;
            // Pale enough that the dark blue text stays readable over it.
            if (wheel(x - 142.0, y - 140.0, 1.0, petal))
                c = mix(petal, white, 0.55);
            px[y * kFaceWidth + x] = c;
        }
    }
    const std::string name = "VELOMIRE -KORUVA!-";
    constexpr int kScale = 2, kAdvance = 6 * kScale, kTop = 256;
    const int start = (kFaceWidth - 1 - static_cast<int>(name.size()) * kAdvance) / 2;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto* rows = glyph(name[i]);
        if (!rows)
            continue;
        for (int gy = 0; gy < 7 * kScale; ++gy)
            for (int gx = 0; gx < 5 * kScale; ++gx)
                if ((*rows)[gy / kScale] & (16 >> (gx / kScale)))
                    px[(kTop + gy) * kFaceWidth + start + static_cast<int>(i) * kAdvance + gx] =
                        blue;
    }
    for (int y = 0; y < kFaceHeight; ++y)
        px[y * kFaceWidth] = px[y * kFaceWidth + kFaceWidth - 1] = pink;
    for (int x = 0; x < kFaceWidth; ++x)
        px[(kFaceHeight - 1) * kFaceWidth + x] = pink;
    return px;
}

std::string faceBmp() {
    const std::vector<Rgb> px = drawFace();
    constexpr std::uint32_t kRow = 856; // 855 bytes of pixels, one of padding
    constexpr std::uint32_t kPixels = kRow * kFaceHeight;
    constexpr std::uint32_t kFileSize = 14 + 40 + kPixels + 2;
    Bytes out;
    out.u8('B'), out.u8('M'), out.u32(kFileSize), out.u32(0), out.u32(14 + 40);
    out.u32(40), out.u32(kFaceWidth), out.u32(kFaceHeight), out.u16(1), out.u16(24), out.u32(0);
    out.u32(kPixels), out.u32(2834), out.u32(2834), out.u32(0), out.u32(0);
    for (int y = kFaceHeight - 1; y >= 0; --y) {
        for (int x = 0; x < kFaceWidth; ++x) {
            const Rgb c = px[y * kFaceWidth + x];
            out.u8(c.b), out.u8(c.g), out.u8(c.r);
        }
        out.zeros(kRow - 3 * kFaceWidth);
    }
    out.zeros(2);
    return out.data();
}

// 256 colours: a 6 x 6 x 6 cube and a grey ramp.
std::array<Rgb, 256> iconPalette() {
    std::array<Rgb, 256> palette{};
    for (int i = 0; i < 216; ++i)
        palette[i] = {static_cast<std::uint8_t>(i / 36 * 51),
                      static_cast<std::uint8_t>(i / 6 % 6 * 51),
                      static_cast<std::uint8_t>(i % 6 * 51)};
    for (int i = 216; i < 256; ++i) {
        const auto v = static_cast<std::uint8_t>((i - 216) * 255 / 39);
        palette[i] = {v, v, v};
    }
    return palette;
}

std::uint8_t nearest(const std::array<Rgb, 256>& palette, Rgb c) {
    int best = 0;
    long bestDistance = 1L << 30;
    for (int i = 0; i < 256; ++i) {
        const long dr = c.r - palette[i].r, dg = c.g - palette[i].g, db = c.b - palette[i].b;
        const long d = dr * dr + dg * dg + db * db;
        if (d < bestDistance)
            best = i, bestDistance = d;
    }
    return static_cast<std::uint8_t>(best);
}

std::string iconIco() {
    const auto palette = iconPalette();
    constexpr std::uint32_t kColourBytes = kIconSize * kIconSize;
    constexpr std::uint32_t kMaskRow = 8; // 48 bits padded to 32-bit words
    constexpr std::uint32_t kMaskBytes = kMaskRow * kIconSize;
    constexpr std::uint32_t kImage = 40 + 1024 + kColourBytes + kMaskBytes;
    Bytes out;
    out.u16(0), out.u16(1), out.u16(1);
    out.u8(kIconSize), out.u8(kIconSize), out.u8(0), out.u8(0), out.u16(1), out.u16(8);
    out.u32(kImage), out.u32(6 + 16);
    out.u32(40), out.u32(kIconSize), out.u32(2 * kIconSize), out.u16(1), out.u16(8), out.u32(0);
    out.u32(kColourBytes + kMaskBytes), out.u32(0), out.u32(0), out.u32(256), out.u32(0);
    for (const Rgb& c : palette)
        out.u8(c.b), out.u8(c.g), out.u8(c.r), out.u8(0);

    std::vector<bool> opaque(kIconSize * kIconSize);
    std::vector<std::uint8_t> index(kIconSize * kIconSize);
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            const double dx = x - 23.5, dy = y - 23.5;
            Rgb c{255, 255, 255};
            const bool inside = std::hypot(dx, dy) <= 23.5;
            if (!wheel(dx, dy, 0.25, c) && inside)
                c = {255, 255, 255};
            opaque[y * kIconSize + x] = inside;
            index[y * kIconSize + x] = inside ? nearest(palette, c) : 0;
        }
    }
    for (int y = kIconSize - 1; y >= 0; --y)
        for (int x = 0; x < kIconSize; ++x)
            out.u8(index[y * kIconSize + x]);
    for (int y = kIconSize - 1; y >= 0; --y) {
        for (int byte = 0; byte < static_cast<int>(kMaskRow); ++byte) {
            unsigned bits = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const int x = byte * 8 + bit;
                if (x < kIconSize && !opaque[y * kIconSize + x])
                    bits |= 0x80u >> bit;
            }
            out.u8(bits);
        }
    }
    return out.data();
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    if (!writeFile(folder + "/face.bmp", faceBmp()) ||
        !writeFile(folder + "/icon.ico", iconIco())) {
        std::fprintf(stderr, "%s: cannot write the assets into %s\n", argv[0], folder.c_str());
        return 1;
    }
    return 0;
}
