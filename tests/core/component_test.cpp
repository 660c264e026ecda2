#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/classes.h"
#include "core/collection.h"
#include "core/properties.h"
#include "core/strings.h"

using namespace tav;

namespace {

// Holds a reference to another component and clears it when told that component goes away.
class TLinker : public TComponent {
public:
  using TComponent::TComponent;
  static const TClassInfo& StaticClassInfo() {
    static constexpr TPropInfo props[] = {
        Props<TLinker>::Reference<TComponent, &TLinker::Target, &TLinker::SetTarget>("Target"),
    };
    static constexpr TClassInfo info = MakeClassInfo<TLinker, TComponent>("TLinker", props);
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TComponent* Target() const { return target_; }
  void SetTarget(TComponent* t) {
    target_ = t;
    if (t) t->FreeNotification(this);
  }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove && c == target_) target_ = nullptr;
    if (op == opInsert) ++inserts;
  }
  void Loaded() override {
    TComponent::Loaded();
    ++loadedCalls;
  }
  int inserts = 0;
  int loadedCalls = 0;

private:
  TComponent* target_ = nullptr;
};

TEST(Component, OwnerDestroysWhatItOwnsAndChildrenLeaveTheirOwner) {
  auto root = std::make_unique<TComponent>(nullptr);
  auto* a = new TComponent(root.get());
  auto* b = new TComponent(root.get());
  a->SetName("A");
  b->SetName("B");
  ASSERT_EQ(root->ComponentCount(), 2);
  delete a;
  EXPECT_EQ(root->ComponentCount(), 1);
  EXPECT_EQ(root->Components(0), b);
  EXPECT_EQ(root->FindComponent("b"), b);
  EXPECT_THROW(root->Components(5), EListError);
  root.reset();  // deletes b; ASan reports a leak or double free if ownership is wrong
}

TEST(Component, NamesAreIdentifiersUniqueWithinTheOwnerWithoutRegardToCase) {
  TComponent root(nullptr);
  auto* a = new TComponent(&root);
  auto* b = new TComponent(&root);
  a->SetName("Install1");
  EXPECT_THROW(b->SetName("INSTALL1"), EComponentError);
  EXPECT_THROW(b->SetName("1abc"), EComponentError);
  EXPECT_THROW(b->SetName("has space"), EComponentError);
  EXPECT_EQ(b->Name(), "");
  b->SetName("_ok2");
  a->SetName("INSTALL1");  // renaming itself in another case is fine
  EXPECT_EQ(a->Name(), "INSTALL1");
  TComponent other(nullptr);
  auto* c = new TComponent(&other);
  c->SetName("_OK2");
  EXPECT_THROW(root.InsertComponent(c), EComponentError);
  EXPECT_EQ(c->Owner(), &other);
}

TEST(Component, ManyChildrenAreFoundByNameThroughRenamesRemovalsAndOwnerChanges) {
  TComponent root(nullptr);
  std::vector<TComponent*> kids;
  for (int i = 0; i < 100; ++i) {
    kids.push_back(new TComponent(&root));
    kids.back()->SetName("Item" + std::to_string(i));
  }
  EXPECT_EQ(root.FindComponent("ITEM42"), kids[42]);
  EXPECT_THROW(kids[1]->SetName("item2"), EComponentError);
  kids[7]->SetName("Renamed");
  EXPECT_EQ(root.FindComponent("item7"), nullptr);
  EXPECT_EQ(root.FindComponent("renamed"), kids[7]);
  kids[8]->SetName("Item7");  // the old name is free again
  EXPECT_EQ(root.FindComponent("ITEM7"), kids[8]);
  kids[9]->SetName("");
  EXPECT_EQ(root.FindComponent("Item9"), nullptr);
  delete kids[50];
  EXPECT_EQ(root.FindComponent("Item50"), nullptr);
  auto* fresh = new TComponent(&root);
  fresh->SetName("Item50");
  EXPECT_EQ(root.FindComponent("item50"), fresh);

  // Taken by another owner, the name goes with it; a name taken there refuses the move.
  TComponent other(nullptr);
  other.InsertComponent(kids[60]);
  EXPECT_EQ(root.FindComponent("Item60"), nullptr);
  EXPECT_EQ(other.FindComponent("item60"), kids[60]);
  auto* clash = new TComponent(&other);
  clash->SetName("Item61");
  EXPECT_THROW(other.InsertComponent(kids[61]), EComponentError);
  EXPECT_EQ(root.FindComponent("Item61"), kids[61]);
}

