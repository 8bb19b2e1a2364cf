#!/usr/bin/python3
"""The clock's face as a screen reader reads it, through AT-SPI (pyatspi), checked against what
ICU (PyICU) formats for the same instant with the region's own patterns: the skeletons
"yyyyMMdd" and "jmmss" of LOCALE in ZONE, the date followed by the English weekday's three
letters. None of the program's code is used.
    read_aloud.py LOCALE ZONE      (LOCALE as in LC_ALL: en_US.UTF-8)
Exit status 0: read as expected (printed); 1: no clock on the accessibility bus yet;
2: a clock was found that reads otherwise (printed)."""

import math
import sys
import time

import icu
import pyatspi

TITLE = "Velomire -KORUVA!-"


def formatter(pattern, locale, zone):
    f = icu.SimpleDateFormat(pattern, locale)
    f.setTimeZone(zone)
    return f


def expected_faces(locale_name, zone_name, first, last):
    """The date and time lines ICU writes for each whole second from first to last."""
    locale = icu.Locale(locale_name.split(".")[0])
    zone = icu.TimeZone.createTimeZone(zone_name)
    generator = icu.DateTimePatternGenerator.createInstance(locale)
    date = formatter(generator.getBestPattern("yyyyMMdd"), locale, zone)
    time_of_day = formatter(generator.getBestPattern("jmmss"), locale, zone)
    weekday = formatter("EEE", icu.Locale("en_US"), zone)
    return {
        second: (date.format(float(second)) + " " + weekday.format(float(second)),
                 time_of_day.format(float(second)))
        for second in range(first, last + 1)
    }


def find_window():
    for application in pyatspi.Registry.getDesktop(0):
        if application is None:
            continue
        for window in application:
            if window is not None and window.name == TITLE:
                return window
    return None


def named_descendants(accessible):
    for child in accessible:
        if child is None:
            continue
        if child.name:
            yield child
        yield from named_descendants(child)


def main():
    locale_name, zone_name = sys.argv[1], sys.argv[2]
    before = time.time()
    window = find_window()
    if window is None:
        print("no window titled %r on the accessibility bus" % TITLE)
        return 1
    lines = []
    for line in named_descendants(window):
        extents = line.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        lines.append((extents.y, line.name, line.getRoleName()))
    window_role = window.getRoleName()
    after = time.time()
    if len(lines) != 2:
        print("the window has %d named objects, not two lines: %r" % (len(lines), lines))
        return 1 if not lines else 2
    lines.sort()
    read = (lines[0][1], lines[1][1])
    roles = (window_role, lines[0][2], lines[1][2])
    # The face turns just after the second does: it may still show the second before.
    faces = expected_faces(locale_name, zone_name, math.floor(before) - 1, math.floor(after))
    said = "read %r / %r, roles %s" % (read[0], read[1], ", ".join(roles))
    if roles != ("frame", "label", "label"):
        print("%s; expected the roles frame, label, label" % said)
        return 2
    for second, face in faces.items():
        if face == read:
            print("%s; as ICU writes %s UTC" % (said, time.strftime("%H:%M:%S", time.gmtime(second))))
            return 0
    print("%s; ICU writes %s" % (said, " or ".join("%r / %r" % face for face in faces.values())))
    return 2


if __name__ == "__main__":
    sys.exit(main())
