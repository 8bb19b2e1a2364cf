// In-process figures of the clock window on the offscreen platform, through the same seams
// the tests use:
//   bench_clock ticks N     N face refreshes back to back (run under callgrind)
//   bench_clock lag N       N real ticks; prints how long after each turn of the second the
//                           face showed the new second, in milliseconds
//   bench_clock swing N     N real swings; prints the wall time and CPU share of each
//   bench_clock soak        a day of ticks and a thousand swings in fast time; prints RSS
#include "clock_label.h"
#include "form1.h"
#include "qt_ui_hooks.h"

#include <QApplication>
#include <QElapsedTimer>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/resource.h>

using namespace std::chrono;

namespace {

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

Form1Seams benchSeams() {
    Form1Seams seams = Form1Seams::real();
    seams.programFolder = [] { return std::string("/nonexistent-folder"); };
    seams.exitProcess = [](int) {};
    return seams;
}

int ticks(int n) {
    // A new second at every refresh, so each one changes the text and repaints as a real tick does.
    auto now = system_clock::now();
    Form1Seams seams = benchSeams();
    seams.clock = [&now] { return now += seconds(1); };
    Form1 form(seams);
    form.Form_Load();
    QCoreApplication::processEvents();
    for (int i = 0; i < n; ++i) {
        form.Timer1_Timer();
        QCoreApplication::processEvents(); // the repaint the tick asks for
    }
    return 0;
}

int lag(int n) {
    int readings = 0, shown = 0;
    Form1Seams seams = benchSeams();
    // The clock is read when the ticker arms itself and when the face is refreshed, in that
    // order at every tick, after one arming and one refresh at start-up. The refresh's reading
    // is the moment the face takes its second from.
    seams.clock = [&readings, &shown, n] {
        const auto now = system_clock::now();
        ++readings;
        if (readings > 2 && readings % 2 == 0) {
            const auto into = duration_cast<microseconds>(now.time_since_epoch()) % seconds(1);
            std::printf("%.3f\n", into.count() / 1000.0);
            if (++shown == n)
                QCoreApplication::quit();
        }
        return now;
    };
    Form1 form(seams);
    form.Form_Load();
    return QApplication::exec();
}

int swing(int n) {
    Form1 form(benchSeams());
    form.Form_Load();
    for (int i = 0; i < n; ++i) {
        QElapsedTimer wall;
        const double cpu0 = cpuSeconds();
        wall.start();
        form.Form_MouseMove(0, 0, 1500, 1965);
        while (form.timer2Enabled())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double seconds = wall.nsecsElapsed() / 1e9;
        std::printf("%.4f %.4f\n", seconds, (cpuSeconds() - cpu0) / seconds);
    }
    return 0;
}

int soak() {
    auto now = system_clock::now();
    Form1Seams seams = benchSeams();
    seams.clock = [&now] { return now; };
    Form1 form(seams);
    form.Form_Load();
    const float home1 = form.label1().Top(), home2 = form.label2().Top();
    long rssAfterWarmUp = 0;
    for (int swingNo = 0; swingNo < 1000; ++swingNo) {
        form.Form_MouseMove(0, 0, 1500, 1965);
        int steps = 0;
        while (form.timer2Enabled()) {
            form.Timer2_Timer();
            if (++steps % 50 == 0)
                QCoreApplication::processEvents();
        }
        if (form.label1().Top() != home1 || form.label2().Top() != home2 || steps != 402) {
            std::printf("swing %d ended away from home after %d steps\n", swingNo, steps);
            return 1;
        }
        // 86.4 ticks per swing make a day of ticks over the thousand swings.
        for (int t = 0; t < 87; ++t) {
            now += seconds(1);
            form.Timer1_Timer();
        }
        QCoreApplication::processEvents();
        if (swingNo == 49)
            rssAfterWarmUp = residentKb();
    }
    std::printf("rss_kb_after_50_swings %ld\nrss_kb_after_1000_swings %ld\n", rssAfterWarmUp,
                residentKb());
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
        return ticks(n);
    if (mode == "lag")
        return lag(n);
    if (mode == "swing")
        return swing(n);
    if (mode == "soak")
        return soak();
    std::fprintf(stderr, "usage: %s ticks N | lag N | swing N | soak\n", argv[0]);
    return 2;
}
