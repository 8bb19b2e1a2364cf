#include "face_picture.h"
#include "form1.h"
#include "form1_harness.h"
#include "glyph_layout.h"
#include "regional_clock.h"

#include <QAccessible>
#include <QDateTime>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <QTimeZone>
#include <QWindow>

#include <chrono>
#include <ctime>

using namespace std::chrono;

namespace {

// The zone a row names, for as long as it runs; the tests run in UTC.
class ZoneForTest {
public:
    explicit ZoneForTest(const QByteArray& zone) : m_set(!zone.isEmpty()) {
        if (m_set)
            use(zone);
    }
    ~ZoneForTest() {
        if (m_set)
            use("UTC");
    }
    ZoneForTest(const ZoneForTest&) = delete;
    ZoneForTest& operator=(const ZoneForTest&) = delete;

private:
    static void use(const QByteArray& zone) {
        qputenv("TZ", zone);
        tzset();
    }
    bool m_set;
};

} // namespace

// The window as designed, what it shows at start, and which input reaches it.
class TestForm1Layout : public QObject {
    Q_OBJECT
private slots:
    void designLayout();
    void pictureShowsThroughLabels_data();
    void pictureShowsThroughLabels();
    void routing_data();
    void routing();
    void dragThatBeganOutsideGoesOnOverLabels();
    void pressInLabelKeepsMovesWithLabel();
    void faceFilledAtLoad_data();
    void faceFilledAtLoad();
    void closeSavesNothing();
};

void TestForm1Layout::designLayout() {
    Harness h;
#ifdef _WIN32
    // Where the texts fit at the design's sizes (the user's own may be en-US, whose do not).
    h.locale = "de-DE";
#endif
    Form1 form(h.seams());
    QCOMPARE(form.windowTitle(), QStringLiteral("Velomire -KORUVA!-"));
    QVERIFY(form.isHidden());
    QCOMPARE(form.geometry(), QRect(433, 265, 284, 284));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(label1(form).geometry(), QRect(32, 88, 241, 41));
    QCOMPARE(label2(form).geometry(), QRect(48, 136, 217, 73));
    QCOMPARE(label1(form).text(), QStringLiteral("Label1"));
    QCOMPARE(label2(form).text(), QStringLiteral("Label2"));
    QCOMPARE(label1(form).palette().color(QPalette::WindowText), QColor(0, 0, 192));
    QCOMPARE(label1(form).focusPolicy(), Qt::NoFocus);
    QCOMPARE(label1(form).font().pixelSize(), 32);
    QCOMPARE(label2(form).font().pixelSize(), 59);
    // The window icon's very pixels, at its own size.
    QCOMPARE(
        form.windowIcon().pixmap(QSize(48, 48), 1).toImage().convertToFormat(QImage::Format_ARGB32),
        QImage(":/icon.ico").convertToFormat(QImage::Format_ARGB32));
    QVERIFY(h.timer1->isActive());
    QVERIFY(!h.timer2->isActive());
}

void TestForm1Layout::pictureShowsThroughLabels_data() {
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("the picture as carried") << 1.0;
    // Drawn again at the screen's pixels, not the carried picture scaled up.
    QTest::newRow("at a scale of 1.5") << 1.5;
    QTest::newRow("at a scale of 2") << 2.0;
}

