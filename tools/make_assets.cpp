// Draws the clock face picture and the window icon and writes them as face.bmp and icon.ico,
// with the desktop's icons beside them: icon-48.png, the window icon's very pixels, and
// icon-128.png and icon-256.png, the same wheel drawn larger and smoothed for menus, software
// centres and screens of high density.
// Deterministic: the same build always writes the same bytes, so the committed assets can be
// checked against a fresh run.
#include "face_picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using FacePicture::Rgb;

constexpr int kFaceWidth = FacePicture::kWidth;
constexpr int kFaceHeight = FacePicture::kHeight;
constexpr int kIconSize = 48;

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

std::string faceBmp() {
    const std::vector<Rgb> px = FacePicture::draw(1, kFaceWidth, kFaceHeight);
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

struct IconPixels {
    std::vector<bool> opaque;
    std::vector<std::uint8_t> index; // into iconPalette()
};

IconPixels drawIcon() {
    const auto palette = iconPalette();
    IconPixels icon{std::vector<bool>(kIconSize * kIconSize),
                    std::vector<std::uint8_t>(kIconSize * kIconSize)};
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            const double dx = x - 23.5, dy = y - 23.5;
            Rgb c{255, 255, 255};
            const bool inside = std::hypot(dx, dy) <= 23.5;
            if (!FacePicture::wheel(dx, dy, 0.25, c) && inside)
                c = {255, 255, 255};
            icon.opaque[y * kIconSize + x] = inside;
            icon.index[y * kIconSize + x] = inside ? nearest(palette, c) : 0;
        }
    }
    return icon;
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

    const IconPixels icon = drawIcon();
    const std::vector<bool>& opaque = icon.opaque;
    const std::vector<std::uint8_t>& index = icon.index;
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

struct Rgba {
    std::uint8_t r, g, b, a;
};

std::uint32_t crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= static_cast<std::uint8_t>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

void bigEndian32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void pngChunk(std::string& out, const char* type, const std::string& data) {
    bigEndian32(out, static_cast<std::uint32_t>(data.size()));
    const std::string typed = std::string(type, 4) + data;
    out += typed;
    bigEndian32(out, crc32(typed));
}

// An RGBA PNG. The pixels go into stored (uncompressed) deflate blocks: no compressor to
// carry, and the bytes never depend on one.
std::string png(int size, const std::vector<Rgba>& px) {
    std::string raw;
    for (int y = 0; y < size; ++y) {
        raw.push_back('\0'); // filter: none
        for (int x = 0; x < size; ++x) {
            const Rgba c = px[y * size + x];
            raw += {static_cast<char>(c.r), static_cast<char>(c.g), static_cast<char>(c.b),
                    static_cast<char>(c.a)};
        }
    }
    std::string zlib{'\x78', '\x01'};
    constexpr std::size_t kBlock = 65535;
    for (std::size_t at = 0; at < raw.size(); at += kBlock) {
        const std::size_t n = std::min(kBlock, raw.size() - at);
        zlib.push_back(at + n == raw.size() ? '\1' : '\0');
        const auto len = static_cast<unsigned>(n);
        zlib += {static_cast<char>(len & 0xFF), static_cast<char>(len >> 8),
                 static_cast<char>(~len & 0xFF), static_cast<char>((~len >> 8) & 0xFF)};
        zlib.append(raw, at, n);
    }
    std::uint32_t a = 1, b = 0;
    for (const char byte : raw) {
        a = (a + static_cast<std::uint8_t>(byte)) % 65521;
        b = (b + a) % 65521;
    }
    bigEndian32(zlib, (b << 16) | a);

    std::string header;
    bigEndian32(header, static_cast<std::uint32_t>(size));
    bigEndian32(header, static_cast<std::uint32_t>(size));
    header += {'\x08', '\x06', '\0', '\0', '\0'}; // 8 bits, RGBA, deflate, no filter, no interlace
    std::string out = "\x89PNG\r\n\x1a\n";
    pngChunk(out, "IHDR", header);
    pngChunk(out, "IDAT", zlib);
    pngChunk(out, "IEND", "");
    return out;
}

std::string iconPng48() {
    const auto palette = iconPalette();
    const IconPixels icon = drawIcon();
    std::vector<Rgba> px(kIconSize * kIconSize);
    for (std::size_t i = 0; i < px.size(); ++i) {
        const Rgb c = palette[icon.index[i]];
        px[i] = {c.r, c.g, c.b, static_cast<std::uint8_t>(icon.opaque[i] ? 255 : 0)};
    }
    return png(kIconSize, px);
}

// The icon's wheel at `kSize` pixels in full colour, each pixel the mean of 4 x 4 samples so the
// rim and the petals come out smooth.
std::string iconPng(const int kSize) {
    constexpr int kSamples = 4;
    const double kRadius = kSize / 2.0, kScale = 0.25 * kSize / kIconSize;
    std::vector<Rgba> px(kSize * kSize);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            int r = 0, g = 0, b = 0, covered = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const double dx = x + (sx + 0.5) / kSamples - kRadius;
                    const double dy = y + (sy + 0.5) / kSamples - kRadius;
                    if (std::hypot(dx, dy) > kRadius)
                        continue;
                    Rgb c{255, 255, 255};
                    FacePicture::wheel(dx, dy, kScale, c);
                    r += c.r, g += c.g, b += c.b, ++covered;
                }
            }
            if (covered == 0)
                continue;
            const auto mean = [covered](int sum) {
                return static_cast<std::uint8_t>((sum + covered / 2) / covered);
            };
            px[y * kSize + x] = {
                mean(r), mean(g), mean(b),
                static_cast<std::uint8_t>((covered * 255 + kSamples * kSamples / 2) /
                                          (kSamples * kSamples))};
        }
    }
    return png(kSize, px);
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
        !writeFile(folder + "/icon.ico", iconIco()) ||
        !writeFile(folder + "/icon-48.png", iconPng48()) ||
        !writeFile(folder + "/icon-128.png", iconPng(128)) ||
        !writeFile(folder + "/icon-256.png", iconPng(256))) {
        std::fprintf(stderr, "%s: cannot write the assets into %s\n", argv[0], folder.c_str());
        return 1;
    }
    return 0;
}
