#pragma once

#include "koruva_info.h"

// The window and its controls as they stand when the window is created. Twips throughout.
namespace DesignLayout {

struct Box {
    int left;
    int top;
    int width;
    int height;
};

struct LabelDesign {
    const char* name;
    const char* text;
    Box box;
    int pixelSize; // the design's 24 and 44.25 points at 96 dpi
};

inline constexpr const char* kCaption = KoruvaInfo::kName;
inline constexpr int kClientWidth = 4260;
inline constexpr int kClientHeight = 4260;
// Where the client area's top-left corner stands when no saved position is applied.
inline constexpr int kDesignClientLeft = 6495;
inline constexpr int kDesignClientTop = 3975;

inline constexpr LabelDesign kLabel1{"Label1", "Label1", {480, 1320, 3615, 615}, 32};
inline constexpr LabelDesign kLabel2{"Label2", "Label2", {720, 2040, 3255, 1095}, 59};

// 0x00C00000 as the Windows colour 0x00BBGGRR.
inline constexpr int kTextRed = 0, kTextGreen = 0, kTextBlue = 192;

inline constexpr const char* kFontFace = "Impact";

inline constexpr int kTimer2IntervalMs = 20;

} // namespace DesignLayout
