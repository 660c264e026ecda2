#include "ui/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "dialogs/backdrop.h"
#include "sys/unicode.h"
#include "ui/application.h"
#include "ui/screenshot.h"
#include "window_probe.h"

namespace tav {
namespace {

int R(COLORREF c) { return GetRValue(c); }
int B(COLORREF c) { return GetBValue(c); }

TEST(Backdrop, GradientBandsCoverTheExtentFromBothColours) {
  const auto up = GradientBands(RGB(0, 0, 255), RGB(0, 0, 0), false, 256);
  ASSERT_EQ(up.size(), 256u);
  EXPECT_EQ(up.front().Color, RGB(0, 0, 255));
  EXPECT_EQ(up.back().Color, RGB(0, 0, 0));
  EXPECT_EQ(up.front().Start, 0);
  EXPECT_EQ(up.back().End, 256);
  // Mirrored on 256 rows: both edges in the first colour, rows 127 and 128 in the second.
  const auto out = GradientBands(RGB(10, 20, 30), RGB(200, 100, 0), true, 256);
  ASSERT_EQ(out.size(), 256u);
  COLORREF rows[256] = {};
  for (const auto& b : out)
    for (int y = b.Start; y < b.End; ++y) rows[y] = b.Color;
  EXPECT_EQ(rows[0], RGB(10, 20, 30));
  EXPECT_EQ(rows[255], RGB(10, 20, 30));
  EXPECT_EQ(rows[127], RGB(200, 100, 0));
  EXPECT_EQ(rows[128], RGB(200, 100, 0));
}

TEST(Backdrop, StyleSettersAndTheMainMark) {
  TLabelStyle style;
  int changes = 0;
  style.OnChange = [&](TLabelStyle&) { ++changes; };
  style.SetAngle(360);
  style.SetAngle(-10);
  EXPECT_EQ(style.Angle(), 0);
  EXPECT_EQ(changes, 0);
  style.SetAHShadeOffSet(9);  // raised: the shadow offset is not drawn, no repaint
  EXPECT_EQ(changes, 0);
  style.SetAShadeLeftTop(RGB(1, 2, 3));
  style.SetAShadeLTSet(true);
  EXPECT_EQ(style.AShadeLeftTop(), 0xFFFFFFu);
  EXPECT_EQ(changes, 2);
  style.SetAShadeLeftTop(RGB(9, 9, 9));  // locked to white
  EXPECT_EQ(style.AShadeLeftTop(), 0xFFFFFFu);
  style.SetAShadeLTSet(false);
  EXPECT_EQ(style.AShadeLeftTop(), RGB(1, 2, 3)) << "the saved highlight comes back";

  TForm form(nullptr);
  auto* first = new TBackdrop(&form);
  auto* second = new TBackdrop(&form);
  first->SetTag(-1);
  EXPECT_EQ(TBackdrop::MainBackdrop(), first);
  second->SetTag(-1);
  EXPECT_EQ(TBackdrop::MainBackdrop(), second);
  EXPECT_EQ(first->Tag(), 0);
  delete second;
  EXPECT_EQ(TBackdrop::MainBackdrop(), nullptr);
}

// One window for every picture: under Wine each window made costs time.
class BackdropOnScreen : public ::testing::Test {
protected:
  static void SetUpTestSuite() { Application().Initialize(); }

  void SetUp() override {
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetCaption("Backdrop");
    form_->SetBounds(40, 40, 360, 300);
    backdrop_ = new TBackdrop(form_.get());
    backdrop_->SetParent(form_.get());
    backdrop_->SetStartColor(RGB(0, 0, 255));
    backdrop_->SetEndColor(RGB(255, 0, 0));
    form_->Show();
    Application().ProcessMessages();
    GetClientRect(backdrop_->WindowHandle(), &client_);
  }
  void TearDown() override { form_.reset(); }

