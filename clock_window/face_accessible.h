#pragma once

// How screen readers meet the clock: the window as the program's frame, named by its title, and
// the face's two lines as static text (AT-SPI "label") named by their texts, rather than the
// unnamed panes ("filler") plain widgets are read as.
namespace FaceAccessible {

// Once a process, before the window and its labels are first asked for; later calls do nothing.
void install();

} // namespace FaceAccessible
