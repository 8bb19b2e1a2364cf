#pragma once

#include "glyph_compositor.h"
#include "glyph_layout.h"
#include "native_digits.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

// A text label of the clock face: its text in one font and colour straight on the window's
// picture, in a box placed in twips. Its Top is kept in twips as a float that reads back exactly
// as set; the pixel position is derived from it, so one swing step back always undoes one step
// out whatever the pixel rounding.
class ClockLabel : public QWidget {
    Q_OBJECT
public:
    ClockLabel(const QString& text, int leftTwips, int topTwips, int widthTwips, int heightTwips,
               QWidget* parent);
    ~ClockLabel() override;

    QString text() const { return m_text; }
    // Repaints only the glyphs that change: a tick usually changes one or two digits.
    void setText(const QString& text);

    float Top() const { return m_top; }
    void setTop(float twips);

    // A native window for the label's pixels, at `deviceRect` of the window `form`; nullptr
    // where the platform has none.
    using DigitWindow = std::function<std::unique_ptr<NativeDigits>(
        QWidget* form, const QRect& deviceRect, NativeDigits::Exposed exposed)>;
    // While the label rests where it was made, its changes are composited here and put into
    // the native window `digitWindow` gives; elsewhere, and where it gives none, Qt paints it.
    void useDigitWindow(DigitWindow digitWindow);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Look;

    Look& look();
    QRectF changedArea(const Line& before, const Line& after) const;
    QRect deviceBox() const;
    bool atHome() const;
    void showDigits();
    void putAll();

    QString m_text;
    int m_left;
    float m_top;
    QPoint m_home;
    std::unique_ptr<Look> m_look;
    Line m_line;
    DigitWindow m_digitWindow;
    std::unique_ptr<NativeDigits> m_native;
    bool m_showQueued = false;
};
