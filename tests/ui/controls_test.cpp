#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "config/resources.h"
#include "core/properties.h"
#include "sys/unicode.h"
#include "ui/application.h"
#include "ui/buttons.h"
#include "ui/comctrls.h"
#include "ui/common_controls.h"
#include "ui/extctrls.h"
#include "ui/screenshot.h"
#include "sys/run_state.h"
#include "ui/stdctrls.h"
#include "ui/win32.h"
#include "project_form.h"
#include "window_probe.h"

#include <richedit.h>

namespace tav {
namespace {

using TControlsTestForm = test::TProjectForm<"TControlsTestForm">;

// One form from a layout for all cases: under Wine every window made and destroyed costs time.
class ControlsTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    Application().Initialize();
    RegisterUiClasses();
    RegisterClass(TControlsTestForm::StaticClassInfo());
    form = new TControlsTestForm(nullptr);
    config::LoadFormFromResource(*form);
  }
  static void TearDownTestSuite() {
    delete form;
    form = nullptr;
  }
  void SetUp() override {
    Application().SetMessageBoxHook([](const std::string& text, const std::string&, unsigned) {
      ADD_FAILURE() << "message box: " << text;
      return IDOK;
    });
  }
  static TControlsTestForm* form;
};
TControlsTestForm* ControlsTest::form = nullptr;