TEST(Component, ReferencesAreClearedWhenTheTargetIsDestroyed) {
  TComponent root(nullptr);
  auto* linker = new TLinker(&root);
  auto* target = new TComponent(&root);
  linker->SetTarget(target);
  delete target;  // sibling: told through the owner
  EXPECT_EQ(linker->Target(), nullptr);

  // A target on another owner is reached through FreeNotification only.
  auto* foreign = new TComponent(nullptr);
  linker->SetTarget(foreign);
  delete foreign;
  EXPECT_EQ(linker->Target(), nullptr);

  // And the linker going first must not leave the target pointing at freed memory.
  auto* survivor = new TComponent(nullptr);
  linker->SetTarget(survivor);
  delete linker;
  delete survivor;  // would touch the dead linker if its registration stayed behind
}

TEST(Component, OwnerIsToldOfInsertionAndStateFlagsAreIndependent) {
  TLinker owner(nullptr);
  new TComponent(&owner);
  new TComponent(&owner);
  EXPECT_EQ(owner.inserts, 2);
  owner.SetState(csLoading);
  owner.SetState(csDesigning);
  EXPECT_TRUE(owner.HasState(csLoading));
  owner.Loaded();
  EXPECT_FALSE(owner.HasState(csLoading));
  EXPECT_TRUE(owner.HasState(csDesigning));
  EXPECT_EQ(owner.loadedCalls, 1);
}

TEST(Component, PropertiesAreFoundThroughAncestorsWithoutRegardToCase) {
  const TClassInfo& info = TLinker::StaticClassInfo();
  ASSERT_NE(info.FindProperty("target"), nullptr);
  ASSERT_NE(info.FindProperty("TAG"), nullptr);
  EXPECT_EQ(info.FindProperty("Nope"), nullptr);
  EXPECT_TRUE(info.InheritsFrom(TComponent::StaticClassInfo()));
  EXPECT_FALSE(TComponent::StaticClassInfo().InheritsFrom(info));
  // Create makes an owned instance of the right class.
  TComponent root(nullptr);
  TComponent* made = info.Create(&root);
  EXPECT_EQ(made->ClassName(), "TLinker");
  EXPECT_EQ(made->Owner(), &root);
}

TEST(Component, RegistryFindsClassesByNameAndHandlersByNameAndType) {
  RegisterClass(TLinker::StaticClassInfo());
  EXPECT_EQ(FindClass("tlinker"), &TLinker::StaticClassInfo());
  EXPECT_EQ(FindClass("TUnknownThing"), nullptr);

  int calls = 0;
  RegisterHandler<void(TComponent&)>("Handler1", [&](TComponent&) { ++calls; });
  std::type_index type = typeid(void);
  const std::any* h = FindHandler("HANDLER1", &type);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(type, std::type_index(typeid(std::function<void(TComponent&)>)));
  TComponent c(nullptr);
  std::any_cast<std::function<void(TComponent&)>>(*h)(c);
  EXPECT_EQ(calls, 1);
  UnregisterHandler("Handler1");
  EXPECT_EQ(FindHandler("Handler1"), nullptr);
}

