#pragma once

#include <QRect>
#include <QtGui/qwindowdefs.h>

#include <functional>
#include <memory>

class QImage;

// A small window of the platform's own inside the clock window, which takes ready pixels
// straight to the display, and pixels the display keeps for it to show again: a tick that shows
// what it showed before costs one copy inside the display instead of a pass through the
// toolkit's painting. Input is not its business: the pointer's events go to the window under it.
class NativeDigits {
public:
    virtual ~NativeDigits() = default;

    // Puts `pixels` (32 bits a pixel, 0xffRRGGBB, device pixels) with its top-left corner at
    // `at`, in device pixels of this window, and sends them on at once.
    virtual void put(const QImage& pixels, const QPoint& at) = 0;

    // Pixels the display keeps until they are dropped, or the window goes.
    using Kept = unsigned;
    virtual Kept keep(const QImage& pixels) = 0;
    // Shows kept pixels with their top-left corner at `at`, and sends that on at once.
    virtual void showKept(Kept kept, const QPoint& at) = 0;
    virtual void drop(Kept kept) = 0;

    virtual void setVisible(bool visible) = 0;
    virtual bool isVisible() const = 0;

    // Called whenever the display lost the window's pixels and wants them all again.
    using Exposed = std::function<void()>;

    // A window at `deviceRect`, in device pixels of the native window `parent`, shown, or
    // nullptr where the platform has no such path: anything but X11, or a visual whose pixels
    // are not 24-bit true colour laid out as 0xRRGGBB in 32 bits.
    static std::unique_ptr<NativeDigits> create(WId parent, const QRect& deviceRect,
                                                Exposed exposed);
    using Factory = std::function<std::unique_ptr<NativeDigits>(WId parent, const QRect& deviceRect,
                                                                Exposed exposed)>;
};
