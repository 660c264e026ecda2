#include <gtest/gtest.h>

#include "config/binary_form.h"
#include "config/form_loader.h"
#include "config/form_values.h"
#include "config/text_form.h"
#include "test_classes.h"

using namespace tav;
using namespace tav::config;
using tav::test::TTestForm;
using tav::test::TThing;

namespace {

class FormLoader : public ::testing::Test {
protected:
  void SetUp() override {
    tav::test::RegisterTestClasses();
    tav::test::LoadedOrder().clear();
    RegisterHandler<void(TThing&, int)>("PingHandler", [this](TThing&, int v) { pinged += v; });
  }
  void TearDown() override { UnregisterHandler("PingHandler"); }

  static std::unique_ptr<TTestForm> Load(const std::string& text) {
    auto form = std::make_unique<TTestForm>(nullptr);
    LoadForm(*form, ReadTextForm(text));
    return form;
  }
  static TThing* Child(TComponent& root, const char* name) {
    return dynamic_cast<TThing*>(root.FindComponent(name));
  }
  int pinged = 0;
};

const char* const kFullForm = R"(object Form: TTestForm
  Count = 7
  Partner = Second
  object First: TThing
    Count = 100000
    Color = clRed
    Enabled = False
    Mode = mdThird
    Options = [opA, opC]
    Ratio = 2.5
    Text = 'caf'#233
    Blob = {0001FF}
    Partner = Second
    Lines.Strings = (
      'one'
      'two')
    Settings.Caption = 'nested'
    Settings.Font.Height = -16
    Settings.Font.Style = [fsBold]
    Entries = <
      item
        Key = 'a'
        Size = 1
      end
      item
        Key = 'b'
      end>
    OnPing = PingHandler
  end
  object Second: TThing
  end
end
)";

