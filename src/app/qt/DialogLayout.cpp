#include "app/qt/DialogLayout.h"

#include <cmath>

namespace {

int ToPixels(int units) {
    return static_cast<int>(std::lround(units * kPixelsPerDialogUnit));
}

}  // namespace

QRect DialogUnitsToPixels(int x, int y, int width, int height) {
    const int left = ToPixels(x);
    const int top = ToPixels(y);
    return QRect(left, top, ToPixels(x + width) - left, ToPixels(y + height) - top);
}

QSize ClientSizePixels() {
    return QSize(ToPixels(kClientWidthUnits), ToPixels(kClientHeightUnits));
}
