#include "face_fit.h"

#include "clock_label.h"
#include "design_layout.h"
#include "face_font.h"
#include "face_picture.h"
#include "twips.h"

#include <QImage>
#include <QImageReader>

#include <cmath>
#include <string>
#include <vector>

namespace FaceFit {

QString dateLine(const RegionalClock::FaceTexts& face) {
    const std::string_view weekday = WeekdayNames[static_cast<std::size_t>(face.weekday)];
    return QString::fromStdString(face.date) + QLatin1Char(' ') +
           QString::fromLatin1(weekday.data(), static_cast<qsizetype>(weekday.size()));
}

QString timeLine(const RegionalClock::FaceTexts& face) {
    return QString::fromStdString(face.time);
}

Lines sampleLines(const RegionalClock& clock) {
    const RegionalClock::Samples samples = clock.samples();
    Lines lines;
    for (const RegionalClock::FaceTexts& date : samples.dates)
        lines.dates << dateLine(date);
    for (const std::string& time : samples.times)
        lines.times << QString::fromStdString(time);
    return lines;
}

void fit(ClockLabel& label, const QStringList& lines) {
    const FaceFont::Fit fit = FaceFont::fitted(label.font(), label.size(), lines, &label);
    label.setFont(fit.font);
    label.setContentsMargins(0, fit.drop, 0, 0);
}

namespace {

ClockLabel* makeLabel(const DesignLayout::LabelDesign& design, QWidget* parent) {
    const DesignLayout::Box& box = design.box;
    auto* label = new ClockLabel(QString::fromLatin1(design.text), box.left, box.top, box.width,
                                 box.height, parent);
    label->setObjectName(QString::fromLatin1(design.name));
    label->setFont(FaceFont::font(design.pixelSize));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(DesignLayout::kTextRed, DesignLayout::kTextGreen,
                                                  DesignLayout::kTextBlue));
    label->setPalette(palette);
    return label;
}

} // namespace

std::pair<ClockLabel*, ClockLabel*> makeLabels(QWidget* form, const RegionalClock& clock) {
    ClockLabel* date = makeLabel(DesignLayout::kLabel1, form);
    ClockLabel* time = makeLabel(DesignLayout::kLabel2, form);
    // Where a region's texts are too wide or tall for a label's box at its design size, that
    // label takes the largest size at which every text of the year stands whole.
    const Lines lines = sampleLines(clock);
    fit(*date, lines.dates);
    fit(*time, lines.times);
    return {date, time};
}

namespace {
// One of the program's own images, read as what it is: a reader left to guess would load every
// image format plugin Qt has to ask each of them first.
QPixmap carried(const QString& name, const char* format) {
    QImageReader reader(name, format);
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}
} // namespace

QPixmap picture() {
    return carried(QStringLiteral(":/face.bmp"), "bmp");
}

QIcon windowIcon(qreal ratio) {
    QIcon icon(carried(QStringLiteral(":/icon-48.png"), "png"));
    if (ratio > 1)
        icon.addPixmap(carried(QStringLiteral(":/icon-128.png"), "png"));
    return icon;
}

QPixmap pictureAt(qreal ratio) {
    const int side =
        static_cast<int>(std::ceil(Twips::toPixels(DesignLayout::kClientWidth) * ratio));
    const std::vector<FacePicture::Rgb> pixels = FacePicture::draw(ratio, side, side);
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < side; ++x) {
            const FacePicture::Rgb c = pixels[static_cast<std::size_t>(y * side + x)];
            row[x] = qRgb(c.r, c.g, c.b);
        }
    }
    image.setDevicePixelRatio(ratio);
    return QPixmap::fromImage(image);
}

} // namespace FaceFit
