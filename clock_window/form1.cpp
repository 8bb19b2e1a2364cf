#include "form1.h"

#include "clock_label.h"
#include "design_layout.h"
#include "face_font.h"
#include "my_function_lv01.h"
#include "my_function_lv02.h"
#include "position_file.h"
#include "setting_location.h"
#include "twips.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include <cstdio>
#include <exception>
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

ClockLabel* makeLabel(const LabelDesign& design, QWidget* parent) {
    auto* label = new ClockLabel(QString::fromLatin1(design.text), design.box.left, design.box.top,
                                 design.box.width, design.box.height, parent);
    label->setObjectName(QString::fromLatin1(design.name));
    label->setFont(FaceFont::font(design.pixelSize));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(kTextRed, kTextGreen, kTextBlue));
    label->setPalette(palette);
    return label;
}

// Installed where the user cannot write, the program keeps setting.dat in a per-user folder.
SettingLocation::Places settingPlaces(const Form1Seams& seams) {
    return {seams.programFolder(), seams.perUserFolder(), seams.canCreateFileIn,
            SettingLocation::MakeFolder};
}

} // namespace

Form1Seams Form1Seams::real() {
    Form1Seams seams;
    seams.clock = [] { return std::chrono::system_clock::now(); };
    seams.programFolder = [] { return QCoreApplication::applicationDirPath().toStdString(); };
    seams.perUserFolder = SettingLocation::PerUserFolder;
    seams.canCreateFileIn = SettingLocation::CanCreateFileIn;
    seams.screenRects = [] {
        QList<QRect> rects;
        for (const QScreen* screen : QGuiApplication::screens())
            rects.append(screen->geometry());
        return rects;
    };
    seams.showSaveError = [](const QString& text) {
        QMessageBox::critical(nullptr, QString::fromLatin1(kCaption), text);
    };
    seams.exitProcess = [](int status) { QCoreApplication::exit(status); };
    return seams;
}

Form1::Form1(Form1Seams seams, QWidget* parent)
    : QWidget(parent), m_seams(std::move(seams)), m_regional(m_seams.timeLocale),
      m_face(QStringLiteral(":/face.bmp")), Timer1(m_seams.clock, this), m_left(kDesignClientLeft),
      m_top(kDesignClientTop) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowIcon(QIcon(QStringLiteral(":/icon.ico")));
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

    Label1 = makeLabel(kLabel1, this);
    Label2 = makeLabel(kLabel2, this);

    connect(&Timer1, &SecondTicker::tick, this, &Form1::Timer1_Timer);
    Timer1.start();

    Timer2.setInterval(kTimer2IntervalMs);
    // A coarse timer may run 5% off, and a swing's length is 402 of these ticks.
    Timer2.setTimerType(Qt::PreciseTimer);
    connect(&Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
}

Form1::~Form1() = default;

void Form1::setLeft(float twips) {
    m_left = twips;
    move(Twips::toPixels(m_left), Twips::toPixels(m_top));
}

void Form1::setTop(float twips) {
    m_top = twips;
    move(Twips::toPixels(m_left), Twips::toPixels(m_top));
}

void Form1::Form_Load() {
    show();
    m_loading = true;
    applySavedPosition(SettingLocation::PathToRead(settingPlaces(m_seams)));
    m_loading = false;
    SwingCount = 0;
    HomeTop1 = Twips::roundToInt16(Label1->Top());
    Timer1_Timer();
}

void Form1::applySavedPosition(const std::string& path) {
    try {
        if (MyFunction_Lv01::CheckFileExists(path, "OFF") != "OK")
            return;
        LineList lines;
        MyFunction_Lv02::AccessLineFile(path, lines, "S_Read", "normal");
        const auto position = PositionFile::ReadPosition(lines);
        if (!position) {
            std::fprintf(stderr,
                         "KORUVA!: %s holds no usable position; starting at the design position\n",
                         path.c_str());
            return;
        }
        if (!clientAreaOnSomeScreen(position->left, position->top)) {
            std::fprintf(stderr,
                         "KORUVA!: the position in %s lies off every screen; starting at the "
                         "design position\n",
                         path.c_str());
            return;
        }
        setLeft(static_cast<float>(position->left));
        setTop(static_cast<float>(position->top));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "KORUVA!: cannot read %s: %s; starting at the design position\n",
                     path.c_str(), error.what());
    }
}

