#pragma once
// Where a window goes on the screen: one of nine places, three rows by three columns, moved by offsets.
#include <string>
#include <vector>

#include "core/classes.h"

namespace tav {

// Ordinals 0-2 the middle row, 3-5 the bottom row, 6-8 the top row; left, centre, right in each row.
enum TTavenrikDialogPosition {
  tdpCenterLeft, tdpCenter, tdpCenterRight, tdpBottomLeft, tdpBottomCenter, tdpBottomRight,
  tdpTopLeft, tdpTopCenter, tdpTopRight
};
extern const TNameList DialogPositionNames;

struct TScreenPlace {
  int Left = 0;
  int Top = 0;
};
// Where a window of width x height goes on a screen of screenWidth x screenHeight; captionHeight is
// the system caption height, which the bottom row keeps free.
TScreenPlace PlaceOnScreen(int screenWidth, int screenHeight, int width, int height, int captionHeight,
                           TTavenrikDialogPosition position, int leftOffset, int topOffset);

// The same on this program's screen, in design units (the screen and caption sizes scaled back from
// the system's DPI), as window bounds are given.
TScreenPlace PlaceOnThisScreen(int width, int height, TTavenrikDialogPosition position, int leftOffset,
                               int topOffset);

}  // namespace tav
