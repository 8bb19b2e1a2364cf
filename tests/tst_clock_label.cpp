#include "clock_label.h"
#include "face_font.h"
#include "face_picture.h"
#include "form1.h"
#include "form1_harness.h"
#include "glyph_compositor.h"
#include "glyph_layout.h"
#include "regional_clock.h"

#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QRawFont>
#include <QScreen>
#include <QTest>

#include <algorithm>
#include <chrono>

using namespace std::chrono;

namespace {

// The fallback font a script's rows need, from the tests' own fonts; empty when none.
QString neededFamily(const QString& text) {
    for (const QChar c : text) {
        if (c.script() == QChar::Script_Hangul || c.script() == QChar::Script_Han)
            return QStringLiteral("Noto Sans CJK JP");
        if (c.script() == QChar::Script_Arabic)
            return QStringLiteral("Noto Sans Arabic");
    }
    return {};
}

bool fontMissing(const QString& family) {
    return !family.isEmpty() && !QFontDatabase::families().contains(family);
}

} // namespace

// The face's labels: their font, a tick repainting just the pixels that change, and the
// compositor that makes those pixels for the digit window.
class TestClockLabel : public QObject {
    Q_OBJECT
private slots:
    void labelFaceDrawsDigits();
    void changedAreaCoversEveryChangedPixel_data();
    void changedAreaCoversEveryChangedPixel();
    void compositorDrawsAsQt_data();
    void compositorDrawsAsQt();
    void tickRepaintsOnlyWhatChanged_data();
    void tickRepaintsOnlyWhatChanged();
};

void TestClockLabel::labelFaceDrawsDigits() {
    Harness h;
    Form1 form(h.seams());
    for (const ClockLabel* label : {&label1(form), &label2(form)}) {
        const QString family = QFontInfo(label->font()).family();
        QVERIFY2(family == "Impact" || family == "Bebas Neue", qPrintable(family));
        const QRawFont raw = QRawFont::fromFont(label->font());
        for (QChar digit : QStringLiteral("0123456789:/."))
            QVERIFY(raw.supportsCharacter(digit));
    }
}

void TestClockLabel::changedAreaCoversEveryChangedPixel_data() {
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("changedCharacters"); // the area is no wider than these take
    QTest::newRow("a second") << 59 << "08:05:41"
                              << "08:05:42" << 1;
    QTest::newRow("ten seconds") << 59 << "08:05:49"
                                 << "08:05:50" << 2;
    QTest::newRow("a minute") << 59 << "08:05:59"
                              << "08:06:00" << 4;
    QTest::newRow("noon, longer") << 59 << "11:59:59 AM"
                                  << "12:00:00 PM" << 11;
    QTest::newRow("one o'clock, shorter") << 59 << "12:59:59 PM"
                                          << "1:00:00 PM" << 11;
    QTest::newRow("Japanese") << 59 << "23時59分59秒"
                              << "23時59分60秒" << 3;
    QTest::newRow("Korean") << 44 << "오후 11:59:58"
                            << "오후 11:59:59" << 1;
    QTest::newRow("Arabic, right to left") << 44 << "١١:٥٩:٥٨ م"
                                           << "١١:٥٩:٥٩ م" << 1;
    QTest::newRow("the date at midnight") << 32 << "12/08/26 Tue"
                                          << "12/09/26 Wed" << 10;
    QTest::newRow("no change") << 59 << "08:05:41"
                               << "08:05:41" << 0;
}