TEST_F(ControlsTest, EveryControlOfTheLayoutIsARealWindowShowingItsProperties) {
  auto& f = *form;
  f.Show();
  Application().ProcessMessages();
  EXPECT_EQ(WindowTextOf(f.WindowHandle()), "Control layer test \xC3\xA9");
  EXPECT_TRUE(GetWindowLongPtrW(f.WindowHandle(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  EXPECT_FALSE(GetWindowLongPtrW(f.WindowHandle(), GWL_STYLE) & WS_MINIMIZEBOX);

  struct Expect {
    const char* name;
    const wchar_t* windowClass;
  };
  for (const Expect& e : {Expect{"LeftPanel", L"TavenrikWindow"}, {"OkBtn", L"Button"}, {"Edit1", L"Edit"},
                          {"Memo1", L"Edit"}, {"CheckBox1", L"Button"}, {"RadioGroup1", L"Button"},
                          {"ListBox1", L"ListBox"}, {"ProgressBar1", L"msctls_progress32"},
                          {"TabControl1", L"SysTabControl32"}}) {
    auto& c = f.Get<TWinControl>(e.name);
    ASSERT_TRUE(c.HandleAllocated()) << e.name;
    EXPECT_TRUE(IsWindowVisible(c.WindowHandle())) << e.name;
    EXPECT_EQ(_wcsicmp(ClassOf(c.WindowHandle()).c_str(), e.windowClass), 0) << e.name;
  }
  const std::wstring rich = ClassOf(f.Get<TRichEdit>("RichEdit1").WindowHandle());
  EXPECT_TRUE(_wcsicmp(rich.c_str(), L"RICHEDIT50W") == 0 || _wcsicmp(rich.c_str(), L"RichEdit20W") == 0)
      << "got " << sys::Narrow(rich);

  // Panels: children aligned inside the border and the bevels.
  auto& client = f.Get<TPanel>("ClientPanel");
  auto& title = f.Get<TLabel>("TitleLabel");
  EXPECT_EQ(title.Left(), 8);
  EXPECT_EQ(title.Top(), 8);
  EXPECT_EQ(title.Width(), client.Width() - 16);
  EXPECT_EQ(f.Get<TPanel>("LeftPanel").ClientRect(), (TLayoutRect{4, 4, 122, 340}));
  EXPECT_EQ(f.Get<TPanel>("BottomPanel").Top(), 348);
  // The long bold caption wraps to more than one line and the label grows to hold it.
  EXPECT_GT(title.Height(), 25);
  // Fonts: the label's own (face, style, character set), the edit's from the form.
  LOGFONTW lf{};
  ASSERT_TRUE(GetObjectW(title.FontHandle(), sizeof lf, &lf));
  EXPECT_STREQ(lf.lfFaceName, L"Arial");
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_EQ(lf.lfCharSet, 0);
  EXPECT_EQ(lf.lfHeight, ScaleToDevice(-13, f.Dpi()));
  HFONT editFont = reinterpret_cast<HFONT>(
      SendMessageW(f.Get<TEdit>("Edit1").WindowHandle(), WM_GETFONT, 0, 0));
  ASSERT_TRUE(GetObjectW(editFont, sizeof lf, &lf));
  EXPECT_STREQ(lf.lfFaceName, L"Arial");
  EXPECT_EQ(lf.lfWeight, FW_NORMAL);
  EXPECT_EQ(lf.lfHeight, ScaleToDevice(-12, f.Dpi()));

  // Edit: lower case shown and kept; every change reported.
  auto& edit = f.Get<TEdit>("Edit1");
  EXPECT_EQ(WindowTextOf(edit.WindowHandle()), "c:\\program files\\mixed case");
  EXPECT_EQ(edit.Text(), "c:\\program files\\mixed case");
  int changes = 0;
  edit.OnChange = [&](TObject*) { ++changes; };
  edit.SetText("\xC3\x89TAPE Two");
  EXPECT_EQ(WindowTextOf(edit.WindowHandle()), "\xC3\xA9tape two");
  EXPECT_EQ(edit.Text(), "\xC3\xA9tape two");
  EXPECT_EQ(changes, 1);
  edit.SetMaxLength(4);
  SendMessageW(edit.WindowHandle(), EM_SETSEL, 0, -1);
  SendMessageW(edit.WindowHandle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"ABCDEFG"));
  EXPECT_EQ(edit.Text(), "abcd") << "typed text is limited and converted";
  EXPECT_EQ(changes, 2);

  EXPECT_EQ(f.Get<TMemo>("Memo1").Lines().ToVector(), (std::vector<std::string>{"First memo line", "Second memo line"}));
  auto& memo = f.Get<TMemo>("Memo1");
  EXPECT_TRUE(GetWindowLongPtrW(memo.WindowHandle(), GWL_STYLE) & ES_READONLY);
  int memoChanges = 0;
  memo.OnChange = [&](TObject*) { ++memoChanges; };
  memo.Lines().Add("Third");
  EXPECT_EQ(WindowTextOf(memo.WindowHandle()), "First memo line\r\nSecond memo line\r\nThird");
  EXPECT_EQ(memoChanges, 1);
  SendMessageW(memo.WindowHandle(), EM_SETSEL, 0, -1);
  SendMessageW(memo.WindowHandle(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"x\r\ny"));
  EXPECT_EQ(memo.Lines().ToVector(), (std::vector<std::string>{"x", "y"})) << "the lines follow the window";
  EXPECT_EQ(memoChanges, 2);
  memo.SetText("one\r\ntwo");
  EXPECT_EQ(memo.Lines().Count(), 2);
  EXPECT_EQ(memoChanges, 3);
  memo.OnChange = nullptr;
  auto& richEdit = f.Get<TRichEdit>("RichEdit1");
  EXPECT_EQ(richEdit.Lines().ToVector(), (std::vector<std::string>{"Rich text box line one", "Line two"}));
  EXPECT_TRUE(GetWindowLongPtrW(richEdit.WindowHandle(), GWL_STYLE) & ES_READONLY);
  for (int i = 0; i < 20; ++i) richEdit.Lines().Add("More text than the box can hold");
  Application().ProcessMessages();
  EXPECT_TRUE(GetWindowLongPtrW(richEdit.WindowHandle(), GWL_STYLE) & WS_VSCROLL) << "long text scrolls";
  EXPECT_EQ(richEdit.Lines().Count(), 22);
  richEdit.Lines().SetStrings({"Rich text box line one", "Line two"});

  // Sorted list box: the model and the window agree, also for items added later.
  auto& list = f.Get<TListBox>("ListBox1");
  EXPECT_EQ(list.Items().ToVector(), (std::vector<std::string>{"Alpha", "Bravo", "charlie", "delta"}));
  list.Items().Add("able");
  list.Items().Add("Echo");
  EXPECT_EQ(list.Items().IndexOf("able"), 0);
  EXPECT_EQ(list.Items().IndexOf("Echo"), 5);
  ASSERT_EQ(SendMessageW(list.WindowHandle(), LB_GETCOUNT, 0, 0), 6);
  wchar_t item[32];
  SendMessageW(list.WindowHandle(), LB_GETTEXT, 0, reinterpret_cast<LPARAM>(item));
  EXPECT_STREQ(item, L"able");
  SendMessageW(list.WindowHandle(), LB_GETTEXT, 3, reinterpret_cast<LPARAM>(item));
  EXPECT_STREQ(item, L"charlie");
  int listClicks = 0;
  list.OnClick = [&](TObject*) { ++listClicks; };
  list.SetItemIndex(2);
  EXPECT_EQ(list.ItemIndex(), 2);
  EXPECT_EQ(listClicks, 0) << "selection by code is no click";

  // Radio group: the stream's selection checked; a click and a change by code both report.
  auto& radio = f.Get<TRadioGroup>("RadioGroup1");
  EXPECT_EQ(radio.ItemIndex(), 1);
  ASSERT_NE(radio.Button(1), nullptr);
  EXPECT_EQ(SendMessageW(radio.Button(1)->WindowHandle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(radio.Button(0)->WindowHandle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(WindowTextOf(radio.Button(0)->WindowHandle()), "Yes, restart now");
  EXPECT_LT(radio.Button(0)->Top(), radio.Button(1)->Top());
  std::vector<int> radioClicks;
  radio.OnClick = [&](TObject*) { radioClicks.push_back(radio.ItemIndex()); };
  SendMessageW(radio.Button(0)->WindowHandle(), BM_CLICK, 0, 0);
  EXPECT_EQ(radio.ItemIndex(), 0);
  EXPECT_EQ(SendMessageW(radio.Button(1)->WindowHandle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  radio.SetItemIndex(1);
  EXPECT_EQ(SendMessageW(radio.Button(1)->WindowHandle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  radio.SetItemIndex(7);
  EXPECT_EQ(radio.ItemIndex(), -1) << "out of range selects nothing";
  EXPECT_EQ(radioClicks, (std::vector<int>{0, 1, -1}));
  radio.SetItemIndex(1);

  auto& check = f.Get<TCheckBox>("CheckBox1");
  EXPECT_TRUE(check.Checked());
  EXPECT_EQ(SendMessageW(check.WindowHandle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  int checkClicks = 0;
  check.OnClick = [&](TObject*) { ++checkClicks; };
  SendMessageW(check.WindowHandle(), BM_CLICK, 0, 0);
  EXPECT_FALSE(check.Checked());
  EXPECT_EQ(checkClicks, 1);
  check.SetChecked(true);
  EXPECT_EQ(checkClicks, 2);
  check.OnClick = nullptr;

  // Progress bar: the stream's range and position, and positions kept within the range.
  auto& bar = f.Get<TProgressBar>("ProgressBar1");
  HWND barWindow = bar.WindowHandle();
  EXPECT_EQ(SendMessageW(barWindow, PBM_GETPOS, 0, 0), 50);
  EXPECT_EQ(SendMessageW(barWindow, PBM_GETRANGE, FALSE, 0), 200);
  EXPECT_TRUE(GetWindowLongPtrW(barWindow, GWL_STYLE) & PBS_SMOOTH);
  bar.SetPosition(500);
  EXPECT_EQ(bar.Position(), 200);
  EXPECT_EQ(SendMessageW(barWindow, PBM_GETPOS, 0, 0), 200);
  bar.SetPosition(120);
  EXPECT_EQ(SendMessageW(barWindow, PBM_GETPOS, 0, 0), 120);

  auto& tabs = f.Get<TTabControl>("TabControl1");
  EXPECT_EQ(SendMessageW(tabs.WindowHandle(), TCM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(tabs.WindowHandle(), TCM_GETCURSEL, 0, 0), 1);
  EXPECT_GT(tabs.ClientRect().Top, 10) << "controls go below the tabs";

  // Bit buttons: a kind brings its caption and result, a caption of the layout stays.
  auto& ok = f.Get<TBitBtn>("OkBtn");
  auto& yes = f.Get<TBitBtn>("YesBtn");
  auto& cancel = f.Get<TBitBtn>("CancelBtn");
  EXPECT_EQ(ok.Caption(), "OK");
  EXPECT_EQ(ok.ModalResult(), mrOk);
  EXPECT_TRUE(ok.Default());
  EXPECT_EQ(yes.Caption(), "&Yes");
  EXPECT_EQ(yes.ModalResult(), mrYes);
  EXPECT_EQ(cancel.Caption(), "Cancel");
  EXPECT_TRUE(cancel.Cancel());
  EXPECT_EQ(cancel.ModalResult(), mrCancel);
  EXPECT_EQ(cancel.Glyph().Width(), 16);
  EXPECT_EQ(GetWindowLongPtrW(cancel.WindowHandle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  yes.SetKind(bkNo);
  EXPECT_EQ(yes.Caption(), "&No") << "the old kind's caption follows the kind";
  yes.SetKind(bkYes);

  // Pictures: centred at their own size, or stretched over the whole control.
  auto& centre = f.Get<TImage>("CenterImage");
  auto& stretch = f.Get<TImage>("StretchImage");
  EXPECT_EQ(centre.PictureBounds(), (TLayoutRect{40, 45, 40, 30}));
  EXPECT_EQ(stretch.PictureBounds(), (TLayoutRect{10, 120, 100, 60}));

  // What is on screen: pixels of the pictures, the panel and a button glyph.
  RedrawWindow(f.WindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Application().ProcessMessages();
  const TCapture cap = CaptureWindow(f.WindowHandle());
  RECT frame{};
  GetWindowRect(f.WindowHandle(), &frame);
  POINT origin{0, 0};
  ClientToScreen(f.Get<TPanel>("LeftPanel").WindowHandle(), &origin);
  auto panelPixel = [&](int x, int y) {
    const int dpi = f.Dpi();
    return cap.At(origin.x - frame.left + ScaleToDevice(x, dpi), origin.y - frame.top + ScaleToDevice(y, dpi));
  };
  EXPECT_EQ(panelPixel(60, 60), RGB(255, 255, 0)) << "centre of the centred picture";
  EXPECT_EQ(panelPixel(40, 45), RGB(0, 0, 255)) << "its border at the centred place";
  EXPECT_EQ(panelPixel(20, 20), RGB(255, 255, 255)) << "panel colour around it";
  EXPECT_EQ(panelPixel(11, 121), RGB(0, 0, 255)) << "stretched picture's corner";
  EXPECT_EQ(panelPixel(108, 178), RGB(0, 0, 255)) << "stretched to the far corner";
  EXPECT_EQ(panelPixel(60, 150), RGB(255, 255, 0));
  // The glyph's background colour (its bottom-left pixel) is transparent; its cross is drawn.
  int magenta = 0, cross = 0;
  for (std::uint32_t p : cap.Pixels) {
    magenta += p == 0xFF00FF;
    cross += p == 0xC80000;
  }
  EXPECT_EQ(magenta, 0);
  EXPECT_GT(cross, 20);
  EXPECT_TRUE(SavePng(cap, ScreenshotPath("", "controls.png")));
}

// A list view set up before it has a window (a page laid out but not shown) makes none for it, keeps
// its columns, captions and pictures, and gives them to the window once one is made.
TEST_F(ControlsTest, AListViewKeepsItsColumnsAndPicturesUntilItHasAWindow) {
  HIMAGELIST images = comctl::ImageListCreate(16, 16, ILC_COLOR24 | ILC_MASK, 1, 0);
  ASSERT_NE(images, nullptr);
  auto* view = new TListView(nullptr);
  view->AddColumn("Drive", 50);
  view->AddColumn("Required", 120);
  view->SetImages(images, images);
  view->SetColumnCaption(1, "Space Required:");
  EXPECT_FALSE(view->HandleAllocated());
  EXPECT_EQ(view->ColumnCount(), 2);
  EXPECT_EQ(view->ColumnCaption(1), "Space Required:");
  EXPECT_EQ(view->ColumnCaption(2), "");

  view->SetParent(form);
  ASSERT_TRUE(view->HandleAllocated());
  HWND window = view->WindowHandle();
  EXPECT_EQ(Header_GetItemCount(reinterpret_cast<HWND>(SendMessageW(window, LVM_GETHEADER, 0, 0))), 2);
  wchar_t text[64] = {};
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT;
  col.pszText = text;
  col.cchTextMax = 64;
  SendMessageW(window, LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&col));
  EXPECT_EQ(sys::Narrow(text), "Space Required:");
  EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageW(window, LVM_GETIMAGELIST, LVSIL_SMALL, 0)), images);
  EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageW(window, LVM_GETIMAGELIST, LVSIL_STATE, 0)), images);
  view->AddColumn("Available", 120);  // with a window, at once
  EXPECT_EQ(Header_GetItemCount(reinterpret_cast<HWND>(SendMessageW(window, LVM_GETHEADER, 0, 0))), 3);
  delete view;
  comctl::ImageListDestroy(images);
}

// Showing and hiding a window takes seconds under Wine without a window manager: the keys are
// checked on the form still shown by the test before, and only two modal loops are run.
TEST_F(ControlsTest, EnterAndEscPressTheirButtonsAndShowModalEndsWithTheResult) {
  auto& f = *form;
  f.Show();
  EXPECT_THROW(f.ShowModal(), EInvalidOperation) << "a visible form cannot become modal";

  HWND edit = f.Get<TEdit>("Edit1").WindowHandle();
  auto post = [](HWND w, UINT msg, WPARAM wp = 0) { ASSERT_TRUE(PostMessageW(w, msg, wp, 0)); };
  auto window = [&](const char* name) { return f.Get<TWinControl>(name).WindowHandle(); };
  auto pressed = [&](HWND target, WPARAM key) {
    f.SetModalResult(mrNone);
    post(target, WM_KEYDOWN, key);
    Application().ProcessMessages();
    return f.ModalResult();
  };
  EXPECT_EQ(pressed(edit, VK_ESCAPE), mrCancel) << "Esc presses the cancel button";
  EXPECT_EQ(pressed(edit, VK_RETURN), mrOk) << "Enter presses the default button";
  EXPECT_EQ(pressed(window("Memo1"), VK_RETURN), mrNone) << "a memo keeps Enter for itself";
  EXPECT_EQ(pressed(window("YesBtn"), VK_RETURN), mrYes) << "a focused button is pressed by Enter itself";
  f.Get<TButton>("CancelBtn").SetVisible(false);
  EXPECT_EQ(pressed(edit, VK_ESCAPE), mrNone) << "a hidden cancel button is not pressed";
  f.Get<TButton>("CancelBtn").SetVisible(true);
  // Alt+letter: the button marked with "&" is pressed, the label's control focused.
  f.SetModalResult(mrNone);
  post(edit, WM_SYSCHAR, L'a');
  Application().ProcessMessages();
  EXPECT_EQ(f.ModalResult(), mrAbort);
  post(edit, WM_SYSCHAR, L'P');
  Application().ProcessMessages();
  EXPECT_EQ(GetFocus(), window("ListBox1"));
  f.SetModalResult(mrNone);
  f.Hide();

  TForm other(nullptr);
  other.SetBounds(10, 10, 200, 100);
  other.Show();
  bool otherEnabledWhileModal = true;
  f.OnShow = [&](TObject*) { otherEnabledWhileModal = IsWindowEnabled(other.WindowHandle()) != FALSE; };
  // A modal loop that missed its message would wait for ever: end it with a result no button has.
  static TForm* watched;
  watched = &f;
  const UINT_PTR guard = SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) { watched->SetModalResult(-1); });

  post(window("AbortBtn"), BM_CLICK);
  EXPECT_EQ(f.ShowModal(), mrAbort);
  EXPECT_FALSE(otherEnabledWhileModal) << "the program's other windows are disabled";
  EXPECT_TRUE(IsWindowEnabled(other.WindowHandle())) << "and enabled again afterwards";
  EXPECT_FALSE(f.Visible());
  EXPECT_FALSE(IsWindowVisible(f.WindowHandle()));
  f.OnShow = nullptr;

  // Closing the window asks for mrCancel, subject to OnCloseQuery and OnClose; a handler may set
  // the result itself.
  std::vector<int> queries, closes;
  f.OnCloseQuery = [&](TObject*, bool& canClose) {
    queries.push_back(f.ModalResult());
    canClose = queries.size() > 1;
  };
  f.OnClose = [&](TObject*, TCloseAction& action) {
    closes.push_back(f.ModalResult());
    if (closes.size() == 1) action = caNone;
  };
  f.Get<TCheckBox>("CheckBox1").OnClick = [&](TObject*) { f.SetModalResult(mrNo); };
  post(f.WindowHandle(), WM_CLOSE);     // refused by OnCloseQuery
  post(window("OkBtn"), BM_CLICK);      // refused by OnClose
  post(window("CheckBox1"), BM_CLICK);  // closes with the handler's result
  EXPECT_EQ(f.ShowModal(), mrNo);
  EXPECT_EQ(queries, (std::vector<int>{mrCancel, mrOk, mrNo}));
  EXPECT_EQ(closes, (std::vector<int>{mrOk, mrNo}));
  f.OnCloseQuery = nullptr;
  f.OnClose = nullptr;
  f.Get<TCheckBox>("CheckBox1").OnClick = nullptr;
  KillTimer(nullptr, guard);
}

TEST(ControlsLayout, GlyphsPicturesAndLinesArePlacedByPureRules) {
  const RECT client{0, 0, 100, 30};
  // Centred together (margin -1), glyph left of the text with the given spacing.
  TGlyphLayout l = LayoutGlyph(client, {16, 16}, {40, 14}, blGlyphLeft, -1, 4);
  EXPECT_EQ(l.Glyph.left, 20);
  EXPECT_EQ(l.Text.left, 40);
  EXPECT_EQ(l.Glyph.top, 7);
  EXPECT_EQ(l.Text.top, 8);
  // Right layout with a margin: glyph at the far edge, text before it.
  l = LayoutGlyph(client, {16, 16}, {40, 14}, blGlyphRight, 5, 4);
  EXPECT_EQ(l.Glyph.right, 95);
  EXPECT_EQ(l.Text.right, 75);
  // Without a glyph the text is centred and spacing disappears.
  l = LayoutGlyph(client, {0, 0}, {40, 14}, blGlyphLeft, -1, 4);
  EXPECT_EQ(l.Text.left, 30);
  // Top layout stacks vertically.
  l = LayoutGlyph({0, 0, 60, 60}, {16, 16}, {30, 14}, blGlyphTop, -1, 2);
  EXPECT_EQ(l.Glyph.top, 14);
  EXPECT_EQ(l.Text.top, 32);
  EXPECT_EQ(l.Text.left, 15);

  EXPECT_EQ(PictureRect(40, 30, {10, 10, 100, 100}, false, false), (TLayoutRect{10, 10, 40, 30}));
  EXPECT_EQ(PictureRect(40, 30, {10, 10, 100, 100}, true, false), (TLayoutRect{40, 45, 40, 30}));
  EXPECT_EQ(PictureRect(200, 30, {0, 0, 100, 100}, true, false), (TLayoutRect{-50, 35, 200, 30}));
  EXPECT_EQ(PictureRect(40, 30, {10, 10, 100, 100}, true, true), (TLayoutRect{10, 10, 100, 100}));

  EXPECT_EQ(SplitLines("a\r\nb\nc\r"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(SplitLines("").empty());
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb");

  EXPECT_EQ(BitBtnKindCaption(bkCancel), "Cancel");
  EXPECT_EQ(BitBtnKindModalResult(bkAbort), mrAbort);
  EXPECT_EQ(BitBtnKindModalResult(bkClose), mrNone);
  EXPECT_EQ(BitBtnKindModalResult(bkCustom), mrNone);
}

TEST(ControlsLayout, MalformedBitmapsDrawNothingInsteadOfReadingPastTheirEnd) {
  std::string bmp = "BM";
  bmp.append(12, '\0');
  // Info header claiming 100 x 100 at 24 bits with no pixel data behind it.
  const unsigned char info[40] = {40, 0, 0, 0, 100, 0, 0, 0, 100, 0, 0, 0, 1, 0, 24, 0};
  bmp.append(reinterpret_cast<const char*>(info), sizeof info);
  bmp[10] = 54;
  EXPECT_FALSE(TGdiBitmap(bmp));
  bmp.append(100 * 300, '\x7F');  // a full set of rows
  TGdiBitmap ok(bmp);
  EXPECT_TRUE(ok);
  EXPECT_EQ(ok.Width(), 100);
  EXPECT_FALSE(TGdiBitmap(std::string("BM")));
  std::string huge = bmp;
  huge[14] = '\xFF';  // header size beyond the data
  EXPECT_FALSE(TGdiBitmap(huge));
}

}  // namespace
}  // namespace tav