  // The backdrop's client area as on screen.
  TCapture Shot() {
    RedrawWindow(form_->WindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Application().ProcessMessages();
    const TCapture all = CaptureWindow(form_->WindowHandle());
    RECT frame{};
    GetWindowRect(form_->WindowHandle(), &frame);
    POINT o{0, 0};
    ClientToScreen(backdrop_->WindowHandle(), &o);
    TCapture c;
    c.Width = client_.right;
    c.Height = client_.bottom;
    for (int y = 0; y < c.Height; ++y)
      for (int x = 0; x < c.Width; ++x)
        c.Pixels.push_back(all.Pixels[static_cast<size_t>(o.y - frame.top + y) * all.Width + (o.x - frame.left + x)]);
    return c;
  }

  std::unique_ptr<TForm> form_;
  TBackdrop* backdrop_ = nullptr;
  RECT client_{};
};

TEST_F(BackdropOnScreen, EveryDirectionRunsBetweenItsColoursMonotonically) {
  const COLORREF start = RGB(0, 0, 255), end = RGB(255, 0, 0);
  struct Case {
    TDirection d;
    bool across, mirrored;
    COLORREF edge, other;  // at the first edge; at the far edge (or the middle, mirrored)
  };
  const Case cases[] = {{bdUp, false, false, start, end},   {bdDown, false, false, end, start},
                        {bdLeft, true, false, start, end},  {bdRight, true, false, end, start},
                        {bdHorzIn, false, true, end, start}, {bdHorzOut, false, true, start, end},
                        {bdVertIn, true, true, start, end}, {bdVertOut, true, true, end, start}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(DirectionNames[c.d]));
    backdrop_->SetDirection(c.d);
    const TCapture shot = Shot();
    const int extent = c.across ? shot.Width : shot.Height;
    auto at = [&](int i) { return c.across ? shot.At(i, shot.Height / 2) : shot.At(shot.Width / 2, i); };
    EXPECT_EQ(at(0), c.edge);
    if (c.mirrored) {
      EXPECT_EQ(at(extent - 1), c.edge) << "both edges alike";
      EXPECT_NEAR(R(at(extent / 2)), R(c.other), 2) << "the other colour in the middle";
    } else {
      EXPECT_EQ(at(extent - 1), c.other);
    }
    // Red moves one way and blue the other, band by band, up to the middle or the far edge.
    const int stop = c.mirrored ? extent / 2 : extent;
    const int sign = R(c.other) > R(c.edge) ? 1 : -1;
    for (int i = 1; i < stop; ++i) {
      ASSERT_GE(sign * (R(at(i)) - R(at(i - 1))), 0) << "red at " << i;
      ASSERT_LE(sign * (B(at(i)) - B(at(i - 1))), 0) << "blue at " << i;
    }
    if (c.d == bdHorzOut) SavePng(CaptureWindow(form_->WindowHandle()), ScreenshotPath("", "backdrop-horzout.png"));
  }
}

TEST_F(BackdropOnScreen, TheRotatedLabelDrawsInsideItselfAtEveryAngleAndEffect) {
  backdrop_->SetDirection(bdUp);
  backdrop_->SetStartColor(RGB(0, 0, 128));
  backdrop_->SetEndColor(RGB(0, 0, 128));  // one colour: every other pixel is the label's
  auto* label = new TRotate3DLabel(form_.get());
  label->SetParent(backdrop_);
  label->SetBounds(40, 30, 240, 200);
  label->SetAlignment(taCenter);
  label->SetCaption("Tavenrik");
  label->Font().SetColor(RGB(255, 255, 255));
  label->Font().SetHeight(-32);
  const RECT inside{40, 30, 280, 230};
  for (int angle : {0, 45, 90}) {
    for (T3DEffectShort effect : {A3dNormal, A3dRaised, A3dResit, A3dShadowed}) {
      SCOPED_TRACE("angle " + std::to_string(angle) + " " + std::string(Effect3DNames[effect]));
      label->LabelStyle().SetAngle(angle);
      label->LabelStyle().SetAStyle3D(effect);
      const TCapture shot = Shot();
      int white = 0, grey = 0, outside = 0;
      RECT box{shot.Width, shot.Height, -1, -1};
      for (int y = 0; y < shot.Height; ++y) {
        for (int x = 0; x < shot.Width; ++x) {
          const COLORREF p = shot.At(x, y);
          if (p == RGB(0, 0, 128)) continue;
          const POINT pt{x, y};
          if (!PtInRect(&inside, pt)) ++outside;
          if (p == RGB(255, 255, 255)) {
            ++white;
            box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x),
                   std::max<LONG>(box.bottom, y)};
          }
          if (p == RGB(128, 128, 128)) ++grey;
        }
      }
      EXPECT_EQ(outside, 0) << "nothing drawn outside the label";
      EXPECT_GT(white, 150) << "the caption in its colour";
      if (effect == A3dNormal) {
        EXPECT_EQ(grey, 0);
      } else {
        EXPECT_GT(grey, 10) << "the shadow shows beside the caption";
      }
      const int w = box.right - box.left, h = box.bottom - box.top;
      if (angle == 0) {
        EXPECT_GT(w, 2 * h);
      }
      if (angle == 90) {
        EXPECT_GT(h, 2 * w);
      }
      if (angle == 45) {
        EXPECT_LT(std::abs(w - h), std::max(w, h) / 3) << "a diagonal fills a square box";
      }
      // Centred: the caption's middle is near the label's.
      EXPECT_NEAR((box.left + box.right) / 2, 160, 20);
      EXPECT_NEAR((box.top + box.bottom) / 2, 130, 20);
      if (angle == 45 && effect == A3dShadowed)
        SavePng(CaptureWindow(form_->WindowHandle()), ScreenshotPath("", "backdrop-label-45-shadowed.png"));
    }
  }
  // Opaque: a filled rotated rectangle behind the caption, and the 3-D effect is gone for good.
  label->LabelStyle().SetAStyle3D(A3dRaised);
  label->SetColor(RGB(0, 128, 0));
  label->SetMyTransparent(false);
  label->LabelStyle().SetAngle(0);
  const TCapture shot = Shot();
  int green = 0;
  for (std::uint32_t p : shot.Pixels) green += p == 0x008000;
  EXPECT_GT(green, 300) << "the rectangle around the caption";
  EXPECT_EQ(shot.At(100, 40), RGB(0, 0, 128)) << "the backdrop outside it";
  EXPECT_EQ(label->LabelStyle().AStyle3D(), A3dNormal);
}

}  // namespace
}  // namespace tav
