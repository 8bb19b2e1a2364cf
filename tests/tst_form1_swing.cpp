#include "form1.h"
#include "form1_harness.h"
#include "test_support.h"
#include "twips.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWindow>

// The labels' swing on Timer2, and the window dragged by the pointer, during a swing too.
class TestForm1Swing : public QObject {
    Q_OBJECT
private slots:
    void moveDuringLoadKeepsHome();
    void fullSwingTrace();
    void movesDuringSwingNeitherRestartNorLengthen();
    void everyMovementAfterASwingStartsTheNext();
    void continuousMotionSwingsAtItsOwnPace_data();
    void continuousMotionSwingsAtItsOwnPace();
    void swingStepRepaintsOnlyTheLabels();
    void anyButtonDrags_data();
    void anyButtonDrags();
    void releasingOneOfTwoButtonsEndsDrag();
    void secondPressRegrips();
    void dragDuringSwing();
    void dragIgnoresStaleWindowRelativePoints();
};

void TestForm1Swing::moveDuringLoadKeepsHome() {
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

void TestForm1Swing::fullSwingTrace() {
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

void TestForm1Swing::movesDuringSwingNeitherRestartNorLengthen() {
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

void TestForm1Swing::everyMovementAfterASwingStartsTheNext() {
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

void TestForm1Swing::continuousMotionSwingsAtItsOwnPace_data() {
    QTest::addColumn<int>("everyMs");
    QTest::addColumn<bool>("buttonHeld");
    QTest::newRow("hovering, a move every 8 ms") << 8 << false;
    QTest::newRow("hovering, a move every millisecond") << 1 << false;
    QTest::newRow("dragging, a move every 8 ms") << 8 << true;
}

// A real hand reports motion faster than Timer2's interval: the swing must not wait for it to
// stop, and must not run longer for it.
void TestForm1Swing::continuousMotionSwingsAtItsOwnPace() {
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

void TestForm1Swing::swingStepRepaintsOnlyTheLabels() {
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

void TestForm1Swing::anyButtonDrags_data() {
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left") << Qt::LeftButton;
    QTest::newRow("right") << Qt::RightButton;
    QTest::newRow("middle") << Qt::MiddleButton;
}

void TestForm1Swing::anyButtonDrags() {
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

void TestForm1Swing::releasingOneOfTwoButtonsEndsDrag() {
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

void TestForm1Swing::secondPressRegrips() {
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

void TestForm1Swing::dragDuringSwing() {
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

void TestForm1Swing::dragIgnoresStaleWindowRelativePoints() {
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

QTEST_MAIN(TestForm1Swing)
#include "tst_form1_swing.moc"