bool Form1::clientAreaOnSomeScreen(float left, float top) const {
    const QRect client(QPoint(Twips::toPixels(left), Twips::toPixels(top)) + frameOffset(),
                       QSize(Twips::toPixels(kClientWidth), Twips::toPixels(kClientHeight)));
    for (const QRect& screen : m_seams.screenRects()) {
        if (screen.intersects(client))
            return true;
    }
    return false;
}

void Form1::Form_DblClick() {
    if (m_loading || m_saving || m_ended)
        return;
    m_saving = true;
    // Window positions always fit; the fallback only keeps a broken platform value harmless.
    LineList lines = PositionFile::PositionLines(
        {Twips::roundToInt32(m_left).value_or(0), Twips::roundToInt32(m_top).value_or(0)});
    const std::string path = SettingLocation::PathToWrite(settingPlaces(m_seams));
    try {
        MyFunction_Lv02::AccessLineFile(path, lines, "S_Write", "normal");
    } catch (const std::exception& error) {
        m_seams.showSaveError(
            QStringLiteral("The window position could not be saved to \"%1\".\n\n%2")
                .arg(QString::fromLocal8Bit(path.c_str()), QString::fromLocal8Bit(error.what())));
        endProgram(1);
        return;
    }
    endProgram(0);
}

void Form1::endProgram(int status) {
    m_ended = true;
    Timer1.stop();
    Timer2.stop();
    hide();
    m_seams.exitProcess(status);
}

void Form1::Form_MouseDown(std::int16_t, std::int16_t, float x, float y) {
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
    if (!m_loading && !m_ended)
        Timer2.start();
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
        Timer2.stop();
    }
}

void Form1::Timer1_Timer() {
    ShowClock();
}

void Form1::ShowClock() {
    const RegionalClock::FaceTexts face = m_regional.format(m_seams.clock());
    const std::string_view weekday = WeekdayNames[static_cast<std::size_t>(face.weekday)];
    Label1->setText(QString::fromLocal8Bit(face.date.c_str()) + QLatin1Char(' ') +
                    QString::fromLatin1(weekday.data(), static_cast<qsizetype>(weekday.size())));
    Label2->setText(QString::fromLocal8Bit(face.time.c_str()));
}

// A tick or a swing step repaints only the label rectangles that changed: draw just those.
void Form1::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect dirty = event->rect();
    if (!m_face.rect().contains(dirty))
        painter.fillRect(dirty, Qt::white);
    painter.drawPixmap(dirty.topLeft(), m_face, dirty);
}

QPoint Form1::frameOffset() const {
    return geometry().topLeft() - frameGeometry().topLeft();
}

// Mouse points are taken from the global pointer and the position this window was told to
// take, not from the event's window-relative point: on X11 that point is measured against
// where the server last placed the window, which lags behind a drag and would feed back into
// extra jumps.
QPointF Form1::windowTwips(const QMouseEvent* event) const {
    const QPointF client = QPointF(Twips::toPixels(m_left), Twips::toPixels(m_top)) + frameOffset();
    return Twips::fromPixels(1.0) * (event->globalPosition() - client);
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

void Form1::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // Someone else moved the window (the title bar, the window manager): take over its place.
    // While dragging, the moves reported are our own, possibly late, so they are not taken.
    const QPoint frame = frameGeometry().topLeft();
    if (Dragging == kFalse && frame != QPoint(Twips::toPixels(m_left), Twips::toPixels(m_top))) {
        m_left = static_cast<float>(Twips::fromPixels(frame.x()));
        m_top = static_cast<float>(Twips::fromPixels(frame.y()));
    }
}
