#pragma once

#include "native_digits.h"
#include "tick_images.h"

#include <QLabel>

#include <functional>
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

    // A native window for the label's pixels, at `deviceRect` of the window `form`; nullptr
    // where the platform has none.
    using DigitWindow = std::function<std::unique_ptr<NativeDigits>(
        QWidget* form, const QRect& deviceRect, NativeDigits::Exposed exposed)>;

    // While the label rests where it was made, its text is drawn from images composited once
    // over what lies under it (TickImages), and a tick puts just the changed pixels: into the
    // native window that `digitWindow` gives, or else through Qt's painting. Off: Qt's text.
    void drawFromImages(bool on, DigitWindow digitWindow = {});

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool drawsItself() const;
    const QTextLayout& laidOut();
    void setTextQuietly(const QString& text);
    bool imagesApply() const;
    TickImages::Look look() const;
    QImage paintBox(const QString& text, const QRect& rect, bool withText);
    QImage pictureUnder(const QRect& rect, const QRect& area) const;
    void followHome();
    void placeNative();
    void putAll();

    int m_left;
    float m_top;
    // The caption shaped once per change, for both the changed part and the painting; a tick
    // would otherwise shape the whole time three times.
    std::unique_ptr<QTextLayout> m_layout;

    QPoint m_home;
    std::unique_ptr<TickImages> m_images;
    DigitWindow m_digitWindow;
    std::unique_ptr<NativeDigits> m_native;
    QRect m_nativeRect;
    bool m_paintingText = false;
    bool m_followQueued = false;
};
