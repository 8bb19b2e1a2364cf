#include "form1.h"

#include "clock_label.h"
#include "design_layout.h"
#include "face_accessible.h"
#include "face_fit.h"
#include "position_file.h"
#include "second_ticker.h"
#include "setting_location.h"
#include "twips.h"
#include "window_place.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>

#include <tuple>
#include <utility>

namespace {

using namespace DesignLayout;

constexpr float kSwingStep = 50;
constexpr std::int16_t kSwingTurn = 200;
constexpr std::int16_t kTrue = -1;
constexpr std::int16_t kFalse = 0;

std::int16_t buttonCode(Qt::MouseButtons buttons) {
    return static_cast<std::int16_t>(((buttons & Qt::LeftButton) ? 1 : 0) |
                                     ((buttons & Qt::RightButton) ? 2 : 0) |
                                     ((buttons & Qt::MiddleButton) ? 4 : 0));
}

std::int16_t shiftCode(Qt::KeyboardModifiers modifiers) {
    return static_cast<std::int16_t>(((modifiers & Qt::ShiftModifier) ? 1 : 0) |
                                     ((modifiers & Qt::ControlModifier) ? 2 : 0) |
                                     ((modifiers & Qt::AltModifier) ? 4 : 0));
}

SettingLocation::Places settingPlaces(const Form1Seams& seams) {
    return {seams.programFolder(), seams.perUserFolder(), SettingLocation::MakeFolder};
}

} // namespace

Form1::Form1(Form1Seams seams, QWidget* parent)
    : QWidget(parent), m_seams(std::move(seams)), m_regional(m_seams.timeLocale),
      m_face(FaceFit::picture()) {
    FaceAccessible::install();
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowIcon(FaceFit::windowIcon(devicePixelRatioF()));
    // The client area's design place: X11 window managers read it with Static gravity, the
    // frame around it.
    setGeometry(Twips::toPixels(kDesignClientLeft), Twips::toPixels(kDesignClientTop),
                Twips::toPixels(kClientWidth), Twips::toPixels(kClientHeight));
    setFixedSize(size());
    // The picture covers the whole client area, so nothing needs erasing before it is drawn.
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    // Every movement over the picture swings the labels, not only movements with a button held.
    setMouseTracking(true);

    m_place = new WindowPlace(this, m_seams.screenRects);
    std::tie(Label1, Label2) = FaceFit::makeLabels(this, m_regional);
    // The time changes every second: its digits keep their places, as a clock's do, and on X11
    // its changes go to a window of their own, which keeps what each second shows.
    Label2->setDigitsInCells(true);
    Label2->useDigitWindow(m_seams.digitWindow);

    Timer1 = m_seams.timer1 ? m_seams.timer1().release() : new SecondTicker(m_seams.clock);
    Timer2 = m_seams.timer2 ? m_seams.timer2().release() : new IntervalTicker(kTimer2IntervalMs);
    Timer1->setParent(this);
    Timer2->setParent(this);
    connect(Timer1, &Ticker::tick, this, &Form1::Timer1_Timer);
    connect(Timer2, &Ticker::tick, this, &Form1::Timer2_Timer);
    Timer1->start();
}

Form1::~Form1() = default;

float Form1::Left() const {
    return static_cast<float>(Twips::fromPixels(m_place->frameTopLeft().x()));
}

float Form1::Top() const {
    return static_cast<float>(Twips::fromPixels(m_place->frameTopLeft().y()));
}

void Form1::setLeft(float twips) {
    m_place->moveFrameLeft(Twips::toPixels(twips));
}

void Form1::setTop(float twips) {
    m_place->moveFrameTop(Twips::toPixels(twips));
}

bool Form1::windowPlaceable() const {
    return !m_seams.windowPlaceable || m_seams.windowPlaceable();
}

// The saved place is given before the window is first shown, so the window is mapped once, at
// its place. A file that cannot serve, or a place on no screen, leaves the design place. Where
// the compositor places windows, no saved place could be applied: the file is left for a start
// that can.
void Form1::Form_Load() {
    m_loading = true;
    const SettingLocation::Found saved =
        windowPlaceable() ? SettingLocation::ReadSavedPosition(settingPlaces(m_seams))
                          : SettingLocation::Found{};
    if (!saved.problem.empty())
        qWarning("%s; starting at the design position", saved.problem.c_str());
    if (saved.position) {
        const QPoint frame(Twips::toPixels(saved.position->left),
                           Twips::toPixels(saved.position->top));
        if (m_place->onSomeScreen(frame)) {
            setLeft(static_cast<float>(saved.position->left));
            setTop(static_cast<float>(saved.position->top));
        } else {
            qWarning("the saved position lies off every screen; starting at the design position");
        }
    }
    m_loading = false;
    show();
    SwingCount = 0;
    HomeTop1 = Twips::roundToInt16(Label1->Top());
    Timer1_Timer();
}

