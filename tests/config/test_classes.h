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
inline constexpr std::string_view kModeNames[] = {"mdFirst", "mdSecond", "mdThird"};
inline constexpr TNameList ModeNames(kModeNames);
inline constexpr std::string_view kOptionNames[] = {"opA", "opB", "opC"};
inline constexpr TNameList OptionNames(kOptionNames);

// Records the order of Loaded calls across all test components.
inline std::vector<std::string>& LoadedOrder() {
  static std::vector<std::string> order;
  return order;
}

class TSettings : public TPersistent {
public:
  static const TClassInfo& StaticClassInfo() {
    using P = Props<TSettings>;
    static constexpr TPropInfo props[] = {
        P::String<&TSettings::caption, &TSettings::caption>("Caption"),
        P::Object<[](TSettings& s) { return &s.font; }>("Font"),
    };
    static constexpr TClassInfo info = MakeClassInfo<TSettings, TPersistent>("TSettings", props);
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
    static constexpr TPropInfo props[] = {
        P::String<&TEntryItem::key, &TEntryItem::key>("Key"),
        P::Integer<&TEntryItem::size, &TEntryItem::size>("Size", 0),
    };
    static constexpr TClassInfo info = MakeClassInfo<TEntryItem, TCollectionItem>("TEntryItem", props);
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
    static constexpr TPropInfo props[] = {
        P::Integer<&TThing::count, &TThing::SetCount>("Count", 3),
        P::Integer<&TThing::color, &TThing::color>("Color", clWindow, &ColorIdents),
        P::Boolean<&TThing::enabled, &TThing::enabled>("Enabled", true),
        P::Enum<&TThing::mode, &TThing::mode>("Mode", ModeNames, mdFirst),
        P::Set<&TThing::options, &TThing::options>("Options", OptionNames, 0),
        P::Float<&TThing::ratio, &TThing::ratio>("Ratio", 0.0L),
        P::String<&TThing::text, &TThing::text>("Text"),
        P::Binary<&TThing::blob, &TThing::blob>("Blob"),
        P::Reference<TThing, &TThing::partner, &TThing::SetPartner>("Partner"),
        P::Object<[](TThing& t) { return &t.lines; }>("Lines"),
        P::Object<[](TThing& t) { return &t.settings; }>("Settings"),
        P::Object<[](TThing& t) { return &t.picture; }>("Picture"),
        P::Collection<TEntryItem, [](TThing& t) { return &t.entries; }>("Entries"),
        P::Event<&TThing::OnPing>("OnPing"),
    };
    static constexpr TClassInfo info = MakeClassInfo<TThing, TComponent>("TThing", props);
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
    static constexpr TClassInfo info = MakeClassInfo<TTestForm, TThing>("TTestForm");
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

inline void RegisterTestClasses() {
  RegisterClass(TThing::StaticClassInfo());
  RegisterClass(TTestForm::StaticClassInfo());
}

}  // namespace tav::test
