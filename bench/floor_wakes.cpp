// A floor of bench/run.sh, "Qt wakes": a window of the clock's size that wakes once a second
// and does nothing.
#include "floor.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char* argv[]) {
    Floor::runLikeTheClock();
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(Floor::kWindowSide, Floor::kWindowSide);
    window.show();
    QTimer second;
    QObject::connect(&second, &QTimer::timeout, [] {});
    second.start(1000);
    return QApplication::exec();
}
