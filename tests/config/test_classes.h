#pragma once
// Small streamable classes that use every kind of property, for loader tests.
#include <string>
#include <vector>

#include "core/collection.h"
#include "core/graphics.h"
#include "core/properties.h"
#include "core/strings.h"

namespace tav::test {

enum TMode { mdFirst, mdSecond, mdThird };
inline const std::vector<std::string> ModeNames = {"mdFirst", "mdSecond", "mdThird"};
inline const std::vector<std::string> OptionNames = {"opA", "opB", "opC"};

// Records the order of Loaded calls across all test components.
inline std::vector<std::string>& LoadedOrder() {
  static std::vector<std::string> order;
  return order;
}

class TSettings : public TPersistent {
public:
  static const TClassInfo& StaticClassInfo() {
    using P = Props<TSettings>;
    static const TClassInfo info{"TSettings", &TPersistent::StaticClassInfo(), {},
                                 {P::String("Caption", &TSettings::caption, &TSettings::caption),
                                  P::Object("Font", [](TSettings& s) { return &s.font; })}};
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  std::string caption;
  TFont font;
};

class TEntryItem : public TCollectionItem {
public:
  using TCollectionItem::TCollectionItem;
  static const TClassInfo& StaticClassInfo() {
    using P = Props<TEntryItem>;
    static const TClassInfo info{"TEntryItem", &TCollectionItem::StaticClassInfo(), {},
                                 {P::String("Key", &TEntryItem::key, &TEntryItem::key),
                                  P::Integer("Size", &TEntryItem::size, &TEntryItem::size, 0)}};
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  std::string key;
  int size = 0;
};

class TThing : public TComponent {
public:
  explicit TThing(TComponent* owner)
      : TComponent(owner),
        entries(TEntryItem::StaticClassInfo(), [](TCollection* c) { return new TEntryItem(c); }) {}
  static const TClassInfo& StaticClassInfo() {
    using P = Props<TThing>;
    static const TClassInfo info = MakeClassInfo<TThing, TComponent>(
        "TThing",
        {P::Integer("Count", &TThing::count, &TThing::SetCount, 3),
         P::Integer("Color", &TThing::color, &TThing::color, clWindow, &ColorIdents),
         P::Boolean("Enabled", &TThing::enabled, &TThing::enabled, true),
         P::Enum("Mode", ModeNames, &TThing::mode, &TThing::mode, mdFirst),
         P::Set("Options", OptionNames, &TThing::options, &TThing::options, 0),
         P::Float("Ratio", &TThing::ratio, &TThing::ratio, 0.0L),
         P::String("Text", &TThing::text, &TThing::text),
         P::Binary("Blob", &TThing::blob, &TThing::blob),
         P::Reference<TThing>("Partner", &TThing::partner, &TThing::SetPartner),
         P::Object("Lines", [](TThing& t) { return &t.lines; }),
         P::Object("Settings", [](TThing& t) { return &t.settings; }),
         P::Object("Picture", [](TThing& t) { return &t.picture; }),
         P::Collection("Entries", [](TThing& t) { return &t.entries; }),
         P::Event("OnPing", &TThing::OnPing)});
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // The setter's side effect happens only after loading, as for every component.
  void SetCount(int v) {
    count = v;
    if (!HasState(csLoading)) ++countSideEffects;
  }
  void SetPartner(TThing* p) {
    partner = p;
    if (p) p->FreeNotification(this);
  }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == partner) partner = nullptr;
  }
  void Loaded() override {
    TComponent::Loaded();
    LoadedOrder().push_back(Name());
    partnerAtLoaded = partner ? partner->Name() : "";
  }

  int count = 3;
  int countSideEffects = 0;
  int color = clWindow;
  bool enabled = true;
  TMode mode = mdFirst;
  std::int64_t options = 0;
  long double ratio = 0;
  std::string text, blob;
  TThing* partner = nullptr;
  std::string partnerAtLoaded;
  TStringList lines;
  TSettings settings;
  TPicture picture;
  TCollection entries;
  std::function<void(TThing&, int)> OnPing;
};

// The root of the test forms.
class TTestForm : public TThing {
public:
  using TThing::TThing;
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info = MakeClassInfo<TTestForm, TThing>("TTestForm", {});
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

inline void RegisterTestClasses() {
  RegisterClass(TThing::StaticClassInfo());
  RegisterClass(TTestForm::StaticClassInfo());
}

}  // namespace tav::test
