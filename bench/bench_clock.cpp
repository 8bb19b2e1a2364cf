// In-process figures of the clock window on the offscreen platform, through the same seams
// the tests use:
//   bench_clock ticks N     N face refreshes back to back, painted by Qt (run under callgrind)
//   bench_clock digit-ticks N   the same, the time composited for a digit window as on X11
//   bench_clock lag N       N real ticks; prints how long after each turn of the second the
//                           time label was painted, in milliseconds
//   bench_clock swing N     N real swings; prints the wall time and CPU share of each
#include "clock_label.h"
#include "design_layout.h"
#include "form1.h"
#include "native_digits.h"
#include "qt_ui_hooks.h"
#include "real_seams.h"
#include "ticker.h"

#include <QApplication>
#include <QElapsedTimer>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace std::chrono;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Form1Seams benchSeams() {
    Form1Seams seams = realSeams();
    seams.programFolder = [] { return std::string("/nonexistent-folder"); };
    seams.exitProcess = [](int) {};
    return seams;
}

// Keeps what is put into it, as the X server keeps the digit window's pixels.
class MemoryDigits : public NativeDigits {
public:
    explicit MemoryDigits(const QRect& rect) : m_pixels(rect.size(), QImage::Format_RGB32) {}
    void put(const QImage& pixels, const QPoint& at) override {
        for (int y = 0; y < pixels.height(); ++y)
            std::memcpy(m_pixels.scanLine(at.y() + y) + at.x() * 4, pixels.constScanLine(y),
                        static_cast<std::size_t>(pixels.width()) * 4);
    }
    Kept keep(const QImage& pixels) override {
        m_kept.push_back(pixels);
        return static_cast<Kept>(m_kept.size() - 1);
    }
    void showKept(Kept kept, const QPoint& at) override { put(m_kept[kept], at); }
    void drop(Kept) override {}
    void setVisible(bool visible) override { m_visible = visible; }
    bool isVisible() const override { return m_visible; }

private:
    QImage m_pixels;
    std::vector<QImage> m_kept;
    bool m_visible = false;
};

int ticks(int n, bool digitWindow) {
    // A new second at every refresh, so each one changes the text and repaints as a real tick does.
    auto now = system_clock::now();
    Form1Seams seams = benchSeams();
    seams.clock = [&now] { return now += seconds(1); };
    if (digitWindow)
        seams.digitWindow = [](WId, const QRect& rect, NativeDigits::Exposed exposed) {
            auto window = std::make_unique<MemoryDigits>(rect);
            QMetaObject::invokeMethod(qApp, std::move(exposed), Qt::QueuedConnection);
            return window;
        };
    Form1 form(seams);
    form.Form_Load();
    QCoreApplication::processEvents();
    for (int i = 0; i < n; ++i) {
        form.Timer1_Timer();
        QCoreApplication::processEvents(); // the repaint the tick asks for
    }
    return 0;
}

// Reads the system clock whenever the time label is first painted with a new text: the moment
// the face shows the new second, whatever the ticker and the refresh do in between. Paints of
// a text already shown (the label's own images being made) are not ticks.
class PaintClock : public QObject {
public:
    explicit PaintClock(int n) : m_left(n) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QString shown = static_cast<ClockLabel*>(watched)->text();
        if (event->type() == QEvent::Paint && shown != m_shown) {
            m_shown = shown;
            const auto into =
                duration_cast<microseconds>(system_clock::now().time_since_epoch()) % seconds(1);
            // The first paint is the start-up's, not a tick's.
            if (m_seen++ > 0) {
                std::printf("%.3f\n", into.count() / 1000.0);
                std::fflush(stdout);
                if (--m_left == 0)
                    QCoreApplication::quit();
            }
        }
        return false;
    }

private:
    int m_left;
    int m_seen = 0;
    QString m_shown;
};

int lag(int n) {
    Form1 form(benchSeams());
    PaintClock clock(n);
    form.findChild<ClockLabel*>(QStringLiteral("Label2"))->installEventFilter(&clock);
    form.Form_Load();
    return QApplication::exec();
}

int swing(int n) {
    // Timer2 as the program makes it, held here to see when a swing ends.
    Ticker* timer2 = nullptr;
    Form1Seams seams = benchSeams();
    seams.timer2 = [&timer2] {
        auto ticker = std::make_unique<IntervalTicker>(DesignLayout::kTimer2IntervalMs);
        timer2 = ticker.get();
        return ticker;
    };
    Form1 form(seams);
    form.Form_Load();
    for (int i = 0; i < n; ++i) {
        QElapsedTimer wall;
        const double cpu0 = cpuSeconds();
        wall.start();
        form.Form_MouseMove(0, 0, 1500, 1965);
        while (timer2->isActive())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double seconds = wall.nsecsElapsed() / 1e9;
        std::printf("%.4f %.4f\n", seconds, (cpuSeconds() - cpu0) / seconds);
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installQtUiHooks();
    const std::string mode = argc > 1 ? argv[1] : "";
    const int n = argc > 2 ? std::atoi(argv[2]) : 0;
    if (mode == "ticks")
        return ticks(n, false);
    if (mode == "digit-ticks")
        return ticks(n, true);
    if (mode == "lag")
        return lag(n);
    if (mode == "swing")
        return swing(n);
    std::fprintf(stderr, "usage: %s ticks N | digit-ticks N | lag N | swing N\n", argv[0]);
    return 2;
}
