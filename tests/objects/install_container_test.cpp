#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/properties.h"
#include "objects/cmp_TFileContainer.h"
#include "objects/cmp_TInstallContainer.h"
#include "objects/cmp_TInstallRegistry.h"
#include "objects/cmp_TPathSpecifier_base.h"
#include "objects_test_support.h"

using namespace tav;

namespace {

// What the objects below did, in order.
std::vector<std::string> journal;

class TTestFile : public TInstallObject {
public:
  explicit TTestFile(TComponent* owner) : TInstallObject(owner, kindInstallFile) { SetInstallable(true); }
  static const TClassInfo& StaticClassInfo() {
    static constexpr TClassInfo info = MakeClassInfo<TTestFile, TInstallObject>("TTestFile");
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void Install() override {
    journal.push_back("install " + Name());
    TInstallObject::Install();
  }
  void WriteUninstall(const std::string& key) override { journal.push_back("uninstall " + key); }
};

class TTestRegistry : public TInstallObject {
public:
  explicit TTestRegistry(TComponent* owner) : TInstallObject(owner, kindInstallRegistry) { SetInstallable(true); }
};

// Named like the database engine installer, which always goes first.
class TInstallBDE : public TInstallObject {
public:
  explicit TInstallBDE(TComponent* owner) : TInstallObject(owner, kindInstallRegistry) {}
  static const TClassInfo& StaticClassInfo() {
    static constexpr TClassInfo info = MakeClassInfo<TInstallBDE, TInstallObject>("TInstallBDE");
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TKindless : public TInstallObject {
public:
  using TInstallObject::TInstallObject;
};

// A dialog object: records every broadcast it receives.
class TTestDialog : public TInstallObject {
public:
  explicit TTestDialog(TComponent* owner, int answer = 0) : TInstallObject(owner, kindDialog), answer_(answer) {}
  int HandleNotification(TObject* sender, int code, TObject* po) override {
    journal.push_back(std::to_string(code));
    if (auto* m = dynamic_cast<TMessageParameter*>(po)) journal.push_back("text " + m->Text);
    return answer_;
  }

private:
  int answer_;
};

class TTestInstall : public TFileContainer, public TCurrentInstall {
public:
  explicit TTestInstall(TComponent* owner) : TFileContainer(owner) { SetCurrentInstall(this); }
  ~TTestInstall() override {
    if (CurrentInstall() == this) SetCurrentInstall(nullptr);
  }
  std::string ProductName() const override { return "Demo Product"; }
  TInstallContainer* RootContainer() override { return this; }
  const std::string& SourceDirectory() const override { return source_; }
  bool HasSelfExtractSwitch() const override { return false; }
  std::string SelfExtractValue() const override { return ""; }

private:
  std::string source_ = "C:\\Source";
};

class TTestSpecifier : public TCustomPathSpecifier {
public:
  TTestSpecifier(TComponent* owner, TStandardSpecifierRole role, std::string path)
      : TCustomPathSpecifier(owner), role_(role), path_(std::move(path)) {}
  TStandardSpecifierRole StandardRole() const override { return role_; }
  void Validate(TComponent* component) override {
    auto* object = dynamic_cast<TInstallObject*>(component);
    if (role_ == srContainerDestDir && (!object || !object->Container()))
      throw IEPathSpecifier("Cannot use ddContainerDestDir for %s unless you assign a Container", component->Name());
  }
  std::string GetPath(TComponent* component) override {
    Validate(component);
    return path_;
  }

private:
  TStandardSpecifierRole role_;
  std::string path_;
};

class InstallContainerTest : public ::testing::Test {
protected:
  void SetUp() override { journal.clear(); }
  // Installs a provider that hands out the two container specifiers owned by root.
  void ProvideSpecifiers(TComponent& root) {
    destDirSpecifier = new TTestSpecifier(&root, srContainerDestDir, "C:\\Base");
    archiveSpecifier = new TTestSpecifier(&root, srContainerArchiveFile, "D:\\files.1");
    SetStandardSpecifierProvider({[this](TComponent* owner) { ensuredOn.push_back(owner); },
                                  [this](TStandardSpecifierRole role) -> TCustomPathSpecifier* {
                                    if (role == srContainerDestDir) return destDirSpecifier;
                                    if (role == srContainerArchiveFile) return archiveSpecifier;
                                    return nullptr;
                                  }});
  }
  TTestSpecifier* destDirSpecifier = nullptr;
  TTestSpecifier* archiveSpecifier = nullptr;
  std::vector<TComponent*> ensuredOn;
};

std::vector<TInstallObject*> HelpersOf(const TInstallContainer& c) { return c.Helpers(); }

using test::MessageOf;

TEST_F(InstallContainerTest, HelpersSortByKindThenOrderInAnyInsertionSequence) {
  std::array<int, 4> sequence{0, 1, 2, 3};
  do {
    TComponent form(nullptr);
    auto* root = new TFileContainer(&form);
    auto* group = new TFileContainer(&form);
    auto* file1 = new TTestFile(&form);
    auto* file0 = new TTestFile(&form);
    auto* registry = new TTestRegistry(&form);
    file1->SetOrder(1);  // no container yet: keeps -1
    EXPECT_EQ(file1->Order(), -1);
    std::array<TInstallObject*, 4> objects{group, file1, file0, registry};
    // Orders as a stream would have set them, then the objects join one by one.
    file1->SetState(csLoading);
    file1->SetOrder(1);
    file1->ClearState(csLoading);
    file0->SetState(csLoading);
    file0->SetOrder(0);
    file0->ClearState(csLoading);
    for (int i : sequence) objects[i]->SetContainer(root);
    const std::vector<TInstallObject*> expected{group, file0, file1, registry};
    EXPECT_EQ(HelpersOf(*root), expected) << sequence[0] << sequence[1] << sequence[2] << sequence[3];
    EXPECT_EQ(file0->Order(), 0);
    EXPECT_EQ(file1->Order(), 1);
    EXPECT_EQ(registry->Order(), 0);
    EXPECT_EQ(group->Order(), 0);
  } while (std::next_permutation(sequence.begin(), sequence.end()));
}

TEST_F(InstallContainerTest, OrderMinusOneGoesLastOfItsKindAndOrderMovesAnObject) {
  TComponent form(nullptr);
  auto* root = new TFileContainer(&form);
  auto* a = new TTestFile(&form);
  auto* b = new TTestFile(&form);
  auto* reg = new TTestRegistry(&form);
  auto* c = new TTestFile(&form);
  for (TInstallObject* o : {static_cast<TInstallObject*>(a), static_cast<TInstallObject*>(b),
                            static_cast<TInstallObject*>(reg)})
    o->SetContainer(root);
  c->SetContainer(root);
  EXPECT_EQ(HelpersOf(*root), (std::vector<TInstallObject*>{a, b, c, reg}));
  EXPECT_EQ(c->Order(), 2);

  c->SetOrder(0);
  EXPECT_EQ(HelpersOf(*root), (std::vector<TInstallObject*>{c, a, b, reg}));
  EXPECT_EQ(a->Order(), 1);
  EXPECT_EQ(b->Order(), 2);
  a->SetOrder(99);
  EXPECT_EQ(HelpersOf(*root), (std::vector<TInstallObject*>{c, b, a, reg}));
  EXPECT_EQ(a->Order(), 2);

  // The database engine installer is placed first whatever its kind.
  auto* bde = new TInstallBDE(&form);
  bde->SetContainer(root);
  EXPECT_EQ(root->Helper(0), bde);
}

TEST_F(InstallContainerTest, FailedAddHelperChangesNothing) {
  TComponent form(nullptr);
  auto* parent = new TFileContainer(&form);
  parent->SetName("Parent");
  auto* child = new TFileContainer(&form);
  auto* grandchild = new TFileContainer(&form);
  child->SetContainer(parent);
  grandchild->SetContainer(child);

  EXPECT_EQ(MessageOf<IEInstallContainer>([&] { child->SetContainer(grandchild); }), "Circular reference");
  EXPECT_EQ(MessageOf<IEInstallContainer>([&] { child->SetContainer(child); }), "Circular reference");
  EXPECT_EQ(MessageOf<IEInstallContainer>([&] { grandchild->AddHelper(parent); }), "Circular reference");
  EXPECT_EQ(child->Container(), parent);
  EXPECT_EQ(HelpersOf(*parent), std::vector<TInstallObject*>{child});
  EXPECT_EQ(HelpersOf(*child), std::vector<TInstallObject*>{grandchild});
  EXPECT_EQ(grandchild->HelperCount(), 0);

  EXPECT_EQ(MessageOf<IEInstallContainer>([&] { parent->AddHelper(nullptr); }),
            "Cannot add a blank base helper component to Parent");
  auto* kindless = new TKindless(&form);
  EXPECT_EQ(MessageOf<IEInstallContainer>([&] { kindless->SetContainer(parent); }),
            "Class must declare a registered type");
  EXPECT_EQ(kindless->Container(), nullptr);
  EXPECT_EQ(parent->HelperCount(), 1);

  // Adding a helper twice does not list it twice.
  parent->AddHelper(child);
  EXPECT_EQ(parent->HelperCount(), 1);
}

TEST_F(InstallContainerTest, InstallTypesNeverHoldAlwaysWithAnotherMember) {
  struct Case {
    TInstallTypeSet held, assigned, expected;
  };
  const Case cases[] = {
      {{itFull}, {}, {itAlways}},
      {{itFull}, {itFull, itAlways}, {itAlways}},
      {{itAlways}, {itAlways, itCompact}, {itCompact}},
      {{itAlways}, {itAlways}, {itAlways}},
      {{itFull}, {itFull, itCompact}, {itFull, itCompact}},
      {{itAlways}, {itDefault, itCustom}, {itDefault, itCustom}},
  };
  for (const Case& c : cases) {
    TFileContainer object(nullptr);
    object.SetInstallTypes(c.held);
    ASSERT_EQ(object.InstallTypes(), c.held);
    object.SetInstallTypes(c.assigned);
    EXPECT_EQ(object.InstallTypes().Mask(), c.expected.Mask()) << c.held.Mask() << " <- " << c.assigned.Mask();
  }
  TFileContainer object(nullptr);
  object.SetInstallTypesMask(0xFF);  // bits beyond the install types are dropped
  EXPECT_EQ(object.InstallTypes(), (TInstallTypeSet{itFull, itDefault, itCompact, itCustom}));
}

// One object with a dialog attached, in a root whose install type is set for the whole tree.
struct ProcessRig {
  TComponent form{nullptr};
  TFileContainer* root = new TFileContainer(&form);
  TTestFile* file = new TTestFile(&form);
  ProcessRig(TInstallTypeSet types, TInstallType current) {
    file->SetName("File1");
    file->SetContainer(root);
    (new TTestDialog(&form))->SetContainer(file);
    file->SetInstallTypes(types);
    root->SetInstallType(current);
    file->OnBeforeProcess = [](TInstallContainer*) { journal.push_back("before"); };
    file->OnAfterProcess = [](TInstallContainer*) { journal.push_back("after"); };
  }
};

TEST_F(InstallContainerTest, ProcessFollowsIncludeAndInstallTypes) {
  {
    ProcessRig rig({itFull}, itCompact);
    EXPECT_EQ(rig.file->CurrentInstallType(), itCompact);
    EXPECT_FALSE(rig.file->WillInstall());
    rig.file->Process();
    // Included but not of this install type: announced, then skipped.
    EXPECT_EQ(journal, (std::vector<std::string>{"before", "-990", "-999"}));
    EXPECT_FALSE(rig.file->Processed());
  }
  journal.clear();
  {
    ProcessRig rig({itAlways}, itCompact);
    EXPECT_TRUE(rig.file->WillInstall());
    rig.file->Process();
    EXPECT_EQ(journal, (std::vector<std::string>{"before", "-990", "-999", "install File1", "after", "-989"}));
    EXPECT_TRUE(rig.file->Processed());
  }
  journal.clear();
  {
    ProcessRig rig({itFull, itCompact}, itCompact);
    TTestInstall installer(nullptr);  // an installer exists: the uninstall record is written
    rig.file->Process();
    EXPECT_EQ(journal, (std::vector<std::string>{
                           "before", "-990", "-999", "install File1",
                           "uninstall \\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo Product",
                           "after", "-989"}));
  }
  journal.clear();
  {
    ProcessRig rig({itFull}, itCustom);  // under itCustom only Include decides
    EXPECT_TRUE(rig.file->WillInstall());
    rig.file->SetInclude(false);
    EXPECT_FALSE(rig.file->WillInstall());
    rig.file->Process();
    EXPECT_EQ(journal, (std::vector<std::string>{"before", "-990"}));
    EXPECT_FALSE(rig.file->Processed());
  }
}

TEST_F(InstallContainerTest, SilentAbortSkipsOneObjectAndUserAbortEndsTheLoop) {
  TComponent form(nullptr);
  auto* root = new TFileContainer(&form);
  std::vector<TTestFile*> files;
  for (const char* name : {"A", "B", "C"}) {
    files.push_back(new TTestFile(&form));
    files.back()->SetName(name);
    files.back()->SetContainer(root);
  }
  (new TTestDialog(&form))->SetContainer(root);  // not installable: never processed as a helper
  files[1]->OnBeforeProcess = [](TInstallContainer*) { throw EAbort("skip"); };
  root->Process();
  // A file container opens and closes its install step with -992 and -996.
  EXPECT_EQ(journal, (std::vector<std::string>{"-990", "-999", "-992", "install A", "install C", "-996", "-989"}));
  EXPECT_TRUE(files[0]->Processed());
  EXPECT_FALSE(files[1]->Processed());
  EXPECT_TRUE(files[2]->Processed());
  EXPECT_TRUE(root->Processed());

  journal.clear();
  files[1]->OnBeforeProcess = [](TInstallContainer*) { throw EAIUserAbort(); };
  EXPECT_THROW(root->Process(), EAIUserAbort);
  EXPECT_EQ(journal, (std::vector<std::string>{"-990", "-999", "-992", "install A", "-996"}));
}

TEST_F(InstallContainerTest, CompCountOfAndHelperReportBadCalls) {
  TComponent form(nullptr);
  auto* root = new TFileContainer(&form);
  root->SetName("Group1");
  auto* g1 = new TFileContainer(&form);
  auto* file = new TTestFile(&form);
  auto* g2 = new TFileContainer(&form);
  for (TInstallObject* o : {static_cast<TInstallObject*>(g1), static_cast<TInstallObject*>(file),
                            static_cast<TInstallObject*>(g2)})
    o->SetContainer(root);
  EXPECT_EQ(root->Comp(1, TFileContainer::StaticClassInfo()), g2);
  EXPECT_EQ(root->Comp(0, TTestFile::StaticClassInfo()), file);
  EXPECT_EQ(root->CountOf(TInstallObject::StaticClassInfo()), 3);
  EXPECT_EQ(root->FileContainerCount(), 2);
  EXPECT_EQ(root->FileContainerAt(1), g2);
  EXPECT_EQ(MessageOf<IEInstallContainer>([&] { root->Comp(5, TFileContainer::StaticClassInfo()); }),
            "Bad call to the Comp procedure which returns a TInstallObject for a TInstallContainer component. "
            "The parameters are probably reversed. Index: 5, ComponentType: TFileContainer");
  EXPECT_THROW(root->Comp(-1, TFileContainer::StaticClassInfo()), IEInstallContainer);
  EXPECT_EQ(MessageOf<IEInstallContainer>([&] { root->Helper(3); }),
            "Tried to reference a helper component in the following component: Group1. The following index was "
            "used: 3");
  EXPECT_THROW(root->Helper(-1), IEInstallContainer);

  // The class name still lands in the right place of a translated message.
  SetMessageTranslator([](const std::string& english) {
    return english.rfind("Bad call", 0) == 0 ? std::string("Falscher Aufruf: Typ %d, Index %d") : english;
  });
  EXPECT_EQ(MessageOf<IEInstallContainer>([&] { root->Comp(7, TTestFile::StaticClassInfo()); }),
            "Falscher Aufruf: Typ 7, Index TTestFile");
}

TEST_F(InstallContainerTest, DestroyingAContainerDetachesItsHelpers) {
  TComponent form(nullptr);
  ProvideSpecifiers(form);
  auto* root = new TFileContainer(&form);
  auto* group = new TFileContainer(&form);
  auto* a = new TTestFile(&form);
  auto* b = new TTestFile(&form);
  auto* c = new TTestFile(&form);
  group->SetContainer(root);
  for (TTestFile* f : {a, b, c}) f->SetContainer(group);
  ASSERT_EQ(a->DestDirType(), destDirSpecifier);
  EXPECT_EQ(InstallContainers()->IndexOf(root) + 1, InstallContainers()->IndexOf(group));

  delete b;  // a helper goes: the others close up and are renumbered
  EXPECT_EQ(HelpersOf(*group), (std::vector<TInstallObject*>{a, c}));
  EXPECT_EQ(c->Order(), 1);

  delete group;
  EXPECT_EQ(a->Container(), nullptr);
  EXPECT_EQ(c->Container(), nullptr);
  EXPECT_EQ(a->DestDirType(), nullptr);  // the container's directory no longer exists
  EXPECT_EQ(root->HelperCount(), 0);
  EXPECT_EQ(InstallContainers()->IndexOf(group), -1);
  a->SetContainer(root);  // the survivors are usable
  EXPECT_EQ(root->Helper(0), a);

  c->SetContainer(root);
  auto* g = new TFileContainer(&form);
  g->SetContainer(root);
  root->FreeHelpersOf(TTestFile::StaticClassInfo());
  EXPECT_EQ(HelpersOf(*root), std::vector<TInstallObject*>{g});
  EXPECT_EQ(MessageOf<IEContainerList>([] { InstallContainers()->Add(nullptr); }),
            "Cannot add a blank entry to the TInstallContainerList object");
}

TEST_F(InstallContainerTest, ContainerAndDirectorySpecifiers) {
  TComponent form(nullptr);
  auto* root = new TFileContainer(&form);
  auto* file = new TTestFile(&form);
  file->SetDestDir("\\Sub\\");
  file->SetContainer(root);  // no provider: there is no standard specifier
  EXPECT_EQ(file->DestDirType(), nullptr);
  EXPECT_EQ(file->DestDir(), "");
  file->SetContainer(nullptr);

  ProvideSpecifiers(form);
  EXPECT_THROW(file->SetDestDirType(destDirSpecifier), IEPathSpecifier);  // no container to take it from
  file->SetContainer(root);
  EXPECT_EQ(file->DestDirType(), destDirSpecifier);
  file->SetDestDir("\\Sub\\");
  EXPECT_EQ(file->FullDestDir(), "C:\\Base\\Sub");
  file->SetContainer(nullptr);
  EXPECT_EQ(file->DestDirType(), nullptr);
  EXPECT_EQ(file->FullDestDir(), "\\Sub");

  file->SetContainer(root);
  delete destDirSpecifier;  // the reference is cleared, not left dangling
  destDirSpecifier = nullptr;
  EXPECT_EQ(file->DestDirType(), nullptr);

  // A file-related object in a file container takes the container's archive.
  auto* group = new TFileContainer(&form);
  group->SetArchiveFile("x.1");
  group->SetContainer(root);
  EXPECT_EQ(group->ArchiveFileType(), archiveSpecifier);
  group->SetArchiveFile("ignored.1");
  EXPECT_EQ(group->ArchiveFile(), "");
  EXPECT_EQ(group->FullArchiveFile(), "D:\\files.1");
  TComponent other(nullptr);
  auto* plain = new TTestFile(&other);  // not file-related
  group->SetContainer(plain);
  EXPECT_EQ(group->ArchiveFileType(), nullptr);
  group->SetArchiveFile("own.1");
  EXPECT_EQ(group->FullArchiveFile(), "own.1");
  group->SetContainer(nullptr);
}

TEST_F(InstallContainerTest, StatusTextReachesDialogsOnly) {
  TComponent form(nullptr);
  auto* root = new TFileContainer(&form);
  (new TTestDialog(&form, 1))->SetContainer(root);
  (new TTestFile(&form))->SetContainer(root);
  (new TTestDialog(&form, 2))->SetContainer(root);
  root->ShowStatus("Reading file information...");
  root->ClearStatus();
  EXPECT_EQ(journal, (std::vector<std::string>{"-974", "text Reading file information...", "-974",
                                               "text Reading file information...", "-973", "-973"}));
  EXPECT_EQ(root->Broadcast(root, -980, nullptr), 2);  // the last receiver's answer
  TFileContainer empty(nullptr);
  EXPECT_EQ(empty.Broadcast(&empty, -980, nullptr), 0);
}

TEST_F(InstallContainerTest, DesignTimeDefaultsAreWithdrawnOnLoadedUnlessStreamed) {
  TComponent form(nullptr);
  ProvideSpecifiers(form);
  form.SetState(csDesigning);
  auto* installer = new TTestInstall(&form);
  EXPECT_EQ(ensuredOn, std::vector<TComponent*>{&form});

  auto* placed = new TFileContainer(&form);  // as a designer drops it on the form
  EXPECT_TRUE(placed->HasState(csDesigning));
  EXPECT_EQ(placed->Container(), installer);
  EXPECT_EQ(placed->DestDirType(), destDirSpecifier);
  EXPECT_EQ(placed->ArchiveFileType(), archiveSpecifier);
  EXPECT_EQ(installer->Helper(0), placed);

  // Loaded from a stream that held neither Container nor the specifiers: all defaults go.
  placed->SetState(csLoading);
  placed->Loaded();
  EXPECT_EQ(placed->Container(), nullptr);
  EXPECT_EQ(placed->DestDirType(), nullptr);
  EXPECT_EQ(placed->ArchiveFileType(), nullptr);
  EXPECT_EQ(installer->HelperCount(), 0);

  // A stream that names the container and the directory specifier keeps them.
  auto* streamed = new TTestFile(&form);
  streamed->SetState(csLoading);
  streamed->SetContainer(installer);
  streamed->SetDestDirType(destDirSpecifier);
  streamed->Loaded();
  EXPECT_EQ(streamed->Container(), installer);
  EXPECT_EQ(streamed->DestDirType(), destDirSpecifier);
  // The container alone in the stream: the directory specifier was nil when it was saved.
  auto* partly = new TTestFile(&form);
  partly->SetState(csLoading);
  partly->SetContainer(installer);
  partly->Loaded();
  EXPECT_EQ(partly->Container(), installer);
  EXPECT_EQ(partly->DestDirType(), nullptr);

  // At run time nothing is placed by default.
  form.ClearState(csDesigning);
  auto* runtime = new TTestFile(&form);
  EXPECT_EQ(runtime->Container(), nullptr);
  EXPECT_EQ(runtime->DestDirType(), nullptr);
}

TEST_F(InstallContainerTest, StoredOrdersDecidePlacesWhateverTheLoadingSequence) {
  for (bool containerFirst : {false, true}) {
    TComponent form(nullptr);
    ProvideSpecifiers(form);
    auto* root = new TFileContainer(&form);
    auto* reg = new TTestRegistry(&form);
    auto* late = new TTestFile(&form);
    auto* early = new TTestFile(&form);
    auto* group = new TFileContainer(&form);
    const std::vector<std::pair<TInstallObject*, int>> stored{{reg, 4}, {late, 7}, {early, 3}, {group, 0}};
    for (TComponent* c : form.ComponentList()) c->SetState(csLoading);
    for (auto [object, order] : stored) {
      if (containerFirst) object->SetContainer(root);
      object->SetOrder(order);
      object->SetDestDirType(destDirSpecifier);  // stored without a check while loading
    }
    if (!containerFirst) {
      for (auto it = stored.rbegin(); it != stored.rend(); ++it) it->first->SetContainer(root);
    }
    for (TComponent* c : form.ComponentList()) c->Loaded();
    EXPECT_EQ(HelpersOf(*root), (std::vector<TInstallObject*>{group, early, late, reg})) << containerFirst;
    // Loading does not renumber: the stored values survive.
    EXPECT_EQ(early->Order(), 3);
    EXPECT_EQ(late->Order(), 7);
    EXPECT_EQ(reg->Order(), 4);
    EXPECT_EQ(early->DestDirType(), destDirSpecifier);
    root->Renumber();
    EXPECT_EQ(early->Order(), 0);
    EXPECT_EQ(late->Order(), 1);
    EXPECT_EQ(reg->Order(), 0);
  }
}

TEST_F(InstallContainerTest, InstallTypeReachesTheWholeTree) {
  TComponent form(nullptr);
  auto* root = new TFileContainer(&form);
  auto* group = new TFileContainer(&form);
  auto* file = new TTestFile(&form);
  group->SetContainer(root);
  file->SetContainer(group);
  root->SetInstallType(itDefault);
  EXPECT_EQ(root->CurrentInstallType(), itDefault);
  EXPECT_EQ(group->CurrentInstallType(), itDefault);
  EXPECT_EQ(file->CurrentInstallType(), itDefault);
  file->SetName("DeepFile");
  EXPECT_EQ(InstallContainers()->FindByName("deepfile"), file);
}

// Says in the journal when the directory specifier it uses goes.
class TWatchingFile : public TTestFile {
public:
  using TTestFile::TTestFile;
  void Notification(TComponent* component, TOperation operation) override {
    if (operation == opRemove && component && component == DestDirType())
      journal.push_back(Name() + " lost " + component->Name());
    TTestFile::Notification(component, operation);
  }
};

// The helper list as the placing rule builds it, one object at a time, and the numbers Renumber gives.
struct HelperModel {
  std::vector<std::pair<TInstallObject*, int>> list;  // object, the Order it was placed with

  void Place(TInstallObject* obj, int order) {
    Remove(obj);
    std::size_t at = list.size();
    for (std::size_t i = 0; i < list.size(); ++i) {
      const int k = list[i].first->Kind();
      if (k > obj->Kind() || (k == obj->Kind() && order != -1 && list[i].second >= order)) {
        at = i;
        break;
      }
    }
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), {obj, order});
  }
  void Remove(TInstallObject* obj) {
    std::erase_if(list, [&](const auto& e) { return e.first == obj; });
  }
  void Renumber() {
    for (std::size_t i = 0; i < list.size(); ++i) {
      const bool sameKind = i > 0 && list[i - 1].first->Kind() == list[i].first->Kind();
      list[i].second = sameKind ? list[i - 1].second + 1 : 0;
    }
  }
  std::vector<TInstallObject*> Objects() const {
    std::vector<TInstallObject*> r;
    for (const auto& e : list) r.push_back(e.first);
    return r;
  }
  // The first helper whose Order is not the model's, "" when all agree.
  std::string OrderMismatch() const {
    for (const auto& [obj, order] : list)
      if (obj->Order() != order) return obj->Name() + " " + std::to_string(obj->Order()) + " " + std::to_string(order);
    return "";
  }
};

TEST_F(InstallContainerTest, ATreeOfThousandsKeepsItsOrderAndLetsGoOfWhatLeaves) {
  const int before = InstallContainers()->Count();
  auto form = std::make_unique<TComponent>(nullptr);
  ProvideSpecifiers(*form);
  auto* own = new TTestSpecifier(form.get(), srNone, "E:\\Own");
  own->SetName("Own");
  auto* root = new TFileContainer(form.get());
  auto* early = new TFileContainer(form.get());  // freed before its files
  auto* watcher = new TWatchingFile(form.get());
  watcher->SetName("Watcher");
  auto* group = new TFileContainer(form.get());
  for (auto* c : {static_cast<TInstallObject*>(early), static_cast<TInstallObject*>(group)}) c->SetContainer(root);

  // Loaded as from a stream: stored orders, the container before the order for half of them.
  constexpr int kFiles = 3000;
  HelperModel model;
  std::vector<TTestFile*> files;
  group->SetState(csLoading);
  for (int i = 0; i < kFiles; ++i) {
    TInstallObject* obj = nullptr;
    if (i == 1000) obj = new TTestRegistry(form.get());
    if (i == 2000) obj = new TTestDialog(form.get());
    if (!obj) files.push_back(new TTestFile(form.get()));
    if (!obj) obj = files.back();
    obj->SetName("F" + std::to_string(i));
    obj->SetState(csLoading);
    const int order = i % 97 == 5 ? -1 : i % 211 == 7 ? i - 150 : i;
    if (i % 2 == 0) {
      obj->SetContainer(group);
      model.Place(obj, -1);
      obj->SetOrder(order);
    } else {
      obj->SetOrder(order);
      obj->SetContainer(group);
    }
    model.Place(obj, order);
    obj->SetDestDirType(i % 3 == 0 ? static_cast<TCustomPathSpecifier*>(own) : destDirSpecifier);
  }
  group->Loaded();
  for (TTestFile* f : files) f->Loaded();
  ASSERT_EQ(HelpersOf(*group), model.Objects());
  EXPECT_EQ(model.OrderMismatch(), "");  // loading keeps the stored orders

  // Changes at run time renumber as a whole renumbering would.
  group->Renumber();
  model.Renumber();
  EXPECT_EQ(model.OrderMismatch(), "");
  for (TTestFile* gone : {files.back(), files[1500], files.front()}) {
    model.Remove(gone);
    delete gone;
    model.Renumber();
    ASSERT_EQ(HelpersOf(*group), model.Objects());
    EXPECT_EQ(model.OrderMismatch(), "");
  }
  files.pop_back();
  files.erase(files.begin() + 1500);
  files.erase(files.begin());
  files[700]->SetOrder(3);
  model.Place(files[700], 3);
  model.Renumber();
  auto* added = new TTestFile(form.get());
  added->SetContainer(group);
  model.Place(added, -1);
  model.Renumber();
  ASSERT_EQ(HelpersOf(*group), model.Objects());
  EXPECT_EQ(model.OrderMismatch(), "");

  // A specifier freed before its users: they drop it, the others keep theirs.
  delete own;
  int owned = 0;
  for (TTestFile* f : files) {
    if (f->DestDirType() == nullptr) ++owned;
    else ASSERT_EQ(f->DestDirType(), destDirSpecifier) << f->Name();
  }
  EXPECT_EQ(owned, 999);  // every third, less the first file

  // A container freed before its files sets them loose, without its directory.
  std::vector<TTestFile*> loose;
  for (int i = 0; i < 1000; ++i) {
    loose.push_back(new TTestFile(form.get()));
    loose.back()->SetContainer(early);
  }
  ASSERT_EQ(loose[999]->Order(), 999);
  delete early;
  for (TTestFile* f : loose) {
    ASSERT_EQ(f->Container(), nullptr);
    ASSERT_EQ(f->DestDirType(), nullptr);
  }
  EXPECT_EQ(HelpersOf(*root), std::vector<TInstallObject*>{group});

  // Taken down whole: what stays outside lets go of the group and its directory, a member told of a
  // specifier that goes before it is told, and every container leaves the process-wide list.
  auto* late = new TTestSpecifier(form.get(), srNone, "F:\\Late");
  late->SetName("Late");
  watcher->SetDestDirType(late);
  TComponent outside(nullptr);
  auto* stray = new TTestFile(&outside);
  stray->SetContainer(group);
  ASSERT_EQ(stray->DestDirType(), destDirSpecifier);
  journal.clear();
  form.reset();
  EXPECT_EQ(stray->Container(), nullptr);
  EXPECT_EQ(stray->DestDirType(), nullptr);
  EXPECT_EQ(journal, std::vector<std::string>{"Watcher lost Late"});
  EXPECT_EQ(InstallContainers()->Count(), before + 1);  // the stray
}

TEST_F(InstallContainerTest, RegistryEntriesCopiedAtRunTimeLetGoOfTheirSpecifier) {
  // The specifier lives on another owner, so only asking to be told reaches the registry action.
  TComponent elsewhere(nullptr);
  auto* specifier = new TTestSpecifier(&elsewhere, srNone, "C:\\Somewhere");
  TInstallRegistry source(nullptr);
  static_cast<TRegistryEntry*>(source.Entries()->Add())->SetPathSpecifier(specifier);
  TComponent form(nullptr);
  auto* registry = new TInstallRegistry(&form);
  registry->SetEntries(*source.Entries());
  auto* copied = static_cast<TRegistryEntry*>(registry->Entries()->Items(0));
  ASSERT_EQ(copied->PathSpecifier(), specifier);
  static_cast<TRegistryEntry*>(source.Entries()->Items(0))->SetPathSpecifier(nullptr);
  delete specifier;
  EXPECT_EQ(copied->PathSpecifier(), nullptr);
}

}  // namespace
