#include "form1.h"
#include "form1_harness.h"
#include "real_seams.h"
#include "test_support.h"
#include "twips.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <QWindow>

#include <cerrno>
#include <cstring>
#include <system_error>

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

// Where the window starts, and the position a double-click saves for the next start.
class TestForm1Position : public QObject {
    Q_OBJECT
private slots:
    void settingFileBesideTheProgram();
    void load_data();
    void load();
    void unreadableFileStillStarts();
    void doubleClickSavesAndRestartRestores_data();
    void doubleClickSavesAndRestartRestores();
    void doubleClickDuringLoadIsIgnored();
    void secondDoubleClickDuringSaveIsIgnored();
    void twoClocksSavingAtOnce_data();
    void twoClocksSavingAtOnce();
    void failedSaveIsReported_data();
    void failedSaveIsReported();
};

// Qt names the program's folder with forward slashes; the path must reach the file routines
// and the messages with the platform's own separator throughout.
void TestForm1Position::settingFileBesideTheProgram() {
    QCOMPARE(QString::fromStdString(realSeams().programFolder()),
             QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
}

void TestForm1Position::load_data() {
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

void TestForm1Position::load() {
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

void TestForm1Position::unreadableFileStillStarts() {
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

void TestForm1Position::doubleClickSavesAndRestartRestores_data() {
    QTest::addColumn<QPoint>("position");       // twips, set as Left and Top
    QTest::addColumn<QString>("movedBy");       // the program, the window manager, or no one
    QTest::addColumn<QString>("programFolder"); // inside the harness's folder
    // writable; save beside fails; variant beside (the old file is SETTING.DAT); program folder
    // unknown; overlong per-user folder; native Wayland (the compositor places the window)
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QByteArray>("beside"); // a file already beside the program, if not empty
    QTest::addColumn<QString>("savedTo");   // beside, per-user, or nothing
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
    // The window's place is the compositor's and unknown to the program: a drag is handed to
    // the compositor, the double-click ends the clock and the file keeps the last known place.
    QTest::newRow("native Wayland: nothing saved, nothing applied")
        << odd << "program" << QString() << "native Wayland" << QByteArray("1500\r\n3000\r\n")
        << "nothing" << oddOnPixels << designFrame;
}

void TestForm1Position::doubleClickSavesAndRestartRestores() {
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
    h.windowPlaceable = situation != "native Wayland";
    QVERIFY(QDir().mkpath(h.programFolder()));
    // An old file beside the program, copied from a stick as SETTING.DAT, or beside a folder
    // that takes the name setting.dat where the save would go.
    const QString old = situation == "writable" || situation == "native Wayland"
                            ? h.setting()
                            : h.programFolder() + QStringLiteral("/SETTING.DAT");
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
        if (!h.windowPlaceable) {
            QTest::mousePress(form.windowHandle(), Qt::LeftButton, {}, kBandBetweenLabels);
            QVERIFY(!moveDragsWindow(form, kBandBetweenLabels + QPoint(40, 30)));
            QTest::mouseRelease(form.windowHandle(), Qt::LeftButton, {},
                                kBandBetweenLabels + QPoint(40, 30));
        }
        form.Form_DblClick();
        QCOMPARE(h.errors, QStringList{});
        QCOMPARE(h.exits, QList<int>{0});
        QVERIFY(!form.isVisible());
        QVERIFY(!h.timer1->isActive());
    }
    const QByteArray written =
        QByteArray::number(saved.x()) + "\r\n" + QByteArray::number(saved.y()) + "\r\n";
    if (savedTo == "nothing") {
        QCOMPARE(readBytes(h.setting()), beside);
        QVERIFY(!QFileInfo::exists(h.perUserFolder()));
    } else if (savedTo == "beside") {
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

void TestForm1Position::doubleClickDuringLoadIsIgnored() {
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

void TestForm1Position::secondDoubleClickDuringSaveIsIgnored() {
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

void TestForm1Position::twoClocksSavingAtOnce_data() {
    QTest::addColumn<bool>("besideFails");
    QTest::newRow("beside the program") << false;
    QTest::newRow("in the per-user folder") << true;
}

// Two clocks started from the same folder, the second saving in the middle of the first's
// write: each save has its own temporary, so both succeed and the file holds one whole position.
void TestForm1Position::twoClocksSavingAtOnce() {
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

void TestForm1Position::failedSaveIsReported_data() {
    QTest::addColumn<QString>("beside"); // how the save beside the program fails
    QTest::addColumn<bool>("perUserFails");
    QTest::newRow("folder named like the file, per-user folder impossible") << "folder" << true;
    QTest::newRow("program folder gone, per-user folder impossible") << "gone" << true;
    QTest::newRow("write fails half way in both places") << "interrupted" << true;
    QTest::newRow("write fails half way beside: saved per user") << "interrupted" << false;
    QTest::newRow("folder named like the file: saved per user") << "folder" << false;
}

// The user hears of a save only when it could be made nowhere, and the old file stays whole.
void TestForm1Position::failedSaveIsReported() {
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

QTEST_MAIN(TestForm1Position)
#include "tst_form1_position.moc"
