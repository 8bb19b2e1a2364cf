#pragma once

// What the clock window's test programs share: a window on seams the test holds, the points of
// its client area, and the ways a test watches it.

#include "clock_label.h"
#include "form1.h"
#include "native_digits.h"
#include "stepped_ticker.h"
#include "test_support.h"

#include <QDir>
#include <QEvent>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPaintEvent>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

// Label1's and Label2's Top at rest, in twips.
inline constexpr float kHome1 = 1320, kHome2 = 2040;

inline std::chrono::system_clock::time_point tuesdayMorning() {
    using namespace std::chrono;
    return sys_days{year{2026} / December / 8} + hours{8} + minutes{5} + seconds{41} +
           milliseconds{400};
}

// A native window for the time label's digits that keeps what is put into it as an image.
class FakeDigits : public NativeDigits {
public:
    FakeDigits(const QRect& rect, Exposed exposed)
        : rect(rect), screen(rect.size(), QImage::Format_RGB32), m_exposed(std::move(exposed)) {
        exposeSoon();
    }
    void put(const QImage& pixels, const QPoint& at) override {
        show(pixels, at);
        sent += pixels.width() * pixels.height();
    }
    Kept keep(const QImage& pixels) override {
        kept[++m_lastKept] = pixels;
        sent += pixels.width() * pixels.height();
        return m_lastKept;
    }
    void showKept(Kept id, const QPoint& at) override { show(kept.at(id), at); }
    void drop(Kept id) override { kept.erase(id); }
    // As a display does, it asks for all its pixels once it is mapped.
    void setVisible(bool visible) override {
        if (visible && !m_visible)
            exposeSoon();
        m_visible = visible;
    }
    bool isVisible() const override { return m_visible; }
    // The display lost the pixels, as when another window covered this one.
    void expose() {
        screen.fill(Qt::magenta);
        m_exposed();
    }

    QRect rect; // device pixels of the clock window
    QImage screen;
    QRegion puts; // where pixels went on the screen, sent or kept
    int sent = 0; // pixels that went to the display
    std::map<Kept, QImage> kept;

private:
    void show(const QImage& pixels, const QPoint& at) {
        QPainter painter(&screen);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QRect(at, pixels.size()), pixels, pixels.rect());
        puts += QRect(at, pixels.size());
    }

    void exposeSoon() {
        screen.fill(Qt::magenta);
        QTimer::singleShot(0, &m_context, [this] { expose(); });
    }

    Exposed m_exposed;
    Kept m_lastKept = 0;
    bool m_visible = true;
    QObject m_context;
};

// A program folder, a per-user folder, a fixed clock, one screen, and an exit that only takes
// notes.
struct Harness {
    QTemporaryDir folder;
    QTemporaryDir home;
    QString programSubfolder; // the program's folder inside `folder`, if not `folder` itself
    bool programKnown = true;
    bool overlongPerUser = false; // a per-user folder past what the path routines address
    bool windowPlaceable = true;  // false: the compositor places windows (native Wayland)
    std::chrono::system_clock::time_point now = tuesdayMorning();
    QList<QRect> screens{QRect(0, 0, 1920, 1080)};
    QStringList errors;
    QList<int> exits;
    std::string locale = "C";
    SteppedTicker* timer1 = nullptr;
    SteppedTicker* timer2 = nullptr;
    bool digitWindow = false; // the time label's digits in a native window of their own
    FakeDigits* digits = nullptr;

    Form1Seams seams() {
        Form1Seams s;
        s.clock = [this] { return now; };
        s.timeLocale = locale;
        s.programFolder = [this] { return programKnown ? native(programFolder()) : std::string(); };
        s.perUserFolder = [this] {
            return overlongPerUser ? std::string(40000, 'x') + "//Velomire -KORUVA!-"
                                   : native(perUserFolder());
        };
        s.screenRects = [this] { return screens; };
        s.windowPlaceable = [this] { return windowPlaceable; };
        s.showSaveError = [this](const QString& text) { errors << text; };
        s.exitProcess = [this](int status) { exits << status; };
        s.timer1 = SteppedTicker::factory(1000, timer1);
        s.timer2 = SteppedTicker::factory(20, timer2);
        if (digitWindow)
            s.digitWindow = [this](WId, const QRect& rect, NativeDigits::Exposed exposed) {
                auto window = std::make_unique<FakeDigits>(rect, std::move(exposed));
                digits = window.get();
                return window;
            };
        return s;
    }
    QString programFolder() const { return folder.filePath(programSubfolder); }
    QString setting() const { return programFolder() + "/setting.dat"; }
    QString perUserFolder() const { return home.filePath("config/Velomire -KORUVA!-"); }
    QString perUserSetting() const { return perUserFolder() + "/setting.dat"; }
    // A folder where setting.dat should go: no save can be made beside the program.
    void makeSaveBesideFail() {
        if (!QDir(programFolder()).mkpath("setting.dat"))
            qFatal("cannot make %s", qPrintable(setting()));
    }
    // A file where the per-user folder's parent should be: no one can create it, not even root.
    void makePerUserFolderImpossible() { writeBytes(home.filePath("config"), "not a folder"); }
};

// The window's labels, found by the names they carry.
inline ClockLabel& label1(const Form1& form) {
    auto* label = form.findChild<ClockLabel*>(QStringLiteral("Label1"));
    if (!label)
        qFatal("the window has no Label1");
    return *label;
}

inline ClockLabel& label2(const Form1& form) {
    auto* label = form.findChild<ClockLabel*>(QStringLiteral("Label2"));
    if (!label)
        qFatal("the window has no Label2");
    return *label;
}

// How far out a swing has taken Label1, in swing steps of 50 twips: the swing's step count on
// its way out, the steps still to go on its way back.
inline float stepsFromHome(const Form1& form) {
    return (kHome1 - label1(form).Top()) / 50;
}

// Starts a swing as a move over the window does and lets Timer2 run until the swing ends: the
// steps it took, or 1000 if it did not end by then. Label1 then stands where the swing ends,
// the home Form_Load recorded.
inline int wholeSwing(Form1& form, Harness& h) {
    form.Form_MouseMove(0, 0, 1500, 75);
    int steps = 0;
    for (; h.timer2->isActive() && steps < 1000; ++steps)
        h.timer2->advance(20);
    return steps;
}

// Whether moving the pointer to `to` (client pixels) takes the window along: a drag under way.
inline bool moveDragsWindow(Form1& form, const QPoint& to) {
    const QPoint before = form.pos();
    QTest::mouseMove(form.windowHandle(), to);
    return form.pos() != before;
}

// Collects what the window is asked to repaint.
class PaintRecorder : public QObject {
public:
    QRegion painted;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

// Points of the client area, in pixels, by what lies there at rest.
inline const QPoint kBandBetweenLabels(100, 132);
inline const QPoint kPictureCorner(5, 5);
inline const QPoint kLabel1Text(40, 100);
inline const QPoint kLabel1BoxNoText(265, 120);
inline const QPoint kLabel2Text(60, 170);
