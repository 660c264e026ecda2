#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/application.h"

namespace tav {
namespace {

std::vector<std::string> Children(const TComponent& c, const TComponent& root) {
  std::vector<std::string> names;
  c.GetChildren([&](TComponent* child) { names.push_back(child->Name()); }, &root);
  return names;
}

TEST(UiStreaming, ControlsNestUnderTheirParentAndOwnedComponentsUnderTheRoot) {
  TForm form(nullptr);
  form.SetName("Form1");
  auto* panel = new TWinControl(&form);
  panel->SetName("Panel1");
  auto* label = new TControl(&form);
  label->SetName("Label1");
  auto* plain = new TComponent(&form);
  plain->SetName("Install1");
  auto* button = new TWinControl(&form);
  button->SetName("Button1");
  // As a stream does it: the record nested in Panel1's gets Panel1 as parent.
  panel->SetParentComponent(&form);
  label->SetParentComponent(panel);
  button->SetParentComponent(&form);

  EXPECT_TRUE(label->HasParent());
  EXPECT_EQ(label->GetParentComponent(), panel);
  EXPECT_EQ(Children(form, form), (std::vector<std::string>{"Panel1", "Button1", "Install1"}));
  EXPECT_EQ(Children(*panel, form), (std::vector<std::string>{"Label1"}));
  EXPECT_FALSE(form.HasParent()) << "a form is written as the root";

  // Only a windowed control can hold others, and never its own ancestor.
  EXPECT_THROW(button->SetParentComponent(label), EComponentError);
  EXPECT_THROW(panel->SetParentComponent(panel), EComponentError);
  EXPECT_EQ(button->Parent(), &form) << "a refused parent leaves the old one";

  // Moving a control, and destroying a parent takes its controls along.
  label->SetParent(button);
  EXPECT_EQ(Children(*panel, form).size(), 0u);
  EXPECT_EQ(button->ControlCount(), 1);
  delete button;
  EXPECT_EQ(form.FindComponent("Label1"), nullptr);
  EXPECT_EQ(form.ControlCount(), 1);
}

TEST(UiStreaming, PropertyTablesCarryTheNamesStreamsUse) {
  const TClassInfo& info = TForm::StaticClassInfo();
  struct Expect {
    const char* name;
    TPropKind kind;
  };
  for (const Expect& e : {Expect{"Left", pkInteger}, {"Width", pkInteger}, {"ClientWidth", pkInteger},
                          {"Caption", pkString}, {"Color", pkInteger}, {"Font", pkPersistent},
                          {"Align", pkEnum}, {"Position", pkEnum}, {"WindowState", pkEnum},
                          {"BorderStyle", pkEnum}, {"BorderIcons", pkSet}, {"Cursor", pkInteger},
                          {"TabOrder", pkInteger}, {"OnActivate", pkEvent}, {"OnClose", pkEvent},
                          {"OnCreate", pkEvent}, {"Tag", pkInteger}}) {
    const TPropInfo* p = info.FindProperty(e.name);
    ASSERT_NE(p, nullptr) << e.name;
    EXPECT_EQ(p->Kind, e.kind) << e.name;
  }

  TForm form(nullptr);
  // Through the table as a loader sets them.
  info.FindProperty("Position")->SetOrd(form, poScreenCenter);
  EXPECT_EQ(form.Position(), poScreenCenter);
  EXPECT_EQ((*info.FindProperty("Position")->Names)[poScreenCenter], "poScreenCenter");
  EXPECT_EQ((*info.FindProperty("WindowState")->Names)[wsMaximized], "wsMaximized");
  EXPECT_EQ((*info.FindProperty("Align")->Names)[alClient], "alClient");
  EXPECT_TRUE(info.FindProperty("Visible")->IsDefault(form)) << "forms are hidden until shown";
  info.FindProperty("Color")->SetOrd(form, clWindow);
  EXPECT_EQ(form.Color(), clWindow);

  bool activated = false;
  info.FindProperty("OnActivate")->SetEvent(form, std::any(TNotifyEvent([&](TObject*) { activated = true; })));
  ASSERT_TRUE(form.OnActivate);
  form.OnActivate(&form);
  EXPECT_TRUE(activated);
  EXPECT_THROW(info.FindProperty("OnClose")->SetEvent(form, std::any(TNotifyEvent())), EPropertyError)
      << "a handler of the wrong type is refused";

  // Cursor idents include the hourglass the installer uses.
  bool hourglass = false;
  for (const TIdentMapEntry& c : *info.FindProperty("Cursor")->Idents)
    hourglass |= std::string(c.Ident) == "crHourGlass" && c.Value == crHourGlass;
  EXPECT_TRUE(hourglass);

  RegisterUiClasses();
  EXPECT_EQ(FindClass("TForm"), &info);
}

TEST(UiStreaming, ClientSizeFromAStreamWaitsForTheBorderStyle) {
  TForm form(nullptr);
  form.SetState(csLoading);
  // Stream order may put the size before the border.
  form.SetClientWidth(470);
  form.SetClientHeight(368);
  form.SetBorderStyle(bsDialog);
  form.Loaded();
  EXPECT_EQ(form.ClientWidth(), 470);
  EXPECT_EQ(form.ClientHeight(), 368);
  form.Show();
  RECT r{};
  GetClientRect(form.WindowHandle(), &r);
  EXPECT_EQ(r.right, ScaleToDevice(470, form.Dpi()));
  EXPECT_EQ(r.bottom, ScaleToDevice(368, form.Dpi()));
  EXPECT_EQ(GetWindowLongPtrW(form.WindowHandle(), GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
}

TEST(UiDpi, DesignUnitsScaleBothWays) {
  EXPECT_EQ(ScaleToDevice(100, 96), 100);
  EXPECT_EQ(ScaleToDevice(100, 144), 150);
  EXPECT_EQ(ScaleToDevice(-11, 120), -14);
  EXPECT_EQ(ScaleToLogical(150, 144), 100);
  for (int v : {0, 1, 7, 52, 136, 368, 478, -600}) {
    for (int dpi : {96, 120, 144, 192}) EXPECT_EQ(ScaleToLogical(ScaleToDevice(v, dpi), dpi), v) << v << "@" << dpi;
  }
}

}  // namespace
}  // namespace tav
