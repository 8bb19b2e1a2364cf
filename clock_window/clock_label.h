#pragma once

#include <QLabel>

// A text label of the clock face. Its Top is kept in twips as a float that reads back exactly
// as set; the pixel position is derived from it, so one swing step back always undoes one
// step out whatever the pixel rounding.
class ClockLabel : public QLabel {
    Q_OBJECT
public:
    ClockLabel(const QString& text, int leftTwips, int topTwips, int widthTwips, int heightTwips,
               QWidget* parent);

    float Top() const { return m_top; }
    void setTop(float twips);

private:
    int m_left;
    float m_top;
};
