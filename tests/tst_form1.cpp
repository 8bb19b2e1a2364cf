#include "clock_label.h"
#include "design_layout.h"
#include "face_font.h"
#include "form1.h"
#include "form1_harness.h"
#include "real_seams.h"
#include "test_support.h"
#include "twips.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontInfo>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRawFont>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <system_error>

using namespace std::chrono;

namespace {

const QPoint kDesign(1 << 30, 1 << 30);

QPoint px(double xTwips, double yTwips) {
    return {Twips::toPixels(xTwips), Twips::toPixels(yTwips)};
}

// Where a position in twips lands: windows stand on whole pixels, 15 twips each.
QPoint onPixels(QPoint twips) {
    return px(twips.x(), twips.y()) * 15;
}

QPoint leftTop(const Form1& form) {
    return {int(form.Left()), int(form.Top())};
}

QPoint frameOf(const Form1& form) {
    return form.geometry().topLeft() - form.frameGeometry().topLeft();
}

// Keeps the platform's reports of where the window went from reaching it, as when a window
// manager refuses a move and the X server reports nothing.
class MoveRefusal : public QObject {
public:
    int refused = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Move)
            return false;
        ++refused;
        return true;
    }
};

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT
private slots:
    void designLayout();
    void labelFaceDrawsDigits();
    void pictureShowsThroughLabels();
    void routing_data();
    void routing();
    void dragThatBeganOutsideGoesOnOverLabels();
    void pressInLabelKeepsMovesWithLabel();
    void settingFileBesideTheProgram();
    void faceFilledAtLoad_data();
    void faceFilledAtLoad();
    void load_data();
    void load();
    void unreadableFileStillStarts();
    void doubleClickSavesAndRestartRestores_data();
    void doubleClickSavesAndRestartRestores();
    void doubleClickDuringLoadIsIgnored();
    void secondDoubleClickDuringSaveIsIgnored();
    void twoClocksSavingAtOnce_data();
    void twoClocksSavingAtOnce();
    void moveDuringLoadKeepsHome();
    void failedSaveIsReported_data();
    void failedSaveIsReported();
    void fullSwingTrace();
    void movesDuringSwingNeitherRestartNorLengthen();
    void everyMovementAfterASwingStartsTheNext();
    void continuousMotionSwingsAtItsOwnPace_data();
    void continuousMotionSwingsAtItsOwnPace();
    void swingStepRepaintsOnlyTheLabels();
    void changedRectCoversEveryChangedPixel_data();
    void changedRectCoversEveryChangedPixel();
    void tickRepaintsOnlyWhatChanged_data();
    void tickRepaintsOnlyWhatChanged();
    void anyButtonDrags_data();
    void anyButtonDrags();
    void releasingOneOfTwoButtonsEndsDrag();
    void secondPressRegrips();
    void dragDuringSwing();
    void dragIgnoresStaleWindowRelativePoints();
    void closeSavesNothing();
};