void TestForm1Layout::pictureShowsThroughLabels() {
    QFETCH(qreal, ratio);
    QScreen* screen = nullptr;
    for (QScreen* candidate : QGuiApplication::screens()) {
        if (candidate->devicePixelRatio() == ratio)
            screen = candidate;
    }
    if (!screen)
        QSKIP("no screen of this pixel ratio here (tst_form1_layout_two_screens has them)");
    Harness h;
    Form1 form(h.seams());
    form.move(screen->geometry().topLeft() + QPoint(100, 100));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_COMPARE(form.devicePixelRatioF(), ratio);
    const QImage shown = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int side = static_cast<int>(284 * ratio);
    QCOMPARE(shown.size(), QSize(side, side));
    QImage expected(side, side, QImage::Format_RGB32);
    const std::vector<FacePicture::Rgb> drawn = FacePicture::draw(ratio, side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const FacePicture::Rgb c = drawn[std::size_t(y * side + x)];
            expected.setPixel(x, y, qRgb(c.r, c.g, c.b));
        }
    if (ratio == 1)
        QCOMPARE(expected,
                 QImage(":/face.bmp").convertToFormat(QImage::Format_RGB32).copy(0, 0, 284, 284));
    // Everywhere but the labels' letters: the picture, no label background.
    const QRect letters1 = QRectF(QPointF(32, 88) * ratio, QSizeF(241, 41) * ratio).toAlignedRect();
    const QRect letters2 =
        QRectF(QPointF(48, 136) * ratio, QSizeF(217, 73) * ratio).toAlignedRect();
    int differing = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            if (!letters1.contains(x, y) && !letters2.contains(x, y))
                differing += shown.pixel(x, y) != expected.pixel(x, y);
    QCOMPARE(differing, 0);
    for (QPoint p : {kLabel1BoxNoText, QPoint(250, 200), QPoint(200, 140)})
        QCOMPARE(shown.pixel(p * ratio), expected.pixel(p * ratio));
    int letterPixels = 0;
    for (int y = letters1.top(); y <= letters1.bottom(); ++y)
        for (int x = letters1.left(); x < letters1.left() + int(88 * ratio); ++x)
            letterPixels += qBlue(shown.pixel(x, y)) > 120 && qRed(shown.pixel(x, y)) < 60;
    QVERIFY(letterPixels > 50 * ratio * ratio);
}

void TestForm1Layout::routing_data() {
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<bool>("reachesWindow");
    QTest::newRow("band between the labels") << kBandBetweenLabels << true;
    QTest::newRow("picture corner") << kPictureCorner << true;
    QTest::newRow("below the labels") << QPoint(140, 250) << true;
    QTest::newRow("upper label's text") << kLabel1Text << false;
    QTest::newRow("upper label's box, picture showing") << kLabel1BoxNoText << false;
    QTest::newRow("lower label's text") << kLabel2Text << false;
}

void TestForm1Layout::routing() {
    QFETCH(QPoint, at);
    QFETCH(bool, reachesWindow);
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    QWindow* window = form.windowHandle();
    QTest::mouseMove(window, at);
    QCOMPARE(h.timer2->isActive(), reachesWindow);
    QTest::mousePress(window, Qt::LeftButton, {}, at);
    // The pointer moves on, still over what it pressed; the grip point stays under it.
    QCOMPARE(moveDragsWindow(form, at + QPoint(3, 3)), reachesWindow);
    QTest::mouseRelease(window, Qt::LeftButton, {}, at);
    QTest::mouseDClick(window, Qt::LeftButton, {}, at);
    QCOMPARE(h.exits.size(), reachesWindow ? 1 : 0);
    QCOMPARE(QFileInfo::exists(h.setting()), reachesWindow);
}

void TestForm1Layout::dragThatBeganOutsideGoesOnOverLabels() {
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    QWindow* window = form.windowHandle();
    const QPoint start = form.pos();
    QTest::mousePress(window, Qt::LeftButton, {}, kBandBetweenLabels);
    QTest::mouseMove(window, kBandBetweenLabels + QPoint(0, -25)); // into Label1's box
    QCOMPARE(form.pos(), start + QPoint(0, -25));
    QTest::mouseMove(window, kBandBetweenLabels + QPoint(0, -25) + QPoint(0, 40));
    // Reported against the moved window, so it moves on by the same distance again.
    QCOMPARE(form.pos(), start + QPoint(0, -10));
    QTest::mouseRelease(window, Qt::LeftButton, {}, kBandBetweenLabels);
    QVERIFY(!moveDragsWindow(form, kBandBetweenLabels + QPoint(7, 2)));
}

