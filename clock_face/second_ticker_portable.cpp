#include "second_ticker.h"

// No kernel timer on the wall clock here: the ticker re-arms a Qt timer at every tick.
std::unique_ptr<SecondTicker::WallTimer> SecondTicker::WallTimer::platform() {
    return nullptr;
}
