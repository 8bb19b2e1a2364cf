#include "native_digits.h"

// Platforms without a native path draw the digits through Qt.
std::unique_ptr<NativeDigits> NativeDigits::create(WId, const QRect&, Exposed) {
    return nullptr;
}