void TestForm1Layout::pressInLabelKeepsMovesWithLabel() {
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    QWindow* window = form.windowHandle();
    const QPoint start = form.pos();
    QTest::mousePress(window, Qt::LeftButton, {}, kLabel1Text);
    QTest::mouseMove(window, kPictureCorner);
    QTest::mouseMove(window, kBandBetweenLabels);
    QTest::mouseRelease(window, Qt::LeftButton, {}, kBandBetweenLabels);
    QCOMPARE(form.pos(), start);
    QVERIFY(!h.timer2->isActive());
    QVERIFY(!moveDragsWindow(form, kBandBetweenLabels + QPoint(7, 2)));
}

void TestForm1Layout::faceFilledAtLoad_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("when");  // UTC
    QTest::addColumn<QByteArray>("zone"); // TZ; empty: UTC
    QTest::addColumn<QString>("upper");   // empty: not compared
    QTest::addColumn<QString>("lower");
    QTest::addColumn<bool>("designSize"); // both labels at the design's sizes
    QTest::addColumn<QString>("font");    // a fallback font the texts need, if any
    // The rows that name their texts at 08:05:41, the others at the widest minutes and seconds.
    const QDateTime tuesday(QDate(2026, 12, 8), QTime(8, 5, 41), QTimeZone::utc());
#ifdef _WIN32
    // Its "12:44:44 PM" is wider than the box at the design's size.
    QTest::newRow("en-US") << "en-US" << tuesday << QByteArray() << "12/8/2026 Tue"
                           << "8:05:41 AM" << false << "";
    // Wine writes yyyy/M/d where Windows writes yyyy/MM/dd; a two-digit day reads the same.
    QTest::newRow("ja-JP") << "ja-JP" << tuesday.addDays(4) << QByteArray() << "2026/12/12 Sat"
                           << "8:05:41" << true << "";
#else
    QTest::newRow("C") << "C" << tuesday << QByteArray() << "12/08/26 Tue"
                       << "08:05:41" << true << "";
    QTest::newRow("de_DE") << "de_DE.UTF-8" << tuesday << QByteArray() << "08.12.2026 Tue"
                           << "08:05:41" << true << "";
    QTest::newRow("ja_JP, read as its texts")
        << "ja_JP.UTF-8" << tuesday << QByteArray() << "2026/12/08 Tue"
        << "8:05:41" << true << "";
    // Every text of the year whole in its box, seconds shown, at the design's sizes wherever
    // they fit: the regions people read the clock in, and the scripts that are widest and
    // tallest, at the hour of the widest digits.
    const auto wholeAt = [](const char* name, const char* locale, const QDateTime& when,
                            const char* zone, const char* font, bool design) {
        QTest::newRow(name) << locale << when << QByteArray(zone) << ""
                            << "" << design << font;
    };
    const QDateTime widest(QDate(2026, 12, 9), QTime(4, 44, 44), QTimeZone::utc());
    const auto whole = [&](const char* name, const char* locale, const char* font, bool design) {
        wholeAt(name, locale, widest, "", font, design);
    };
    whole("C at 04:44", "C", "", true);
    whole("en_GB", "en_GB.UTF-8", "", true);
    whole("ja_JP", "ja_JP.UTF-8", "", true);
    whole("en_US, its AM at 04:44:44", "en_US.UTF-8", "", false);
    whole("zh_CN", "zh_CN.UTF-8", "", true);
    whole("zh_TW, its morning word", "zh_TW.UTF-8", "Noto Sans CJK JP", false);
    whole("ko_KR, its morning word", "ko_KR.UTF-8", "Noto Sans CJK JP", false);
    whole("hi_IN", "hi_IN.UTF-8", "", false);
    whole("ar_EG, right to left", "ar_EG.UTF-8", "Noto Sans Arabic", false);
    whole("fa_IR, the Persian calendar", "fa_IR.UTF-8", "Noto Sans Arabic", false);
    whole("he_IL", "he_IL.UTF-8", "", true);
    whole("th_TH", "th_TH.UTF-8", "", true);
    whole("my_MM, tall Myanmar digits", "my_MM.UTF-8", "Noto Sans Myanmar", false);
    whole("bo_CN, Tibetan", "bo_CN.UTF-8", "Noto Serif Tibetan", false);
    whole("kn_IN, Kannada", "kn_IN.UTF-8", "Noto Sans Kannada", false);
    whole("nb_NO, seconds its C library leaves out", "nb_NO.UTF-8", "", true);
    whole("aa_DJ, the C library's texts", "aa_DJ.UTF-8", "", false);
    // Texts of the C library that only some moments show: numbers written in words, a weekday
    // named with a month, the zone's name in summer.
    wholeAt("lzh_TW at 11:11:11, its numbers in words", "lzh_TW.UTF-8",
            QDateTime(QDate(2026, 12, 9), QTime(11, 11, 11), QTimeZone::utc()), "",
            "Noto Sans CJK JP", false);
    wholeAt("shn_MM on Tuesday 6 October", "shn_MM.UTF-8",
            QDateTime(QDate(2026, 10, 6), QTime(4, 44, 44), QTimeZone::utc()), "",
            "Noto Sans Myanmar", false);
    wholeAt("bi_VU in Berlin in July, CEST", "bi_VU.UTF-8",
            QDateTime(QDate(2026, 7, 15), QTime(10, 44, 44), QTimeZone::utc()), "Europe/Berlin", "",
            false);