TEST(StringList, ChangeHooksFireOncePerOperationAndOncePerUpdate) {
  TStringList list;
  int changing = 0, changed = 0;
  list.OnChanging = [&](TStringList&) { ++changing; };
  list.OnChange = [&](TStringList& l) {
    ++changed;
    EXPECT_EQ(l.UpdateCount(), 0);
  };
  list.Add("b");
  list.Insert(0, "a");
  list.Move(0, 1);
  EXPECT_EQ(list.Text(), "b\r\na\r\n");
  list.Delete(0);
  TStringList other;
  other.SetText("x\ny\r\nz");
  list.Assign(other);
  list.Clear();
  // Add, Insert, Move, Delete, Assign, Clear: one notification each.
  EXPECT_EQ(changing, 6);
  EXPECT_EQ(changed, 6);
  list.Clear();  // nothing to clear, nothing to tell
  EXPECT_EQ(changed, 6);
  EXPECT_THROW(list.Delete(0), EStringListError);
  EXPECT_THROW(list.Insert(2, "x"), EStringListError);
}

TEST(StringList, SortedListsKeepOrderAndHandleDuplicates) {
  TStringList list;
  list.SetSorted(true);
  for (const char* s : {"pear", "Apple", "fig", "apple"}) list.Add(s);
  EXPECT_EQ(list.Count(), 3);  // duplicates ignored, compared without regard to case
  EXPECT_EQ(list[0], "Apple");
  EXPECT_EQ(list[2], "pear");
  EXPECT_EQ(list.IndexOf("FIG"), 1);
  EXPECT_EQ(list.Add("banana"), 1);  // where it went, not the end
  EXPECT_EQ(list.Add("APPLE"), 0);   // already there
  list.Delete(1);
  EXPECT_THROW(list.Insert(0, "x"), EStringListError);
  list.SetDuplicates(dupError);
  EXPECT_THROW(list.Add("PEAR"), EStringListError);
  list.SetDuplicates(dupAccept);
  list.Add("PEAR");
  EXPECT_EQ(list.Count(), 4);
}

TEST(StringList, NameValuePairs) {
  TStringList list;
  list.SetValues("Path", "C:\\x=y");
  list.Add("Other=1");
  EXPECT_EQ(list.Values("path"), "C:\\x=y");
  EXPECT_EQ(list.Names(1), "Other");
  list.SetValues("Path", "");
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.IndexOfName("Missing"), -1);
}

class TEntry : public TCollectionItem {
public:
  using TCollectionItem::TCollectionItem;
  static const TClassInfo& StaticClassInfo() {
    static constexpr TPropInfo props[] = {
        Props<TEntry>::String<&TEntry::value, &TEntry::value>("Value"),
    };
    static constexpr TClassInfo info = MakeClassInfo<TEntry, TCollectionItem>("TEntry", props);
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void Assign(const TPersistent& source) override { CopyPublishedProperties(source, *this); }
  std::string value;
};

TEST(Collection, ItemsKnowTheirIndexAndAssignCopiesPublishedProperties) {
  auto factory = [](TCollection* c) -> TCollectionItem* { return new TEntry(c); };
  TCollection a(TEntry::StaticClassInfo(), factory);
  int changes = 0;
  a.OnChange = [&](TCollection&) { ++changes; };
  static_cast<TEntry*>(a.Add())->value = "one";
  static_cast<TEntry*>(a.Add())->value = "two";
  a.Items(1)->SetIndex(0);
  EXPECT_EQ(static_cast<TEntry*>(a.Items(0))->value, "two");
  EXPECT_EQ(a.Items(0)->Index(), 0);
  EXPECT_EQ(changes, 3);

  TCollection b(TEntry::StaticClassInfo(), factory);
  b.Assign(a);
  ASSERT_EQ(b.Count(), 2);
  EXPECT_EQ(static_cast<TEntry*>(b.Items(1))->value, "one");
  delete b.Items(0);
  EXPECT_EQ(b.Count(), 1);
  EXPECT_THROW(b.Items(3), EListError);
  TStringList notACollection;
  EXPECT_THROW(b.Assign(notACollection), EConvertError);
}

}  // namespace
