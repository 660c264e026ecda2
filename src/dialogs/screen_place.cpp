#include "dialogs/screen_place.h"

#include <cmath>

#include "ui/controls.h"
#include "ui/win32.h"

namespace tav {

constexpr std::string_view kDialogPositionNames[] = {
    "tdpCenterLeft", "tdpCenter", "tdpCenterRight", "tdpBottomLeft", "tdpBottomCenter", "tdpBottomRight", "tdpTopLeft",
    "tdpTopCenter", "tdpTopRight"};
constinit const TNameList DialogPositionNames(kDialogPositionNames);

namespace {

// Half the free space, rounded to the nearest integer with ties to even.
int CentreOf(int screen, int window) {
  return static_cast<int>(std::nearbyint(screen / 2.0 - window / 2.0));
}

}  // namespace

TScreenPlace PlaceOnScreen(int screenWidth, int screenHeight, int width, int height, int captionHeight,
                           TTavenrikDialogPosition position, int leftOffset, int topOffset) {
  TScreenPlace place;
  const int column = static_cast<int>(position) % 3;
  const int row = static_cast<int>(position) / 3;
  switch (column) {
    case 0: place.Left = leftOffset; break;
    case 1: place.Left = leftOffset + CentreOf(screenWidth, width); break;
    default: place.Left = screenWidth - width - leftOffset; break;
  }
  switch (row) {
    case 0: place.Top = topOffset + CentreOf(screenHeight, height); break;
    case 1: place.Top = screenHeight - captionHeight - height - topOffset; break;
    default: place.Top = topOffset; break;
  }
  return place;
}

TScreenPlace PlaceOnThisScreen(int width, int height, TTavenrikDialogPosition position, int leftOffset,
                               int topOffset) {
  const int dpi = WindowDpi(nullptr);
  return PlaceOnScreen(ScaleToLogical(GetSystemMetrics(SM_CXSCREEN), dpi),
                       ScaleToLogical(GetSystemMetrics(SM_CYSCREEN), dpi), width, height,
                       ScaleToLogical(GetSystemMetrics(SM_CYCAPTION), dpi), position, leftOffset, topOffset);
}

}  // namespace tav
