#pragma once
// Layout by Align as a pure function of the parent's client rectangle and its children, so that it is
// tested without windows. Units are whatever the caller uses (the controls use 96-DPI design units).
#include <string>
#include <vector>

#include "core/classes.h"

namespace tav {

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
extern const TNameList AlignNames;

struct TLayoutRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const TLayoutRect&) const = default;
};

struct TAlignItem {
  TAlign Align = alNone;
  bool Visible = true;
  TLayoutRect Bounds;
};

// New bounds for every item, in the items' order. Aligned items take the edges of what is left of
// the client rectangle: all alTop in order, then alBottom, alLeft, alRight, and alClient fills the
// rest. Invisible and alNone items keep their bounds. An item keeps its own height (alTop, alBottom)
// or width (alLeft, alRight); what is left never shrinks below zero, so a crowded or zero-sized
// parent gives zero sizes, never negative ones.
std::vector<TLayoutRect> AlignLayout(const TLayoutRect& client, const std::vector<TAlignItem>& items);

}  // namespace tav
