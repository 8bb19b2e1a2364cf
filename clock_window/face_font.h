#pragma once

#include <QFont>

// The labels' face: "Impact" where it is installed; elsewhere the bundled Bebas Neue, a heavy
// condensed sans of the same build. Asking fontconfig for "Impact" on a system without it
// can give a dingbat face, so the substitute is chosen here, not left to font matching.
namespace FaceFont {

QString family();
QFont font(int pixelSize);

} // namespace FaceFont
