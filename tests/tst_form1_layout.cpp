#include "form1.h"
#include "form1_harness.h"
#include "regional_clock.h"

#include <QFileInfo>
#include <QImage>
#include <QTest>
#include <QWindow>

#include <chrono>

using namespace std::chrono;

// The window as designed, what it shows at start, and which input reaches it.
class TestForm1Layout : public QObject {
    Q_OBJECT
private slots:
    void designLayout();
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
    QVERIFY(!form.windowIcon().isNull());
    QVERIFY(h.timer1->isActive());
    QVERIFY(!h.timer2->isActive());
}

void TestForm1Layout::pictureShowsThroughLabels() {
    Harness h;
    Form1 form(h.seams());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage shown = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage face = QImage(":/face.bmp").convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), QSize(284, 284));
    // Inside both labels' boxes but away from their letters: the picture, no label background.
    for (QPoint p : {kLabel1BoxNoText, QPoint(250, 200), QPoint(200, 140), kBandBetweenLabels,
                     QPoint(283, 283)})
        QCOMPARE(shown.pixel(p), face.pixel(p));
    int letterPixels = 0;
    for (int y = 88; y < 129; ++y)
        for (int x = 32; x < 120; ++x)
            letterPixels += qBlue(shown.pixel(x, y)) > 120 && qRed(shown.pixel(x, y)) < 60;
    QVERIFY(letterPixels > 50);
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
    QTest::addColumn<int>("day"); // of December 2026, at 08:05:41
    QTest::addColumn<QString>("upper");
    QTest::addColumn<QString>("lower");
#ifdef _WIN32
    QTest::newRow("en-US") << "en-US" << 8 << "12/8/2026 Tue"
                           << "8:05:41 AM";
    // Wine writes yyyy/M/d where Windows writes yyyy/MM/dd; a two-digit day reads the same.
    QTest::newRow("ja-JP") << "ja-JP" << 12 << "2026/12/12 Sat"
                           << "8:05:41";
#else
    QTest::newRow("C") << "C" << 8 << "12/08/26 Tue"
                       << "08:05:41";
    QTest::newRow("de_DE") << "de_DE.UTF-8" << 8 << "08.12.2026 Tue"
                           << "08:05:41";
#endif
}

void TestForm1Layout::faceFilledAtLoad() {
    QFETCH(QString, locale);
    QFETCH(int, day);
    QFETCH(QString, upper);
    QFETCH(QString, lower);
    if (!RegionalClock(locale.toStdString()).hasRequestedLocale())
        QSKIP("locale not installed here (Debian: locales-all)");
    Harness h;
    h.locale = locale.toStdString();
    h.now += days(day - 8);
    Form1 form(h.seams());
    form.Form_Load();
    QCOMPARE(label1(form).text(), upper);
    QCOMPARE(label2(form).text(), lower);
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
