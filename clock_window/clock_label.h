#pragma once

#include <QLabel>

#include <memory>

class QTextLayout;

// A text label of the clock face. Its Top is kept in twips as a float that reads back exactly
// as set; the pixel position is derived from it, so one swing step back always undoes one
// step out whatever the pixel rounding.
class ClockLabel : public QLabel {
    Q_OBJECT
public:
    ClockLabel(const QString& text, int leftTwips, int topTwips, int widthTwips, int heightTwips,
               QWidget* parent);
    ~ClockLabel() override;

    float Top() const { return m_top; }
    void setTop(float twips);

    // Sets the caption and repaints only the characters that changed (a tick usually changes
    // one or two digits), where QLabel would repaint all of itself.
    void setText(const QString& text);

    // The part of `contents` that changes when `after` replaces `before`, both drawn in `font`
    // on `device` from its top-left corner: from the first character that differs to the end
    // of the longer text, its whole height. Empty when the texts are the same.
    static QRect changedRect(const QFont& font, const QString& before, const QString& after,
                             const QRect& contents, QPaintDevice* device = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool drawsItself() const;
    const QTextLayout& laidOut();

    int m_left;
    float m_top;
    // The caption shaped once per change, for both the changed part and the painting; a tick
    // would otherwise shape the whole time three times.
    std::unique_ptr<QTextLayout> m_layout;
};
