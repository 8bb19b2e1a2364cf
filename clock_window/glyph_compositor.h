#pragma once

#include "glyph_layout.h"

#include <QImage>
#include <QRect>
#include <QRgb>

class QPainter;

// The time's pixels for the digit window: the picture under the label's box, kept, and over it
// the glyphs of a line, drawn a rectangle at a time by Qt's raster engine, in order and at their
// places, so that they are the pixels a full paint of the window gives.
namespace GlyphCompositor {

// `rect` of `box` (device pixels, `box` and `picture` of the box's size and pixel ratio) drawn
// again: the same rectangle of `picture`, and over it, in `colour`, every glyph of `line` that
// may ink it.
void compose(QImage& box, const QImage& picture, const Line& line, QRgb colour, const QRect& rect);

// Every glyph of `line` that may ink `area` (device-independent pixels), drawn by `painter`.
void draw(QPainter& painter, const Line& line, const QRectF& area);

// Where the glyphs of either line that the other has not, or not there, may ink
// (device-independent pixels): all that must be drawn again when `before` becomes `after`.
QRectF changed(const Line& before, const Line& after);

// `area` (device-independent pixels) as the device pixels it touches at `pixelRatio`.
QRect devicePixels(const QRectF& area, qreal pixelRatio);

} // namespace GlyphCompositor