void TestForm1::designLayout() {
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

void TestForm1::labelFaceDrawsDigits() {
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

void TestForm1::pictureShowsThroughLabels() {
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

void TestForm1::routing_data() {
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<bool>("reachesWindow");
    QTest::newRow("band between the labels") << kBandBetweenLabels << true;
    QTest::newRow("picture corner") << kPictureCorner << true;
    QTest::newRow("below the labels") << QPoint(140, 250) << true;
    QTest::newRow("upper label's text") << kLabel1Text << false;
    QTest::newRow("upper label's box, picture showing") << kLabel1BoxNoText << false;
    QTest::newRow("lower label's text") << kLabel2Text << false;
}

void TestForm1::routing() {
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

void TestForm1::dragThatBeganOutsideGoesOnOverLabels() {
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

void TestForm1::pressInLabelKeepsMovesWithLabel() {
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

// Qt names the program's folder with forward slashes; the path must reach the file routines
// and the messages with the platform's own separator throughout.
void TestForm1::settingFileBesideTheProgram() {
    QCOMPARE(QString::fromStdString(realSeams().programFolder()),
             QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
}

void TestForm1::faceFilledAtLoad_data() {
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

void TestForm1::faceFilledAtLoad() {
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

void TestForm1::load_data() {
    QTest::addColumn<QByteArray>("content"); // "<missing>" and "<folder>" stand for no file
    QTest::addColumn<QPoint>("position");    // twips; kDesign: the client area at its design place
    QTest::addColumn<QByteArray>("variant"); // SETTING.DAT beside it, if not empty
    const QPoint design = kDesign;
    QTest::newRow("missing") << QByteArray("<missing>") << design << QByteArray();
    QTest::newRow("folder named like the file") << QByteArray("<folder>") << design << QByteArray();
    QTest::newRow("two lines") << QByteArray("6000\r\n-45\r\n") << QPoint(6000, -45)
                               << QByteArray();
    QTest::newRow("five lines") << QByteArray("150\r\n300\r\n9\r\n9\r\n9\r\n") << QPoint(150, 300)
                                << QByteArray();
    QTest::newRow("negative, partly off left")
        << QByteArray("-4000\r\n-300\r\n") << QPoint(-4000, -300) << QByteArray();
    QTest::newRow("one pixel of it on screen")
        << QByteArray("-4245\r\n0\r\n") << QPoint(-4245, 0) << QByteArray();
    QTest::newRow("just off the left edge")
        << QByteArray("-4500\r\n0\r\n") << design << QByteArray();
    QTest::newRow("off every screen") << QByteArray("90000\r\n90000\r\n") << design << QByteArray();
    QTest::newRow("one line") << QByteArray("6000\r\n") << design << QByteArray();
    QTest::newRow("empty") << QByteArray("") << design << QByteArray();
    QTest::newRow("trailing text, half to even")
        << QByteArray("1200abc\r\n2.5\r\n") << QPoint(1200, 2) << QByteArray();
    QTest::newRow("three and a half") << QByteArray("3.5\r\n3.5") << QPoint(4, 4) << QByteArray();
    QTest::newRow("huge") << QByteArray("99999999999\r\n5\r\n") << design << QByteArray();
    QTest::newRow("binary reads 0")
        << QByteArray("\x01\xff\r\n\x00x\r\n", 7) << QPoint(0, 0) << QByteArray();
    QTest::newRow("LF only: one line") << QByteArray("150\n300\n") << design << QByteArray();
    QByteArray large("150\r\n300\r\n");
    large.append(64 * 1024 + 1 - large.size(), '9');
    QTest::newRow("larger than any position file") << large << design << QByteArray();
    large.chop(1);
    QTest::newRow("as large as a position file can be")
        << large << QPoint(150, 300) << QByteArray();
    QTest::newRow("a case variant beside: the exact name wins")
        << QByteArray("150\r\n300\r\n") << QPoint(150, 300) << QByteArray("600\r\n900\r\n");
    QTest::newRow("only a case variant")
        << QByteArray("<missing>") << QPoint(600, 900) << QByteArray("600\r\n900\r\n");
}

void TestForm1::load() {
    QFETCH(QByteArray, content);
    QFETCH(QPoint, position);
    QFETCH(QByteArray, variant);
    Harness h;
    if (content == "<folder>")
        QVERIFY(QDir(h.folder.path()).mkdir("setting.dat"));
    else if (content != "<missing>")
        writeBytes(h.setting(), content);
    if (!variant.isEmpty()) {
        if (content != "<missing>" && QFileInfo::exists(h.folder.filePath("SETTING.DAT")))
            QSKIP("this file system ignores the case of names: it holds one of them only");
        writeBytes(h.folder.filePath("SETTING.DAT"), variant);
    }
    Form1 form(h.seams());
    form.Form_Load();
    if (position == kDesign) {
        QCOMPARE(form.geometry().topLeft(), QPoint(433, 265));
    } else {
        QCOMPARE(leftTop(form), onPixels(position));
        // Left and Top are the frame's: the client area lies inside them by the frame.
        QCOMPARE(form.frameGeometry().topLeft(), px(position.x(), position.y()));
        QCOMPARE(form.geometry().topLeft(), px(position.x(), position.y()) + frameOf(form));
    }
    QVERIFY(form.isVisible());
    // At rest at its home: a swing from here takes its full course and ends there.
    QVERIFY(!h.timer2->isActive());
    QCOMPARE(label1(form).Top(), kHome1);
    QCOMPARE(wholeSwing(form, h), 402);
    QCOMPARE(label1(form).Top(), kHome1);
    QVERIFY(label1(form).text().endsWith(" Tue"));
    // Start-up never writes: a missing file stays missing, a present one unchanged.
    if (content == "<missing>")
        QVERIFY(!QFileInfo::exists(h.setting()) || !variant.isEmpty());
    else if (content != "<folder>")
        QCOMPARE(readBytes(h.setting()), content);
    if (!variant.isEmpty())
        QCOMPARE(readBytes(h.folder.filePath("SETTING.DAT")), variant);
}

void TestForm1::unreadableFileStillStarts() {
    Harness h;
    writeBytes(h.setting(), "100\r\n200\r\n");
    Form1 form(h.seams());
    HookRecorder hooks;
    // The read fails part way, as a vanished network share would make it.
    hooks.onYield = [](int) { throw std::system_error(EIO, std::generic_category(), "read"); };
    form.Form_Load();
    QVERIFY(form.isVisible());
    QCOMPARE(form.geometry().topLeft(), QPoint(433, 265));
    QVERIFY(label1(form).text().endsWith(" Tue"));
}

void TestForm1::doubleClickSavesAndRestartRestores_data() {
    QTest::addColumn<QPoint>("position");       // twips, set as Left and Top
    QTest::addColumn<QString>("movedBy");       // the program, the window manager, or no one
    QTest::addColumn<QString>("programFolder"); // inside the harness's folder
    // writable; save beside fails; variant beside (the old file is SETTING.DAT); program folder
    // unknown; overlong per-user folder
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QByteArray>("beside"); // a file already beside the program, if not empty
    QTest::addColumn<QString>("savedTo");   // beside or per-user
    QTest::addColumn<QPoint>("saved");
    QTest::addColumn<QPoint>("restored");
    const QPoint odd(1001, 7), oddOnPixels(1005, 0);
    const QString writable("writable");
    // Where the window stands after the first start: its client area at the design place, in
    // the offscreen platform's frame of 2 pixels.
    const QPoint designFrame(6465, 3945);
    QTest::newRow("design") << QPoint(6495, 3975) << "program" << QString() << writable
                            << QByteArray() << "beside" << QPoint(6495, 3975) << QPoint(6495, 3975);
    QTest::newRow("negative, partly off")
        << QPoint(-450, -30) << "program" << QString() << writable << QByteArray() << "beside"
        << QPoint(-450, -30) << QPoint(-450, -30);
    QTest::newRow("odd twips: whole pixels")
        << odd << "program" << QString() << writable << QByteArray() << "beside" << oddOnPixels
        << oddOnPixels;
    QTest::newRow("moved by the window manager")
        << QPoint(3000, 1500) << "platform" << QString() << writable << QByteArray() << "beside"
        << QPoint(3000, 1500) << QPoint(3000, 1500);
    // A window manager that keeps the window where it is (sway's policy): Left and Top are
    // where the window stands, never the place asked for.
    QTest::newRow("move refused by the window manager")
        << QPoint(3000, 1500) << "no one" << QString() << writable << QByteArray() << "beside"
        << designFrame << designFrame;
    // Beyond any ANSI code page: the path must reach the file calls whole.
    QTest::newRow("non-ASCII program folder")
        << QPoint(1500, 900) << "program" << QStringLiteral("時計 Ωρα") << writable << QByteArray()
        << "beside" << QPoint(1500, 900) << QPoint(1500, 900);
    QTest::newRow("writable program folder replaces the file beside")
        << odd << "program" << QString() << writable << QByteArray("1500\r\n3000\r\n") << "beside"
        << oddOnPixels << oddOnPixels;
    QTest::newRow("the save beside fails: saved per user")
        << odd << "program" << QString() << "save beside fails" << QByteArray() << "per-user"
        << oddOnPixels << oddOnPixels;
    QTest::newRow("an old file beside, the save beside failing: the per-user save is read")
        << odd << "program" << QString() << "save beside fails" << QByteArray("1500\r\n3000\r\n")
        << "per-user" << oddOnPixels << oddOnPixels;
    QTest::newRow("a case variant beside: saved and read as setting.dat")
        << odd << "program" << QString() << "variant beside" << QByteArray("1500\r\n3000\r\n")
        << "beside" << oddOnPixels << oddOnPixels;
    QTest::newRow("program folder unknown: saved per user")
        << odd << "program" << QString() << "program folder unknown" << QByteArray() << "per-user"
        << oddOnPixels << oddOnPixels;
    QTest::newRow("overlong per-user folder: saved beside")
        << odd << "program" << QString() << "overlong per-user folder" << QByteArray() << "beside"
        << oddOnPixels << oddOnPixels;
}

void TestForm1::doubleClickSavesAndRestartRestores() {
    QFETCH(QPoint, position);
    QFETCH(QString, movedBy);
    QFETCH(QString, programFolder);
    QFETCH(QString, situation);
    QFETCH(QByteArray, beside);
    QFETCH(QString, savedTo);
    QFETCH(QPoint, saved);
    QFETCH(QPoint, restored);
    Harness h;
    h.programSubfolder = programFolder;
    h.programKnown = situation != "program folder unknown";
    h.overlongPerUser = situation == "overlong per-user folder";
    QVERIFY(QDir().mkpath(h.programFolder()));
    // An old file beside the program, copied from a stick as SETTING.DAT, or beside a folder
    // that takes the name setting.dat where the save would go.
    const QString old =
        situation == "writable" ? h.setting() : h.programFolder() + QStringLiteral("/SETTING.DAT");
    if (!beside.isEmpty()) {
        writeBytes(old, beside);
        if (old != h.setting() && QFileInfo::exists(h.setting()))
            QSKIP("this file system ignores the case of names: SETTING.DAT is setting.dat");
    }
    if (situation == "save beside fails")
        h.makeSaveBesideFail();
    QPoint client;
    {
        Form1 form(h.seams());
        form.Form_Load();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!frameOf(form).isNull()); // the platform's frame is in play
        MoveRefusal refusal;
        if (movedBy == "platform") {
            form.windowHandle()->setFramePosition(px(position.x(), position.y()));
            QTRY_COMPARE(form.frameGeometry().topLeft(), px(position.x(), position.y()));
        } else {
            if (movedBy == "no one")
                form.windowHandle()->installEventFilter(&refusal);
            form.setLeft(float(position.x()));
            form.setTop(float(position.y()));
            // Left and Top follow once the platform reports where the window went.
            if (movedBy == "no one")
                QTRY_VERIFY(refusal.refused > 0);
            QTRY_COMPARE(leftTop(form), saved);
        }
        client = form.geometry().topLeft();
        form.Form_DblClick();
        QCOMPARE(h.errors, QStringList{});
        QCOMPARE(h.exits, QList<int>{0});
        QVERIFY(!form.isVisible());
        QVERIFY(!h.timer1->isActive());
    }
    const QByteArray written =
        QByteArray::number(saved.x()) + "\r\n" + QByteArray::number(saved.y()) + "\r\n";
    if (savedTo == "beside") {
        QCOMPARE(readBytes(h.setting()), written);
        QVERIFY(!QFileInfo::exists(h.perUserFolder()));
    } else {
        QCOMPARE(readBytes(h.perUserSetting()), written);
        QVERIFY(!QFileInfo(h.setting()).isFile());
    }
    // Nothing ever goes anywhere but the two places, whatever the program folder's name.
    QVERIFY(!QFileInfo::exists(QStringLiteral("/setting.dat")));
    if (!beside.isEmpty() && old != h.setting())
        QCOMPARE(readBytes(old), beside);
    Form1 again(h.seams());
    again.Form_Load();
    QCOMPARE(leftTop(again), restored);
    if (restored == saved)
        QCOMPARE(again.geometry().topLeft(), client);
}

void TestForm1::doubleClickDuringLoadIsIgnored() {
    Harness h;
    writeBytes(h.setting(), "100\r\n200\r\n");
    Form1 form(h.seams());
    HookRecorder hooks;
    hooks.onYield = [&form](int) { form.Form_DblClick(); };
    form.Form_Load();
    QVERIFY(h.exits.isEmpty());
    QCOMPARE(readBytes(h.setting()), QByteArray("100\r\n200\r\n"));
    QCOMPARE(leftTop(form), onPixels(QPoint(100, 200)));
}

void TestForm1::secondDoubleClickDuringSaveIsIgnored() {
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    form.setLeft(6000);
    form.setTop(45);
    QTRY_COMPARE(leftTop(form), QPoint(6000, 45));
    HookRecorder hooks;
    hooks.onYield = [&form](int) { form.Form_DblClick(); };
    form.Form_DblClick();
    QCOMPARE(h.exits, QList<int>{0});
    QCOMPARE(readBytes(h.setting()), QByteArray("6000\r\n45\r\n"));
}

void TestForm1::twoClocksSavingAtOnce_data() {
    QTest::addColumn<bool>("besideFails");
    QTest::newRow("beside the program") << false;
    QTest::newRow("in the per-user folder") << true;
}

// Two clocks started from the same folder, the second saving in the middle of the first's
// write: each save has its own temporary, so both succeed and the file holds one whole position.
void TestForm1::twoClocksSavingAtOnce() {
    QFETCH(bool, besideFails);
    Harness h;
    if (besideFails)
        h.makeSaveBesideFail();
    Harness second;
    Form1Seams secondSeams = h.seams();
    secondSeams.exitProcess = [&second](int status) { second.exits << status; };
    secondSeams.showSaveError = [&second](const QString& text) { second.errors << text; };
    Form1 first(h.seams()), other(std::move(secondSeams));
    first.setLeft(6000);
    first.setTop(45);
    other.setLeft(-450);
    other.setTop(-30);
    HookRecorder hooks;
    bool interrupted = false;
    // Yields 1 to 5 compact the list, 6 and 7 come before its two lines: after the first line.
    hooks.onYield = [&](int yield) {
        if (yield == 7 && !interrupted) {
            interrupted = true;
            other.Form_DblClick();
        }
    };
    first.Form_DblClick();
    QVERIFY(interrupted);
    QCOMPARE(second.exits, QList<int>{0});
    QCOMPARE(h.exits, QList<int>{0});
    QCOMPARE(h.errors + second.errors, QStringList{});
    const QString folder = besideFails ? h.perUserFolder() : h.folder.path();
    QCOMPARE(readBytes(folder + "/setting.dat"), QByteArray("6000\r\n45\r\n"));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"setting.dat"});
}

void TestForm1::moveDuringLoadKeepsHome() {
    Harness h;
    writeBytes(h.setting(), "100\r\n200\r\n");
    Form1 form(h.seams());
    HookRecorder hooks;
    hooks.onYield = [&form, &h](int) {
        form.Form_MouseMove(0, 0, 1500, 75);
        if (h.timer2->isActive())
            form.Timer2_Timer();
    };
    form.Form_Load();
    QVERIFY(!h.timer2->isActive());
    QCOMPARE(label1(form).Top(), kHome1);
    QCOMPARE(wholeSwing(form, h), 402);
    QCOMPARE(label1(form).Top(), kHome1);
}

void TestForm1::failedSaveIsReported_data() {
    QTest::addColumn<QString>("beside"); // how the save beside the program fails
    QTest::addColumn<bool>("perUserFails");
    QTest::newRow("folder named like the file, per-user folder impossible") << "folder" << true;
    QTest::newRow("program folder gone, per-user folder impossible") << "gone" << true;
    QTest::newRow("write fails half way in both places") << "interrupted" << true;
    QTest::newRow("write fails half way beside: saved per user") << "interrupted" << false;
    QTest::newRow("folder named like the file: saved per user") << "folder" << false;
}

// The user hears of a save only when it could be made nowhere, and the old file stays whole.
void TestForm1::failedSaveIsReported() {
    QFETCH(QString, beside);
    QFETCH(bool, perUserFails);
    Harness h;
    Form1Seams seams = h.seams();
    if (beside == "folder")
        h.makeSaveBesideFail();
    if (beside == "gone")
        seams.programFolder = [&h] { return native(h.folder.filePath("gone")); };
    if (beside == "interrupted")
        writeBytes(h.setting(), "100\r\n200\r\n");
    if (perUserFails)
        h.makePerUserFolderImpossible();
    Form1 form(std::move(seams));
    form.Form_Load();
    form.setLeft(6000);
    form.setTop(45);
    QTRY_COMPARE(leftTop(form), QPoint(6000, 45));
    HookRecorder hooks;
    // Each write yields seven times (compaction 3 + 2, then before each of its two lines): the
    // seventh comes after the first line is written.
    if (beside == "interrupted")
        hooks.onYield = [perUserFails](int n) {
            if (n == 7 || (perUserFails && n == 14))
                throw std::system_error(ENOSPC, std::generic_category(), "write");
        };
    form.Form_DblClick();
    if (beside == "interrupted")
        QCOMPARE(readBytes(h.setting()), QByteArray("100\r\n200\r\n"));
    QCOMPARE(QFileInfo::exists(QStringLiteral("/setting.dat")), false);
    if (!perUserFails) {
        QCOMPARE(h.errors, QStringList{});
        QCOMPARE(h.exits, QList<int>{0});
        QCOMPARE(readBytes(h.perUserSetting()), QByteArray("6000\r\n45\r\n"));
        return;
    }
    QCOMPARE(h.exits, QList<int>{1});
    QCOMPARE(h.errors.size(), 1);
    const QString& error = h.errors.front();
    QVERIFY2(error.contains(QDir::toNativeSeparators(h.perUserSetting())), qPrintable(error));
    QVERIFY2(error.contains(beside == "gone" ? QDir::toNativeSeparators(h.folder.filePath("gone"))
                                             : QDir::toNativeSeparators(h.setting())),
             qPrintable(error));
    if (beside == "interrupted")
        QVERIFY2(error.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))), qPrintable(error));
    QCOMPARE(readBytes(h.home.filePath("config")), QByteArray("not a folder"));
    QCOMPARE(QDir(h.folder.path()).entryList(QDir::Files | QDir::Hidden),
             beside == "interrupted" ? QStringList{"setting.dat"} : QStringList{});
}

void TestForm1::fullSwingTrace() {
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    QVERIFY(!h.timer2->isActive());
    form.Form_MouseMove(0, 0, 1500, 75);
    QVERIFY(h.timer2->isActive());
    const float H = kHome1, K = kHome2;
    for (int tick = 1; tick <= 402; ++tick) {
        form.Timer2_Timer();
        const float out = tick <= 201 ? 50.0f * tick : 50.0f * (402 - tick);
        QCOMPARE(label1(form).Top(), H - out);
        QCOMPARE(label2(form).Top(), K + out);
        QCOMPARE(label1(form).y(), Twips::toPixels(H - out));
        QCOMPARE(stepsFromHome(form), out / 50);
        QCOMPARE(h.timer2->isActive(), tick != 402);
        if (tick == 201) {
            QCOMPARE(label1(form).Top(), -8730.0f);
            QCOMPARE(label2(form).Top(), 12090.0f);
        }
        // Wholly outside the client area from tick 39 to 363 (upper) and 45 to 357 (lower).
        QCOMPARE(label1(form).geometry().bottom() < 0, tick >= 39 && tick <= 363);
        QCOMPARE(label2(form).geometry().top() >= 284, tick >= 45 && tick <= 357);
    }
    form.Form_MouseMove(0, 0, 1500, 75);
    form.Timer2_Timer();
    // The next swing counts its steps from the start again.
    QCOMPARE(stepsFromHome(form), 1.0f);
    QCOMPARE(label1(form).Top(), H - 50);
}

void TestForm1::movesDuringSwingNeitherRestartNorLengthen() {
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    form.Form_MouseMove(0, 0, 1500, 75);
    int ticks = 0;
    while (h.timer2->isActive() && ticks < 1000) {
        form.Timer2_Timer();
        ++ticks;
        if (ticks % 50 == 0) {
            const float away = stepsFromHome(form);
            form.Form_MouseMove(0, 0, 1500 + ticks, 75);
            QCOMPARE(stepsFromHome(form), away);
        }
    }
    QCOMPARE(ticks, 402);
    QCOMPARE(label1(form).Top(), kHome1);
    QCOMPARE(label2(form).Top(), kHome2);
}

void TestForm1::everyMovementAfterASwingStartsTheNext() {
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    QWindow* window = form.windowHandle();
    for (int swing = 0; swing < 3; ++swing) {
        // A point no other test used: Qt drops a move to the very point it saw last.
        QTest::mouseMove(window, kBandBetweenLabels + QPoint(37 + swing, 1));
        QVERIFY2(h.timer2->isActive(), qPrintable(QString::number(swing)));
        while (h.timer2->isActive())
            form.Timer2_Timer();
        QCoreApplication::processEvents();
    }
}

void TestForm1::continuousMotionSwingsAtItsOwnPace_data() {
    QTest::addColumn<int>("everyMs");
    QTest::addColumn<bool>("buttonHeld");
    QTest::newRow("hovering, a move every 8 ms") << 8 << false;
    QTest::newRow("hovering, a move every millisecond") << 1 << false;
    QTest::newRow("dragging, a move every 8 ms") << 8 << true;
}

// A real hand reports motion faster than Timer2's interval: the swing must not wait for it to
// stop, and must not run longer for it.
void TestForm1::continuousMotionSwingsAtItsOwnPace() {
    QFETCH(int, everyMs);
    QFETCH(bool, buttonHeld);
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    QWindow* window = form.windowHandle();
    if (buttonHeld)
        QTest::mousePress(window, Qt::LeftButton, {}, kBandBetweenLabels);
    int elapsed = 0;
    for (int step = 0; elapsed < 2000; ++step, elapsed += everyMs) {
        // Back and forth by a pixel: Qt drops a move to the point it saw last.
        QTest::mouseMove(window, kBandBetweenLabels + QPoint(step % 2, 0));
        h.timer2->advance(everyMs);
    }
    QCOMPARE(stepsFromHome(form), 2000.0f / 20);
    if (buttonHeld)
        QTest::mouseRelease(window, Qt::LeftButton, {}, kBandBetweenLabels);
    while (h.timer2->isActive() && elapsed < 20000) {
        h.timer2->advance(1);
        ++elapsed;
    }
    QCOMPARE(elapsed, 402 * 20);
    QCOMPARE(label1(form).Top(), kHome1);
    QCOMPARE(label2(form).Top(), kHome2);
}

void TestForm1::swingStepRepaintsOnlyTheLabels() {
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCoreApplication::processEvents();
    form.Form_MouseMove(0, 0, 1500, 75);
    for (int step = 0; step < 3; ++step) {
        const QRegion before = QRegion(label1(form).geometry()) + label2(form).geometry();
        PaintRecorder recorder;
        form.installEventFilter(&recorder);
        form.Timer2_Timer();
        QCoreApplication::processEvents();
        form.removeEventFilter(&recorder);
        const QRegion allowed = before + label1(form).geometry() + label2(form).geometry();
        QVERIFY(!recorder.painted.isEmpty());
        QCOMPARE(recorder.painted - allowed, QRegion());
    }
}

void TestForm1::changedRectCoversEveryChangedPixel_data() {
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("changedCharacters"); // the rectangle is no wider than these take
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
    QTest::newRow("the date at midnight") << 32 << "12/08/26 Tue"
                                          << "12/09/26 Wed" << 10;
    QTest::newRow("no change") << 59 << "08:05:41"
                               << "08:05:41" << 0;
}

void TestForm1::changedRectCoversEveryChangedPixel() {
    QFETCH(int, pixelSize);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(int, changedCharacters);
    QWidget parent;
    ClockLabel label(before, 720, 2040, 3255, 1095, &parent);
    label.setFont(FaceFont::font(pixelSize));
    const auto draw = [&label](const QString& text) {
        label.QLabel::setText(text);
        QImage image(label.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        label.render(&image);
        return image;
    };
    const QImage old = draw(before), now = draw(after);
    // The label draws its text exactly as QLabel would.
    QLabel plain(after, &parent);
    plain.setGeometry(label.geometry());
    plain.setFont(label.font());
    plain.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QImage plainImage(label.size(), QImage::Format_RGB32);
    plainImage.fill(Qt::white);
    plain.render(&plainImage);
    QCOMPARE(now, plainImage);
    const QRect changed =
        ClockLabel::changedRect(label.font(), before, after, label.contentsRect(), &label);
    int differing = 0;
    for (int y = 0; y < old.height(); ++y)
        for (int x = 0; x < old.width(); ++x)
            if (old.pixel(x, y) != now.pixel(x, y)) {
                ++differing;
                QVERIFY2(changed.contains(x, y),
                         qPrintable(QStringLiteral("(%1, %2) outside").arg(x).arg(y)));
            }
    QCOMPARE(differing > 0, before != after);
    // Only the changed characters, plus a few pixels of reach.
    const QFontMetrics metrics(label.font());
    const int tail = std::max(metrics.horizontalAdvance(before.right(changedCharacters)),
                              metrics.horizontalAdvance(after.right(changedCharacters)));
    QVERIFY2(changed.width() <= tail + metrics.averageCharWidth() / 2 + 4,
             qPrintable(QStringLiteral("%1 wide for %2").arg(changed.width()).arg(tail)));
}

void TestForm1::tickRepaintsOnlyWhatChanged_data() {
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
                                << "2026年12月08日 Tue"
                                << "08時05分42秒" << 4 << "";
        *row("ten minutes in a face of tabular digits, their pixels kept")
            << "C" << window << minute << qint64(1000) << "12/08/26 Tue"
            << "08:06:00" << 2 << "ten minutes, tabular digits";
        *row("ja_JP, ten minutes, second by second")
            << "ja_JP.UTF-8" << window << minute << qint64(1000) << "2026年12月08日 Tue"
            << "08時06分00秒" << 2 << "ten minutes";
        *row("ja_JP, a minute, then an expose")
            << "ja_JP.UTF-8" << window << minute << qint64(1000) << "2026年12月08日 Tue"
            << "08時06分00秒" << 2 << "expose";
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

void TestForm1::tickRepaintsOnlyWhatChanged() {
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
    if (then == "pixel ratio" && (QGuiApplication::screens().size() < 2 ||
                                  QGuiApplication::screens().at(0)->devicePixelRatio() ==
                                      QGuiApplication::screens().at(1)->devicePixelRatio()))
        QSKIP("needs two screens of different pixel ratios (tst_form1_two_screens)");
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
        label2(reference).drawFromImages(false);
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
        for (int tick = 1; tick <= 600; ++tick) {
            h.now += seconds(1);
            lockstep.now = h.now;
            form.Timer1_Timer();
            reference.Timer1_Timer();
            QCoreApplication::processEvents();
            QCOMPARE(label2(form).text(), label2(reference).text());
            QVERIFY2(onScreen(form, h.digits, box) == onScreen(reference, nullptr, box),
                     qPrintable(label1(form).text() + ' ' + label2(form).text()));
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
    label2(reference).drawFromImages(false);
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

void TestForm1::anyButtonDrags_data() {
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left") << Qt::LeftButton;
    QTest::newRow("right") << Qt::RightButton;
    QTest::newRow("middle") << Qt::MiddleButton;
}

void TestForm1::anyButtonDrags() {
    QFETCH(Qt::MouseButton, button);
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    QWindow* window = form.windowHandle();
    const QPoint start = form.pos();
    const float left = form.Left(), top = form.Top();
    const QPoint client = form.geometry().topLeft();
    QTest::mousePress(window, button, {}, kBandBetweenLabels);
    QTest::mouseMove(window, kBandBetweenLabels + QPoint(40, 30));
    // From the very first move, frame and client area both go exactly with the pointer.
    QCOMPARE(form.pos(), start + QPoint(40, 30));
    QCOMPARE(form.geometry().topLeft(), client + QPoint(40, 30));
    QCOMPARE(form.Left(), left + 600);
    QCOMPARE(form.Top(), top + 450);
    // The grip point stays under the pointer as the drag goes on.
    QTest::mouseMove(window, kBandBetweenLabels + QPoint(-10, 5));
    QCOMPARE(form.pos(), start + QPoint(30, 35));
    // After the move the pointer is back over the grip point, relative to the window.
    QTest::mouseRelease(window, button, {}, kBandBetweenLabels);
    QTest::mouseMove(window, kBandBetweenLabels + QPoint(20, 20));
    QCOMPARE(form.pos(), start + QPoint(30, 35));
}

void TestForm1::releasingOneOfTwoButtonsEndsDrag() {
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    QWindow* window = form.windowHandle();
    QTest::mousePress(window, Qt::LeftButton, {}, kBandBetweenLabels);
    QTest::mousePress(window, Qt::RightButton, {}, kBandBetweenLabels);
    QTest::mouseRelease(window, Qt::RightButton, {}, kBandBetweenLabels);
    QVERIFY(!moveDragsWindow(form, kBandBetweenLabels + QPoint(10, 10)));
    QTest::mouseRelease(window, Qt::LeftButton, {}, kBandBetweenLabels + QPoint(10, 10));
}

void TestForm1::secondPressRegrips() {
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    const float left = form.Left(), top = form.Top();
    form.Form_MouseDown(1, 0, 1500, 1965);
    form.Form_MouseDown(2, 0, 3000, 1965); // a second button, further right
    form.Form_MouseMove(1, 0, 3150, 2115);
    QTRY_COMPARE(form.Left(), left + 150);
    QTRY_COMPARE(form.Top(), top + 150);
}

void TestForm1::dragDuringSwing() {
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    form.Form_MouseMove(0, 0, 1500, 1965);
    for (int i = 0; i < 10; ++i)
        form.Timer2_Timer();
    const float left = form.Left(), top = form.Top();
    form.Form_MouseDown(1, 0, 1500, 1965);
    form.Form_MouseMove(1, 0, 2100, 2415);
    QTRY_COMPARE(form.Left(), left + 600);
    QTRY_COMPARE(form.Top(), top + 450);
    QCOMPARE(stepsFromHome(form), 10.0f);
    form.Timer2_Timer();
    QCOMPARE(label1(form).Top(), kHome1 - 550);
    // The drag left the swing's count alone: the swing still ends after its 402 steps.
    int steps = 11;
    for (; h.timer2->isActive() && steps < 1000; ++steps)
        form.Timer2_Timer();
    QCOMPARE(steps, 402);
    QCOMPARE(label1(form).Top(), kHome1);
}

void TestForm1::dragIgnoresStaleWindowRelativePoints() {
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    const QPoint start = form.pos();
    const QPoint client = form.geometry().topLeft();
    const auto send = [&form](QEvent::Type type, QPointF global, Qt::MouseButtons buttons) {
        // The window-relative point is what a lagging X server would report: deliberately wrong.
        QMouseEvent event(type, QPointF(-999, -999), global, global,
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, {});
        QApplication::sendEvent(&form, &event);
    };
    send(QEvent::MouseButtonPress, client + QPointF(100, 132), Qt::LeftButton);
    for (int step = 1; step <= 20; ++step)
        send(QEvent::MouseMove, client + QPointF(100 + 2 * step, 132 + step), Qt::LeftButton);
    QTRY_COMPARE(form.pos(), start + QPoint(40, 20));
}

void TestForm1::closeSavesNothing() {
    Harness h;
    Form1 form(h.seams());
    form.Form_Load();
    form.setLeft(150);
    form.close();
    QVERIFY(!QFileInfo::exists(h.setting()));
    QVERIFY(h.exits.isEmpty());
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
