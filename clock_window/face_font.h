#pragma once

#include <QFont>
#include <QSize>
#include <QStringList>

class QPaintDevice;

// The labels' face: "Impact" where it is installed; elsewhere the bundled Bebas Neue, a heavy
// condensed sans of the same build. Asking fontconfig for "Impact" on a system without it
// can give a dingbat face, so the substitute is chosen here, not left to font matching.
namespace FaceFont {

QString family();
QFont font(int pixelSize);

// The face of a label's lines: the font, and how far below the box's top the lines stand, for
// scripts whose marks rise above the font's ascent.
struct Fit {
    QFont font;
    int drop = 0;
};

// `font` at the largest pixel size, up to its own, at which each of `lines` stands whole in a
// box of `box` pixels. Their digits count at the widest the font has in their script, so that
// the lines of a few moments answer for every moment of the year.
Fit fitted(const QFont& font, const QSize& box, const QStringList& lines,
           QPaintDevice* device = nullptr);

} // namespace FaceFont
