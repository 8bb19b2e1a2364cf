#pragma once

#include "regional_clock.h"

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include <utility>

class ClockLabel;
class QWidget;

// The face made for where it is shown: each label at the size that holds every text the region
// writes in it, and the picture at the screen's own pixels.
namespace FaceFit {

// The face's two lines of a moment: the date with the English weekday, and the time.
QString dateLine(const RegionalClock::FaceTexts& face);
QString timeLine(const RegionalClock::FaceTexts& face);

struct Lines {
    QStringList dates, times; // each text once
};

// The lines of the clock's sample moments (RegionalClock::samples()).
Lines sampleLines(const RegionalClock& clock);

// The label at the largest size, up to its own, at which each of `lines` stands whole in its
// box; lower in the box where a script's marks rise above the font's ascent.
void fit(ClockLabel& label, const QStringList& lines);

// Label1 and Label2 on `form` as designed, each fitted to the lines of `clock`'s sample moments.
std::pair<ClockLabel*, ClockLabel*> makeLabels(QWidget* form, const RegionalClock& clock);

// The picture as the program carries it, and drawn at `ratio` device pixels to a pixel, rather
// than the carried one scaled.
QPixmap picture();
QPixmap pictureAt(qreal ratio);

// The window icon, with a larger one where title bars at `ratio` ask for more than 48 pixels.
QIcon windowIcon(qreal ratio);

} // namespace FaceFit
