#include "ui/align_layout.h"

#include <algorithm>

namespace tav {

constexpr std::string_view kAlignNames[] = {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"};
constinit const TNameList AlignNames(kAlignNames);

std::vector<TLayoutRect> AlignLayout(const TLayoutRect& client, const std::vector<TAlignItem>& items) {
  std::vector<TLayoutRect> result;
  result.reserve(items.size());
  for (const TAlignItem& item : items) result.push_back(item.Bounds);

  // What is still free; right and bottom edges so that both ends can move.
  int left = client.Left, top = client.Top;
  int right = client.Left + std::max(0, client.Width), bottom = client.Top + std::max(0, client.Height);

  for (TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      const TAlignItem& item = items[i];
      if (!item.Visible || item.Align != pass) continue;
      TLayoutRect& r = result[i];
      const int freeWidth = right - left, freeHeight = bottom - top;
      const int w = std::max(0, item.Bounds.Width), h = std::max(0, item.Bounds.Height);
      switch (pass) {
        case alTop:
          r = {left, top, freeWidth, h};
          top = std::min(bottom, top + h);
          break;
        case alBottom:
          // One taller than the free space starts where the free space starts, like alTop.
          r = {left, std::max(top, bottom - h), freeWidth, h};
          bottom = std::max(top, bottom - h);
          break;
        case alLeft:
          r = {left, top, w, freeHeight};
          left = std::min(right, left + w);
          break;
        case alRight:
          r = {std::max(left, right - w), top, w, freeHeight};
          right = std::max(left, right - w);
          break;
        case alClient:
          r = {left, top, freeWidth, freeHeight};
          break;
        case alNone:
          break;
      }
    }
  }
  return result;
}

}  // namespace tav
