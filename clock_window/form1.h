#pragma once

#include "native_digits.h"
#include "regional_clock.h"
#include "ticker.h"

#include <QList>
#include <QPixmap>
#include <QRect>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class ClockLabel;
class WindowPlace;

// What the window reaches outside itself: the program gives the real ones (realSeams()),
// tests their own.
struct Form1Seams {
    std::function<std::chrono::system_clock::time_point()> clock;
    std::string timeLocale; // empty: the user's regional settings
    // Where setting.dat may live; empty when the platform cannot name the folder.
    std::function<std::string()> programFolder;
    std::function<std::string()> perUserFolder;
    std::function<QList<QRect>()> screenRects;
    // Whether the platform lets a program place its own window: not native Wayland, where the
    // compositor alone does. Left empty, it does.
    std::function<bool()> windowPlaceable;
    std::function<void(const QString& text)> showSaveError;
    std::function<void(int status)> exitProcess;
    // Timer1 and Timer2; left empty, the window makes real ones.
    std::function<std::unique_ptr<Ticker>()> timer1;
    std::function<std::unique_ptr<Ticker>()> timer2;
    // A native window for the time label's digits; left empty, they are drawn through Qt.
    NativeDigits::Factory digitWindow;
};

// The clock window. Qt's event overrides only translate their events and call the event
// procedures below.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(Form1Seams seams, QWidget* parent = nullptr);
    ~Form1() override;

    void Form_Load();
    void Form_DblClick();
    void Form_MouseDown(std::int16_t button, std::int16_t shift, float x, float y);
    void Form_MouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    void Form_MouseUp(std::int16_t button, std::int16_t shift, float x, float y);
    void Timer1_Timer();
    void Timer2_Timer();

    // The whole window's screen position, frame included, in twips, where the platform last
    // reported it (WindowPlace).
    float Left() const;
    float Top() const;
    void setLeft(float twips);
    void setTop(float twips);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void ShowClock();
    QPointF windowTwips(const QMouseEvent* event) const;
    void endProgram(int status);
    bool windowPlaceable() const;

    Form1Seams m_seams;
    RegionalClock m_regional;
    QPixmap m_face;      // the picture as the program carries it
    QPixmap m_sharpFace; // drawn again at the screen's pixel ratio, where that is not 1
    WindowPlace* m_place;

    ClockLabel* Label1;
    ClockLabel* Label2;
    Ticker* Timer1;
    Ticker* Timer2;

    float DragX = 0;
    float DragY = 0;
    std::int16_t Dragging = 0;
    std::int16_t HomeTop1 = 0;
    std::int16_t SwingCount = 0;

    // Events run inside the line-file routines' yields; these keep them from starting a swing
    // before its home is recorded, or a second write of the same file.
    bool m_loading = false;
    bool m_saving = false;
    bool m_ended = false;
};