void Form1::Form_DblClick() {
    if (m_loading || m_saving || m_ended)
        return;
    if (!windowPlaceable()) {
        // The window's place is the compositor's and unknown here: saving one it does not have
        // would send the next start elsewhere. The double-click still ends the clock, and
        // setting.dat keeps the place the last save made where a place could be known.
        qInfo("the compositor places this window: its position is not saved");
        endProgram(0);
        return;
    }
    m_saving = true;
    // Window positions always fit; the fallback only keeps a broken platform value harmless.
    LineList lines = PositionFile::PositionLines(
        {Twips::roundToInt32(Left()).value_or(0), Twips::roundToInt32(Top()).value_or(0)});
    const auto attempts = SettingLocation::Save(settingPlaces(m_seams), lines);
    if (!SettingLocation::Saved(attempts)) {
        m_seams.showSaveError(QString::fromStdString(SettingLocation::SaveFailureText(attempts)));
        endProgram(1);
        return;
    }
    endProgram(0);
}

void Form1::endProgram(int status) {
    m_ended = true;
    m_place->stop();
    Timer1->stop();
    Timer2->stop();
    hide();
    m_seams.exitProcess(status);
}

void Form1::Form_MouseDown(std::int16_t, std::int16_t, float x, float y) {
    if (!windowPlaceable()) {
        // Only the compositor can move the window: it takes the drag from here, where it can.
        if (QWindow* handle = windowHandle())
            handle->startSystemMove();
        return;
    }
    DragX = x;
    DragY = y;
    Dragging = kTrue;
}

void Form1::Form_MouseUp(std::int16_t, std::int16_t, float, float) {
    Dragging = kFalse;
}

void Form1::Form_MouseMove(std::int16_t, std::int16_t, float x, float y) {
    if (Dragging == kTrue) {
        setTop((y - DragY) + Top());
        setLeft((x - DragX) + Left());
    }
    // Enabling a running Timer2 leaves the swing in progress alone; restarting its interval
    // would hold the swing back for as long as the mouse keeps moving.
    if (!m_loading && !m_ended && !Timer2->isActive())
        Timer2->start();
}

void Form1::Timer2_Timer() {
    if (SwingCount > kSwingTurn) {
        Label1->setTop(Label1->Top() + kSwingStep);
        Label2->setTop(Label2->Top() - kSwingStep);
    } else {
        Label1->setTop(Label1->Top() - kSwingStep);
        Label2->setTop(Label2->Top() + kSwingStep);
    }
    ++SwingCount;
    if (Label1->Top() == static_cast<float>(HomeTop1)) {
        SwingCount = 0;
        Timer2->stop();
    }
}

void Form1::Timer1_Timer() {
    ShowClock();
}

void Form1::ShowClock() {
    const RegionalClock::FaceTexts face = m_regional.format(m_seams.clock());
    Label1->setText(FaceFit::dateLine(face));
    Label2->setText(FaceFit::timeLine(face));
}

void Form1::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    if (ratio != 1 && ratio != m_sharpFace.devicePixelRatio())
        m_sharpFace = FaceFit::pictureAt(ratio);
    QPainter painter(this);
    // Only the changed rectangles are painted: the painter clips to them.
    painter.drawPixmap(QPoint(), ratio == 1 ? m_face : m_sharpFace);
}

// Mouse points are measured from where the platform last reported the window, the same place
// Left and Top are read from, not taken from the event's window-relative point: on X11 that is
// measured against where the server has the window at that instant, which may be ahead of the
// last report during a drag, and mixing the two would feed back into extra jumps.
QPointF Form1::windowTwips(const QMouseEvent* event) const {
    return Twips::fromPixels(1.0) * (event->globalPosition() - QPointF(geometry().topLeft()));
}

void Form1::mousePressEvent(QMouseEvent* event) {
    const QPointF at = windowTwips(event);
    Form_MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()),
                   static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = windowTwips(event);
    Form_MouseMove(buttonCode(event->buttons()), shiftCode(event->modifiers()),
                   static_cast<float>(at.x()), static_cast<float>(at.y()));
}

void Form1::mouseReleaseEvent(QMouseEvent* event) {
    const QPointF at = windowTwips(event);
    Form_MouseUp(buttonCode(event->button()), shiftCode(event->modifiers()),
                 static_cast<float>(at.x()), static_cast<float>(at.y()));
}

// The second press of a double-click raises the double-click alone, not another press.
void Form1::mouseDoubleClickEvent(QMouseEvent*) {
    Form_DblClick();
}
