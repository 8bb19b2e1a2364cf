#pragma once

#include "glyph_layout.h"
#include "native_digits.h"

#include <QString>
#include <QWidget>

#include <memory>

class NativeOutput;

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

    // Digits each in a cell of their face's widest, so that they keep their places.
    void setDigitsInCells(bool inCells);

    float Top() const { return m_top; }
    void setTop(float twips);

    // While the label rests where it was made, its changes go to the native window `factory`
    // gives; elsewhere, and where it gives none, Qt paints them.
    void useDigitWindow(NativeDigits::Factory factory);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct Look;

    Look& look();
    bool atHome() const;
    void showDigitsSoon();
    void lookChanged();

    QString m_text;
    int m_left;
    float m_top;
    QPoint m_home;
    std::unique_ptr<Look> m_look;
    int m_looks = 0;
    Line m_line;
    std::unique_ptr<NativeOutput> m_output;
    bool m_digitsInCells = false;
    bool m_showQueued = false;
    bool m_watchesScreen = false;
};
