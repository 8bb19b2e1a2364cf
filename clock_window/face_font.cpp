#include "face_font.h"

#include "design_layout.h"

#include <QFontDatabase>
#include <QStringList>

namespace FaceFont {

QString family() {
    static const QString chosen = [] {
        const QString impact = QString::fromLatin1(DesignLayout::kFontFace);
        if (QFontDatabase::families().contains(impact, Qt::CaseInsensitive))
            return impact;
        const int id =
            QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/BebasNeue-Regular.otf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? impact : families.front();
    }();
    return chosen;
}

QFont font(int pixelSize) {
    QFont face(family());
    // Pixel sizes fix the point sizes at 96 dpi, whatever dpi the platform reports.
    face.setPixelSize(pixelSize);
    face.setWeight(QFont::Normal);
    return face;
}

} // namespace FaceFont