void TestClockLabel::changedAreaCoversEveryChangedPixel() {
    QFETCH(int, pixelSize);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(int, changedCharacters);
    if (fontMissing(neededFamily(after)))
        QSKIP("the tests' font for this script is not installed (Debian: fonts-noto-core, "
              "fonts-noto-cjk)");
    QWidget parent;
    parent.resize(300, 300);
    ClockLabel label(before, 720, 2040, 3255, 1095, &parent);
    label.setFont(FaceFont::font(pixelSize));
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QCoreApplication::processEvents();
    const auto draw = [&label] {
        QImage image(label.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        label.render(&image);
        return image;
    };
    const QImage old = draw();
    PaintRecorder recorder;
    label.installEventFilter(&recorder);
    label.setText(after);
    QCoreApplication::processEvents();
    label.removeEventFilter(&recorder);
    const QImage now = draw();
    // The label draws its text exactly as QLabel would, left to right.
    QLabel plain(after, &parent);
    plain.setGeometry(label.geometry());
    plain.setFont(label.font());
    plain.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    plain.setLayoutDirection(Qt::LeftToRight);
    QImage plainImage(label.size(), QImage::Format_RGB32);
    plainImage.fill(Qt::white);
    plain.render(&plainImage);
    if (!after.isRightToLeft())
        QCOMPARE(now, plainImage);
    int differing = 0;
    for (int y = 0; y < old.height(); ++y)
        for (int x = 0; x < old.width(); ++x)
            if (old.pixel(x, y) != now.pixel(x, y)) {
                ++differing;
                QVERIFY2(recorder.painted.contains(QPoint(x, y)),
                         qPrintable(QStringLiteral("(%1, %2) outside").arg(x).arg(y)));
            }
    QCOMPARE(differing > 0, before != after);
    QCOMPARE(recorder.painted.isEmpty(), before == after);
    // Only the changed characters, plus a few pixels of reach.
    const QFontMetrics metrics(label.font());
    const int tail = std::max(metrics.horizontalAdvance(before.right(changedCharacters)),
                              metrics.horizontalAdvance(after.right(changedCharacters)));
    const int wide = recorder.painted.boundingRect().width();
    QVERIFY2(wide <= tail + metrics.averageCharWidth() / 2 + 4,
             qPrintable(QStringLiteral("%1 wide for %2").arg(wide).arg(tail)));
}

void TestClockLabel::compositorDrawsAsQt_data() {
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<qreal>("ratio");
    for (const qreal ratio : {1.0, 1.5, 2.0}) {
        const auto row = [ratio](const char* name) {
            return &QTest::newRow(qPrintable(QStringLiteral("%1 at %2").arg(name).arg(ratio)));
        };
        *row("a second") << 59 << "08:05:41"
                         << "08:05:42" << ratio;
        // Proportional digits: everything after the minute moves to other fractions of a pixel.
        *row("a minute") << 59 << "08:05:59"
                         << "08:11:00" << ratio;
        *row("Korean, a fallback font") << 44 << "오후 11:59:58"
                                        << "오후 11:59:59" << ratio;
        *row("Arabic, right to left") << 44 << "١١:٥٩:٥٨ م"
                                      << "١١:٥٩:٥٩ م" << ratio;
        *row("the date, at midnight") << 32 << "2026/12/08 Tue"
                                      << "2026/12/09 Wed" << ratio;
    }
}

// The compositor over the picture under the time's box, first the whole box with one text, then
// only where another differs from it: the pixels Qt's own drawing of the second text makes.
void TestClockLabel::compositorDrawsAsQt() {
    QFETCH(int, pixelSize);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(qreal, ratio);
    if (fontMissing(neededFamily(after)))
        QSKIP("the tests' font for this script is not installed (Debian: fonts-noto-core, "
              "fonts-noto-cjk)");
    const QRect box(48, 136, 217, 73);
    const QRect device(box.topLeft() * ratio, box.size() * ratio);
    const int side = static_cast<int>(284 * ratio);
    const std::vector<FacePicture::Rgb> face = FacePicture::draw(ratio, side, side);
    QImage picture(device.size(), QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const auto c = face[std::size_t((device.y() + y) * side + device.x() + x)];
            picture.setPixel(x, y, qRgb(c.r, c.g, c.b));
        }
    picture.setDevicePixelRatio(ratio);
    const QFont font = FaceFont::font(pixelSize);
    const QRgb blue = qRgb(0, 0, 192);
    GlyphLayout layout(font, nullptr);
    QImage shown = picture;
    const Line first = layout.layOut(before);
    GlyphCompositor::compose(shown, picture, first, blue, shown.rect());
    const Line second = layout.layOut(after);
    const QRect changed =
        GlyphCompositor::devicePixels(GlyphCompositor::changed(first, second), ratio);
    QVERIFY(!changed.isEmpty());
    QVERIFY2(changed.width() < shown.width() / 2, "more than the changed digits");
    GlyphCompositor::compose(shown, picture, second, blue, changed);

    QImage byQt = picture.copy();
    {
        QPainter painter(&byQt);
        painter.setFont(font);
        painter.setPen(QColor(blue));
        painter.drawText(QRectF(QPointF(), QSizeF(box.size())),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextForceLeftToRight, after);
    }
    if (shown != byQt) {
        shown.save(QDir::temp().filePath("composited.png"));
        byQt.save(QDir::temp().filePath("drawn-by-qt.png"));
    }
    QCOMPARE(shown, byQt);
}

void TestClockLabel::tickRepaintsOnlyWhatChanged_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("digitWindow"); // the time's digits in a native window of their own
    QTest::addColumn<qint64>("startMs");   // from the harness's time
    QTest::addColumn<qint64>("advanceMs");
    QTest::addColumn<QString>("upper");
    QTest::addColumn<QString>("lower");
    QTest::addColumn<int>("keptEighths"); // of the time label, from its left, left as they were
    // Then, before one more tick: "swing" (a tick while the labels are away, then home again),
    // "expose" (the window loses its pixels), "font", "pixel ratio" (to a screen of another);
    // or "ten minutes": 600 more ticks, each shown as a clock painting through Qt shows it.
    QTest::addColumn<QString>("then");
    const qint64 minute = 18000, midnight = (15 * 3600 + 54 * 60 + 18) * 1000;
    const qint64 fiveToMidnight = midnight - 299000;
    for (const bool window : {false, true}) {
        const QString path = window ? " (digit window)" : " (through Qt)";
        const auto row = [&](const QString& name) {
            return &QTest::newRow(qPrintable(name + path));
        };
        *row("a second") << "C" << window << qint64(0) << qint64(1000) << "12/08/26 Tue"
                         << "08:05:42" << 4 << "";
        *row("a minute") << "C" << window << minute << qint64(1000) << "12/08/26 Tue"
                         << "08:06:00" << 2 << "";
        *row("midnight") << "C" << window << midnight << qint64(1000) << "12/09/26 Wed"
                         << "00:00:00" << 0 << "";
        *row("no change") << "C" << window << qint64(0) << qint64(300) << "12/08/26 Tue"
                          << "08:05:41" << 8 << "";
        *row("a second, then a swing")
            << "C" << window << qint64(0) << qint64(1000) << "12/08/26 Tue"
            << "08:05:42" << 4 << "swing";
        *row("a second, then an expose")
            << "C" << window << qint64(0) << qint64(1000) << "12/08/26 Tue"
            << "08:05:42" << 4 << "expose";
        *row("a second, then a new font")
            << "C" << window << qint64(0) << qint64(1000) << "12/08/26 Tue"
            << "08:05:42" << 4 << "font";
        *row("a second, then a new pixel ratio")
            << "C" << window << qint64(0) << qint64(1000) << "12/08/26 Tue"
            << "08:05:42" << 4 << "pixel ratio";
        *row("ten minutes to midnight and past, second by second")
            << "C" << window << fiveToMidnight << qint64(1000) << "12/08/26 Tue"
            << "23:55:01" << 4 << "ten minutes";
        *row("de_DE, a second") << "de_DE.UTF-8" << window << qint64(0) << qint64(1000)
                                << "08.12.2026 Tue"
                                << "08:05:42" << 4 << "";
        *row("de_DE, a minute, then a swing")
            << "de_DE.UTF-8" << window << minute << qint64(1000) << "08.12.2026 Tue"
            << "08:06:00" << 2 << "swing";
        *row("ja_JP, a second") << "ja_JP.UTF-8" << window << qint64(0) << qint64(1000)
                                << "2026/12/08 Tue"
                                << "8:05:42" << 4 << "";
        *row("ko_KR, a second") << "ko_KR.UTF-8" << window << qint64(0) << qint64(1000)
                                << "2026. 12. 08. Tue"
                                << "오전 8:05:42" << 4 << "";
        *row("zh_TW, a minute") << "zh_TW.UTF-8" << window << minute << qint64(1000)
                                << "2026/12/08 Tue"
                                << "上午8:06:00" << 2 << "";
        *row("ar_EG, a second, then a swing") << "ar_EG.UTF-8" << window << qint64(0)
                                              << qint64(1000) << "٠٨‏/١٢‏/٢٠٢٦ Tue"
                                              << "٨:٠٥:٤٢ ص" << 4 << "swing";
        *row("ten minutes in a face of tabular digits")
            << "C" << window << minute << qint64(1000) << "12/08/26 Tue"
            << "08:06:00" << 2 << "ten minutes, tabular digits";
        *row("ja_JP, ten minutes, second by second")
            << "ja_JP.UTF-8" << window << minute << qint64(1000) << "2026/12/08 Tue"
            << "8:06:00" << 2 << "ten minutes";
        *row("ja_JP, a minute, then an expose")
            << "ja_JP.UTF-8" << window << minute << qint64(1000) << "2026/12/08 Tue"
            << "8:06:00" << 2 << "expose";
        *row("ar_EG, ten minutes, second by second")
            << "ar_EG.UTF-8" << window << minute << qint64(1000) << "٠٨‏/١٢‏/٢٠٢٦ Tue"
            << "٨:٠٦:٠٠ ص" << 2 << "ten minutes";
    }
}

