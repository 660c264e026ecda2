#pragma once
// GDI helpers of the controls: owners of GDI objects and device contexts, bitmaps from the BMP bytes
// that streams carry, and the geometry of pictures and frames.
#include <string>
#include <utility>

#include "ui/align_layout.h"
#include "ui/win32.h"

namespace tav {

// The move-only frame of every GDI owner below. Traits gives the State that releasing needs, the
// handle in it (nullptr: nothing owned) and Release, which frees a state that owns something.
template <class Traits>
class TGdiOwner {
public:
  using State = typename Traits::State;

  TGdiOwner() = default;
  explicit TGdiOwner(State state) : state_(state) {}
  ~TGdiOwner() { Release(); }
  TGdiOwner(TGdiOwner&& other) noexcept : state_(std::exchange(other.state_, State{})) {}
  TGdiOwner& operator=(TGdiOwner&& other) noexcept {
    if (this != &other) {
      Release();
      state_ = std::exchange(other.state_, State{});
    }
    return *this;
  }
  TGdiOwner(const TGdiOwner&) = delete;
  TGdiOwner& operator=(const TGdiOwner&) = delete;

  auto Get() const { return Traits::Handle(state_); }
  explicit operator bool() const { return Get() != nullptr; }
  // Gives up the handle without releasing it.
  auto Detach() { return Traits::Handle(std::exchange(state_, State{})); }
  // Releases now; afterwards the owner is empty.
  void Release() {
    if (Get()) Traits::Release(state_);
    state_ = State{};
  }

protected:
  const State& Data() const { return state_; }

private:
  State state_{};
};

namespace gdi_traits {

template <class H>
struct Object {
  using State = H;
  static H Handle(H h) { return h; }
  static void Release(H h) { DeleteObject(h); }
};

struct WindowDC {
  struct State {
    HWND Window;
    HDC DC;
  };
  static HDC Handle(const State& s) { return s.DC; }
  static void Release(const State& s) { ReleaseDC(s.Window, s.DC); }
};

struct OwnedDC {
  using State = HDC;
  static HDC Handle(HDC dc) { return dc; }
  static void Release(HDC dc) { DeleteDC(dc); }
};

struct PaintDC {
  struct State {
    HWND Window;
    PAINTSTRUCT Paint;
  };
  static HDC Handle(const State& s) { return s.Paint.hdc; }
  static void Release(const State& s) { EndPaint(s.Window, &s.Paint); }
};

struct Selection {
  struct State {
    HDC DC;
    HGDIOBJ Previous;
  };
  static HGDIOBJ Handle(const State& s) { return s.Previous; }
  static void Release(const State& s) { SelectObject(s.DC, s.Previous); }
};

struct SavedDC {
  struct State {
    HDC DC;
    int Saved;
  };
  static HDC Handle(const State& s) { return s.DC; }
  static void Release(const State& s) { RestoreDC(s.DC, s.Saved); }
};

}  // namespace gdi_traits

// A GDI object (brush, pen, font, bitmap), deleted with DeleteObject. It must not be selected into
// a DC when it goes: declare it before the TSelectedObject that selects it.
template <class H>
using TGdiObject = TGdiOwner<gdi_traits::Object<H>>;
using TGdiBrush = TGdiObject<HBRUSH>;
using TGdiPen = TGdiObject<HPEN>;
using TGdiFont = TGdiObject<HFONT>;

// A DC of a window from GetDC (nullptr: the screen) or GetWindowDC, given back with ReleaseDC.
class TWindowDC : public TGdiOwner<gdi_traits::WindowDC> {
public:
  TWindowDC() = default;
  explicit TWindowDC(HWND window) : TGdiOwner(State{window, GetDC(window)}) {}
  // The whole window, frame included.
  static TWindowDC WithFrame(HWND window) { return TWindowDC(State{window, GetWindowDC(window)}); }

private:
  explicit TWindowDC(State state) : TGdiOwner(state) {}
};

// A DC made by CreateCompatibleDC or CreateDC, deleted with DeleteDC.
class TOwnedDC : public TGdiOwner<gdi_traits::OwnedDC> {
public:
  using TGdiOwner::TGdiOwner;
  // A memory DC like dc (nullptr: like the screen).
  static TOwnedDC CompatibleWith(HDC dc) { return TOwnedDC(CreateCompatibleDC(dc)); }
};

// The DC of a WM_PAINT: BeginPaint, and EndPaint whatever the painting does.
class TPaintDC : public TGdiOwner<gdi_traits::PaintDC> {
public:
  explicit TPaintDC(HWND window) : TGdiOwner(Begin(window)) {}
  const PAINTSTRUCT& Info() const { return Data().Paint; }

private:
  static State Begin(HWND window) {
    State s{window, {}};
    BeginPaint(window, &s.Paint);
    return s;
  }
};

// An object selected into a DC; the selection it replaced comes back at the end.
class TSelectedObject : public TGdiOwner<gdi_traits::Selection> {
public:
  TSelectedObject(HDC dc, HGDIOBJ object) : TGdiOwner(State{dc, SelectObject(dc, object)}) {}
};

// The state of a DC (clipping, selections, colours) as it was; put back at the end.
class TSavedDC : public TGdiOwner<gdi_traits::SavedDC> {
public:
  explicit TSavedDC(HDC dc) : TGdiOwner(Save(dc)) {}

private:
  static State Save(HDC dc) {
    const int saved = SaveDC(dc);
    return saved ? State{dc, saved} : State{nullptr, 0};
  }
};

// A bitmap decoded from BMP bytes; move-only.
class TGdiBitmap {
public:
  TGdiBitmap() = default;
  // Decodes a BMP file; an empty or malformed one gives an empty object (nothing is drawn).
  explicit TGdiBitmap(const std::string& bmp);

  HBITMAP Handle() const { return bitmap_.Get(); }
  explicit operator bool() const { return static_cast<bool>(bitmap_); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The colour of the bottom-left pixel, which marks the transparent parts of glyphs and pictures.
  COLORREF TransparentColor() const { return transparent_; }

  // Draws the part src of the bitmap into dst (stretched when the sizes differ).
  void Draw(HDC dc, const RECT& dst, const RECT& src, bool transparent) const;

private:
  TGdiObject<HBITMAP> bitmap_;
  int width_ = 0, height_ = 0;
  COLORREF transparent_ = 0;
};

// Where a picture of the given size goes in a box: stretched over the whole box, centred at its own
// size, or at the top-left corner (clipped by the box in both of the latter).
TLayoutRect PictureRect(int pictureWidth, int pictureHeight, const TLayoutRect& box, bool center, bool stretch);

// Draws a 3-D frame of the given width inside r and shrinks r by it.
void DrawFrame3D(HDC dc, RECT& r, COLORREF topLeft, COLORREF bottomRight, int width);

}  // namespace tav
