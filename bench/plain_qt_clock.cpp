// A peer of bench/run.sh, "a plain Qt clock": the date and the time in two QLabels, set each
// second, as a Qt program written without care for its idle cost is; Qt's defaults (GLib's
// event loop, MIT-SHM) left as they are.
#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(284, 284);
    auto* date = new QLabel;
    auto* time = new QLabel;
    QFont font;
    font.setPixelSize(30);
    date->setFont(font);
    time->setFont(font);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(date, 0, Qt::AlignCenter);
    layout->addWidget(time, 0, Qt::AlignCenter);
    const QLocale locale;
    const auto tick = [&] {
        const QDateTime now = QDateTime::currentDateTime();
        date->setText(locale.toString(now.date(), QLocale::ShortFormat) + ' ' +
                      locale.dayName(now.date().dayOfWeek(), QLocale::ShortFormat));
        time->setText(locale.toString(now.time(), QLocale::LongFormat));
    };
    tick();
    window.show();
    QTimer second;
    QObject::connect(&second, &QTimer::timeout, tick);
    second.start(1000);
    return QApplication::exec();
}
