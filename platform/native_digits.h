#pragma once

#include <QRect>

#include <functional>
#include <memory>

class QImage;
class QWidget;

// A small window of the platform's own inside the clock window, which takes ready pixels
// straight to the display: a tick then costs one request instead of a pass through the
// toolkit's painting. Input is not its business: the pointer's events go to the window under it.
class NativeDigits {
public:
    virtual ~NativeDigits() = default;

    // Puts `pixels` (32 bits a pixel, 0xffRRGGBB, device pixels) with its top-left corner at
    // `at`, in device pixels of this window, and sends them on at once.
    virtual void put(const QImage& pixels, const QPoint& at) = 0;
    virtual void setVisible(bool visible) = 0;
    virtual bool isVisible() const = 0;

    // Called whenever the display lost the window's pixels and wants them all again.
    using Exposed = std::function<void()>;

    // A window at `deviceRect`, in device pixels of `parent`'s own native window, shown, or
    // nullptr where the platform has no such path: anything but X11, or a visual whose pixels
    // are not 24-bit true colour laid out as 0xRRGGBB in 32 bits.
    static std::unique_ptr<NativeDigits> create(QWidget* parent, const QRect& deviceRect,
                                                Exposed exposed);
};