#endif
}

void TestForm1Layout::faceFilledAtLoad() {
    QFETCH(QString, locale);
    QFETCH(QDateTime, when);
    QFETCH(QByteArray, zone);
    QFETCH(QString, upper);
    QFETCH(QString, lower);
    QFETCH(bool, designSize);
    QFETCH(QString, font);
    if (!RegionalClock(locale.toStdString()).hasRequestedLocale())
        QSKIP("locale not installed here (Debian: locales-all)");
    if (!font.isEmpty() && !QFontDatabase::families().contains(font))
        QSKIP("the tests' font for this script is not installed (Debian: fonts-noto-core, "
              "fonts-noto-cjk)");
    const ZoneForTest inZone(zone);
    Harness h;
    h.locale = locale.toStdString();
    h.now = system_clock::time_point(milliseconds(when.toMSecsSinceEpoch()));
    Form1 form(h.seams());
    form.Form_Load();
    if (!upper.isEmpty()) {
        QCOMPARE(label1(form).text(), upper);
        QCOMPARE(label2(form).text(), lower);
    }
    // The window is the program's frame with its title, the lines inside it.
    QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(&form);
    QVERIFY(frame);
    QCOMPARE(frame->role(), QAccessible::Window);
    QCOMPARE(frame->text(QAccessible::Name), QStringLiteral("Velomire -KORUVA!-"));
    for (ClockLabel* label : {&label1(form), &label2(form)}) {
        // A screen reader meets a line as static text named by what it shows.
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(label);
        QVERIFY(read);
        QCOMPARE(read->role(), QAccessible::StaticText);
        QCOMPARE(read->text(QAccessible::Name), label->text());
        const QRectF ink = GlyphLayout::shape(label->text(), label->font(), nullptr,
                                              label->contentsRect().topLeft())
                               .ink();
        QVERIFY2(QRectF(QPointF(), QSizeF(label->size())).contains(ink),
                 qPrintable(QStringLiteral("%1 at %2 px: ink %3,%4 to %5,%6")
                                .arg(label->text())
                                .arg(label->font().pixelSize())
                                .arg(ink.left())
                                .arg(ink.top())
                                .arg(ink.right())
                                .arg(ink.bottom())));
    }
    if (designSize) {
        QCOMPARE(label1(form).font().pixelSize(), 32);
        QCOMPARE(label2(form).font().pixelSize(), 59);
    }
    const QString time = label2(form).text();
    h.now += seconds(1);
    form.Timer1_Timer();
    QVERIFY2(label2(form).text() != time, qPrintable(time));
}

void TestForm1Layout::closeSavesNothing() {
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    form.setLeft(150);
    form.close();
    QVERIFY(!QFileInfo::exists(h.setting()));
    QVERIFY(h.exits.isEmpty());
}

QTEST_MAIN(TestForm1Layout)
#include "tst_form1_layout.moc"
