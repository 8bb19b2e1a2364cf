// A floor of bench/run.sh, "Qt paints a tile": each second Qt repaints one 32 x 60 rectangle
// from one of ten digit tiles drawn with text at start, through Qt's paint path as the clock's
// Qt-painted second goes. Also the memory floor of a Qt window that has drawn text.
#include "floor.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

namespace {

class TileWindow : public QWidget {
public:
    TileWindow() : m_strip(QPixmap::fromImage(Floor::digitStrip())) {
        setFixedSize(Floor::kWindowSide, Floor::kWindowSide);
    }
    void tick() {
        m_digit = (m_digit + 1) % 10;
        update(Floor::kTile);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawPixmap(
            Floor::kTile.topLeft(), m_strip,
            QRect(m_digit * Floor::kTile.width(), 0, Floor::kTile.width(), Floor::kTile.height()));
    }

private:
    QPixmap m_strip;
    int m_digit = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    Floor::runLikeTheClock();
    QApplication app(argc, argv);
    TileWindow window;
    window.show();
    QTimer second;
    QObject::connect(&second, &QTimer::timeout, &window, &TileWindow::tick);
    second.start(1000);
    return QApplication::exec();
}