namespace {
// What the window shows in `box`, device pixels: its own painting, with the digit window, if
// it has one and shows it, over it.
QImage onScreen(Form1& form, const FakeDigits* digits, const QRect& box) {
    QImage shown =
        form.screen()->grabWindow(form.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    const qreal ratio = shown.devicePixelRatio();
    shown.setDevicePixelRatio(1);
    if (digits && digits->isVisible()) {
        QPainter painter(&shown);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(digits->rect, digits->screen, digits->screen.rect());
    }
    return shown.copy(
        QRectF(QPointF(box.topLeft()) * ratio, QSizeF(box.size()) * ratio).toAlignedRect());
}

// On the second screen of the two-screen configuration, whose pixel ratio differs.
const QPoint kOtherScreen(1100, 200);
} // namespace

void TestClockLabel::tickRepaintsOnlyWhatChanged() {
#ifdef _WIN32
    // The rows are the C locale's texts; the repaint itself is the same code on every platform.
    QSKIP("written for the C locale's date and time texts");
#endif
    QFETCH(QString, locale);
    QFETCH(bool, digitWindow);
    QFETCH(qint64, startMs);
    QFETCH(qint64, advanceMs);
    QFETCH(QString, upper);
    QFETCH(QString, lower);
    QFETCH(int, keptEighths);
    QFETCH(QString, then);
    if (!RegionalClock(locale.toStdString()).hasRequestedLocale())
        QSKIP("locale not installed here (Debian: locales-all)");
    if (fontMissing(neededFamily(lower)))
        QSKIP("the tests' font for this script is not installed (Debian: fonts-noto-core, "
              "fonts-noto-cjk)");
    if (then == "pixel ratio" && (QGuiApplication::screens().size() < 2 ||
                                  QGuiApplication::screens().at(0)->devicePixelRatio() ==
                                      QGuiApplication::screens().at(1)->devicePixelRatio()))
        QSKIP("needs two screens of different pixel ratios (tst_clock_label_two_screens)");
    Harness h;
    h.locale = locale.toStdString();
    h.digitWindow = digitWindow;
    h.now += milliseconds(startMs);
    Form1 form(h.seams());
    form.Form_Load();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCoreApplication::processEvents();
    QCOMPARE(h.digits != nullptr, digitWindow);
    // The digit window's first exposure.
    QCoreApplication::processEvents();
    const QString date = label1(form).text(), time = label2(form).text();
    h.now += milliseconds(advanceMs);
    if (h.digits)
        h.digits->puts = QRegion();
    PaintRecorder recorder;
    form.installEventFilter(&recorder);
    form.Timer1_Timer();
    QCoreApplication::processEvents();
    form.removeEventFilter(&recorder);
    QCOMPARE(label1(form).text(), upper);
    QCOMPARE(label2(form).text(), lower);
    QRegion allowed;
    if (upper != date)
        allowed += label1(form).geometry();
    const QRect timeBox = label2(form).geometry();
    const QRect changing = timeBox.adjusted(timeBox.width() * keptEighths / 8, 0, 0, 0);
    // With the digit window up, Qt paints only what the images do not hold yet, under it.
    if (lower != time)
        allowed += changing;
    QCOMPARE(recorder.painted - allowed, QRegion());
    if (!h.digits)
        QCOMPARE(recorder.painted.isEmpty(), allowed.isEmpty());
    if (h.digits) {
        // Device pixels of the digit window, which stands on the label's box.
        const qreal ratio = form.devicePixelRatioF();
        const QRect changingHere = QRectF(QPointF(changing.topLeft() - timeBox.topLeft()) * ratio,
                                          QSizeF(changing.size()) * ratio)
                                       .toAlignedRect();
        QCOMPARE(h.digits->puts - (lower != time ? QRegion(changingHere) : QRegion()), QRegion());
        QCOMPARE(h.digits->puts.isEmpty(), lower == time);
    }

    QFont font = label2(form).font();
    if (then == "swing") {
        form.Form_MouseMove(0, 0, 1500, 75);
        for (int step = 0; step < 30; ++step)
            form.Timer2_Timer();
        QCoreApplication::processEvents();
        if (h.digits)
            QVERIFY(!h.digits->isVisible());
        h.now += seconds(1);
        form.Timer1_Timer();
        QCoreApplication::processEvents();
        while (h.timer2->isActive())
            form.Timer2_Timer();
        QCoreApplication::processEvents();
        if (h.digits)
            QVERIFY(h.digits->isVisible());
    } else if (then == "expose") {
        if (h.digits)
            h.digits->expose();
        else
            form.repaint();
    } else if (then == "font") {
        font.setPixelSize(40);
        label2(form).setFont(font);
    } else if (then == "pixel ratio") {
        const qreal before = form.devicePixelRatioF();
        form.setGeometry(QRect(kOtherScreen, form.size()));
        QTRY_VERIFY(form.devicePixelRatioF() != before);
    } else if (then.startsWith("ten minutes")) {
        // Proportional digits put the seconds elsewhere every minute, and the hour and the
        // date change at midnight: every tick still shows what Qt paints.
        Harness lockstep;
        lockstep.locale = h.locale;
        lockstep.now = h.now;
        Form1 reference(lockstep.seams());
        if (then.endsWith("tabular digits")) {
            QFont monospace(QStringLiteral("DejaVu Sans Mono"));
            monospace.setPixelSize(59);
            label2(form).setFont(monospace);
            label2(reference).setFont(monospace);
            QCoreApplication::processEvents();
        }
        reference.Form_Load();
        QVERIFY(QTest::qWaitForWindowExposed(&reference));
        const QRect box = label2(form).geometry() | label1(form).geometry();
        // The seconds stand still through a minute, their digits in cells: from the third minute
        // on a second's pixels are the display's own, kept from the minute before, none sent.
        const bool secondsKept = h.digits != nullptr;
        for (int tick = 1; tick <= 600; ++tick) {
            h.now += seconds(1);
            lockstep.now = h.now;
            if (h.digits)
                h.digits->sent = 0;
            form.Timer1_Timer();
            reference.Timer1_Timer();
            QCoreApplication::processEvents();
            QCOMPARE(label2(form).text(), label2(reference).text());
            QVERIFY2(onScreen(form, h.digits, box) == onScreen(reference, nullptr, box),
                     qPrintable(label1(form).text() + ' ' + label2(form).text()));
            const bool newMinute =
                duration_cast<seconds>(h.now.time_since_epoch()).count() % 60 == 0;
            if (secondsKept && tick > 120 && !newMinute)
                QVERIFY2(h.digits->sent == 0, qPrintable(label2(form).text()));
        }
    }
    h.now += seconds(1);
    form.Timer1_Timer();
    QCoreApplication::processEvents();

    // What the window shows now is what a fresh start at the same moment paints through Qt.
    Harness fresh;
    fresh.locale = h.locale;
    fresh.now = h.now;
    Form1 reference(fresh.seams());
    label2(reference).setFont(label2(form).font());
    reference.Form_Load();
    if (then == "pixel ratio")
        reference.setGeometry(QRect(kOtherScreen, reference.size()));
    QVERIFY(QTest::qWaitForWindowExposed(&reference));
    QCoreApplication::processEvents();
    QCOMPARE(label2(reference).text(), label2(form).text());
    QCOMPARE(reference.devicePixelRatioF(), form.devicePixelRatioF());
    const QRect box = label2(form).geometry() | label1(form).geometry();
    const QImage shown = onScreen(form, h.digits, box);
    const QImage expected = onScreen(reference, nullptr, box);
    if (shown != expected) {
        shown.save(QDir::temp().filePath("tick-shown.png"));
        expected.save(QDir::temp().filePath("tick-expected.png"));
    }
    QCOMPARE(shown, expected);
}

QTEST_MAIN(TestClockLabel)
#include "tst_clock_label.moc"