TEST_F(FormLoader, SetsEveryKindOfPropertyAndResolvesForwardReferences) {
  auto form = Load(kFullForm);
  TThing* first = Child(*form, "First");
  TThing* second = Child(*form, "Second");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(form->count, 7);
  EXPECT_EQ(first->count, 100000);
  EXPECT_EQ(first->color, 0x0000FF);
  EXPECT_FALSE(first->enabled);
  EXPECT_EQ(first->mode, tav::test::mdThird);
  EXPECT_EQ(first->options, 0b101);
  EXPECT_EQ(first->ratio, 2.5L);
  EXPECT_EQ(first->text, "caf\xC3\xA9");  // Windows-1252 in the stream, UTF-8 inside
  EXPECT_EQ(first->blob, std::string("\x00\x01\xFF", 3));
  EXPECT_EQ(first->partner, second);
  EXPECT_EQ(form->partner, second);
  EXPECT_EQ(first->lines.ToVector(), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(first->settings.caption, "nested");
  EXPECT_EQ(first->settings.font.Height(), -16);
  EXPECT_EQ(first->settings.font.Style(), 1u << fsBold);
  ASSERT_EQ(first->entries.Count(), 2);
  EXPECT_EQ(static_cast<tav::test::TEntryItem*>(first->entries.Items(1))->key, "b");
  ASSERT_TRUE(first->OnPing);
  first->OnPing(*first, 5);
  EXPECT_EQ(pinged, 5);
  EXPECT_EQ(first->EventHandlerName("OnPing"), "PingHandler");
  // A component written without properties comes up with its class defaults.
  EXPECT_EQ(second->count, 3);
  EXPECT_EQ(second->color, clWindow);
  EXPECT_TRUE(second->enabled);
}

TEST_F(FormLoader, LoadedRunsAfterFixupsInReadingOrderRootFirstAndSettersOnlyStoreWhileLoading) {
  auto form = Load(kFullForm);
  EXPECT_EQ(tav::test::LoadedOrder(), (std::vector<std::string>{"Form", "First", "Second"}));
  TThing* first = Child(*form, "First");
  EXPECT_EQ(first->partnerAtLoaded, "Second");
  EXPECT_EQ(form->partnerAtLoaded, "Second");
  EXPECT_EQ(first->countSideEffects, 0);
  EXPECT_FALSE(first->HasState(csLoading));
  first->SetCount(8);
  EXPECT_EQ(first->countSideEffects, 1);
  // The reference is dropped when its target goes.
  delete Child(*form, "Second");
  EXPECT_EQ(first->partner, nullptr);
  EXPECT_EQ(form->partner, nullptr);
}

// Two forms of one class under one owner: the second gets the next free name instead of failing.
TEST_F(FormLoader, ASecondFormUnderTheSameOwnerGetsTheNextFreeName) {
  TComponent owner(nullptr);
  const ObjectRecord record = ReadTextForm("object Form: TTestForm\nend\n");
  std::vector<std::string> names;
  for (int i = 0; i < 3; ++i) {
    auto* form = new TTestForm(&owner);
    LoadForm(*form, record);
    names.push_back(form->Name());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Form", "Form_1", "Form_2"}));
  delete owner.FindComponent("Form_1");
  auto* again = new TTestForm(&owner);
  LoadForm(*again, record);
  EXPECT_EQ(again->Name(), "Form_1");
}

TEST_F(FormLoader, AcceptsAnyIntegerTagWhereAnIntegerIsExpected) {
  for (ValueType type : {ValueType::Int8, ValueType::Int16, ValueType::Int32, ValueType::Int64}) {
    ObjectRecord root;
    root.className = "TTestForm";
    root.name = "Form";
    Value v;
    v.type = type;
    v.integer = 42;
    root.properties.push_back(Property{"Count", v});
    TTestForm form(nullptr);
    LoadForm(form, root);
    EXPECT_EQ(form.count, 42);
  }
}

// Through the whole record and through the binary stream read child by child, as the setup program
// loads its project: the same error, and nothing left in the loading state.
void ExpectLoadError(const std::string& text, const std::string& fragment) {
  for (const bool stream : {false, true}) {
    TTestForm form(nullptr);
    try {
      if (stream)
        LoadFormFromStream(form, WriteBinaryForm(ReadTextForm(text)));
      else
        LoadForm(form, ReadTextForm(text));
      ADD_FAILURE() << "no error for: " << text << (stream ? " (stream)" : "");
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.Message()).find(fragment), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(form.HasState(csLoading));
    for (int i = 0; i < form.ComponentCount(); ++i) EXPECT_FALSE(form.Components(i)->HasState(csLoading));
  }
}

TEST_F(FormLoader, BadStreamsFailWithTheComponentAndPropertyNamed) {
  ExpectLoadError("object Form: TTestForm\n  object A: TNoSuchClass\n  end\nend\n", "TNoSuchClass");
  ExpectLoadError("object Form: TTestForm\n  object A: TThing\n    Nope = 1\n  end\nend\n", "A.Nope");
  ExpectLoadError("object Form: TTestForm\n  Settings.Font.Nope = 1\nend\n", "Form.Settings.Font.Nope");
  ExpectLoadError("object Form: TTestForm\n  Mode = mdFourth\nend\n", "Invalid property value");
  ExpectLoadError("object Form: TTestForm\n  Count = 'text'\nend\n", "Form.Count");
  ExpectLoadError("object Form: TTestForm\n  Color = clNoSuchColour\nend\n", "Form.Color");
  ExpectLoadError("object Form: TTestForm\n  Options = [opA, opZ]\nend\n", "Form.Options");
  ExpectLoadError("object Form: TTestForm\n  Partner = Missing\nend\n", "Missing");
  ExpectLoadError("object Form: TTestForm\n  OnPing = NoSuchHandler\nend\n", "NoSuchHandler");
  ExpectLoadError("object Form: TTestForm\n  object A: TThing\n  end\n  object a: TThing\n  end\nend\n", "already exists");
  ExpectLoadError("object Form: TThing\nend\n", "TThing");
  // A reference must name a component of the property's class.
  RegisterClass(TComponent::StaticClassInfo());
  ExpectLoadError("object Form: TTestForm\n  Partner = Plain\n  object Plain: TComponent\n  end\nend\n", "Plain");
}

TEST_F(FormLoader, SavedFormsReloadToTheSameStateAndOmitDefaults) {
  auto form = Load(kFullForm);
  const ObjectRecord saved = SaveForm(*form);
  const std::string bytes = WriteBinaryForm(saved);
  TTestForm again(nullptr);
  LoadFormFromStream(again, bytes);
  EXPECT_EQ(WriteBinaryForm(SaveForm(again)), bytes);
  EXPECT_EQ(WriteTextForm(SaveForm(again)), WriteTextForm(saved));

  // Second has nothing but defaults: only the font, whose properties have no default, is written.
  ASSERT_EQ(saved.children.size(), 2u);
  ASSERT_FALSE(saved.children[1].properties.empty());
  for (const Property& p : saved.children[1].properties) EXPECT_EQ(p.name.rfind("Settings.Font.", 0), 0u) << p.name;
  // The writer's rules: smallest integer tag, LString beyond 255 bytes, WString when 8 bits cannot hold it.
  TThing* first = Child(again, "First");
  first->text = std::string(300, 'x');
  first->settings.caption = "\xE2\x82\xAC";        // the euro sign exists in Windows-1252
  first->lines.SetStrings({"\xE4\xB8\xAD"});  // a CJK character does not
  const ObjectRecord changed = SaveForm(again);
  auto find = [&](const std::string& name) -> const Value& {
    for (const Property& p : changed.children[0].properties) {
      if (p.name == name) return p.value;
    }
    throw std::runtime_error("missing " + name);
  };
  EXPECT_EQ(find("Count").type, ValueType::Int32);
  EXPECT_EQ(find("Text").type, ValueType::LString);
  EXPECT_EQ(find("Settings.Caption").type, ValueType::String);
  EXPECT_EQ(find("Settings.Caption").bytes, "\x80");
  EXPECT_EQ(find("Lines.Strings").items.at(0).type, ValueType::WString);
  EXPECT_EQ(find("Color").type, ValueType::Ident);
  TTestForm third(nullptr);
  LoadForm(third, changed);
  EXPECT_EQ(Child(third, "First")->lines[0], "\xE4\xB8\xAD");
  EXPECT_EQ(Child(third, "First")->settings.caption, "\xE2\x82\xAC");
}

}  // namespace
