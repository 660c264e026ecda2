#include <gtest/gtest.h>

// First: it brings <windows.h> and tames its macros.
#include "paths_support.h"

#include <any>
#include <memory>
#include <string>

#include "core/exceptions_Tavenrik.h"
#include "core/routines_API.h"
#include "objects/cmp_TFileContainer.h"
#include "paths/cmp_TPathSpecifier.h"
#include "paths/routines_ExpandPaths.h"
#include "objects/routines_Registry.h"
#include "sys/registry.h"

using namespace tav;
using pathstest::TTestForm;
using pathstest::TTestInstall;
using pathstest::TTestObject;

namespace {

// A user's refinement of a built-in class.
class TMyProgramFiles : public TpsProgramFiles {
public:
  explicit TMyProgramFiles(TComponent* owner) : TpsProgramFiles(owner) {}
  static const TClassInfo& StaticClassInfo() {
    static constexpr TClassInfo info = MakeClassInfo<TMyProgramFiles, TpsProgramFiles>("TMyProgramFiles");
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

template <class E>
std::string Raised(const std::function<void()>& action) {
  try {
    action();
  } catch (const E& e) {
    return e.Message();
  }
  return "no exception";
}

// Every case starts with no specifier alive and the provider installed.
class Specifiers : public ::testing::Test {
protected:
  Specifiers() { RegisterPathClasses(); }
  void SetUp() override {
    ASSERT_EQ(tav::PathSpecifiers()->Count(), 0);
    ASSERT_EQ(StandardPathSpecifiers()->Count(), 0);
  }
  static TPathSpecifierList& All() { return *tav::PathSpecifiers(); }
  static TStandardPathSpecList& Standard() { return *StandardPathSpecifiers(); }
  template <class T>
  T* Named(const char* name) {
    return dynamic_cast<T*>(form_->FindComponent(name));
  }

  std::unique_ptr<TTestForm> form_ = std::make_unique<TTestForm>();
};

TEST_F(Specifiers, TheFourteenAreCreatedInOrderWithTheirNamesAndDescriptions) {
  const struct {
    const char* name;
    const char* className;
    const char* description;
  } expected[] = {
      {"psBDEDLL", "TpsBDEDLL", "Borland Database Engine DLL Path"},
      {"psCommonFiles", "TpsCommonFiles", "Path of the common files directory under the program files directory"},
      {"psContainerArchiveFile", "TpsContainerArchiveFile", "Path to the archive file of the container"},
      {"psContainerDestDir", "TpsContainerDestDir", "Path of the group (container)"},
      {"psDesktopMenu", "TpsDesktopMenu", "Path of the Desktop"},
      {"psInstallSource", "TpsInstallSource", "Path from which the user ran the install"},
      {"psMainInstall", "TpsMainInstall", "Path of the destination directory of the TInstall"},
      {"psProgramFiles", "TpsProgramFiles", "Path of the program files directory"},
      {"psProgramMenu", "TpsProgramMenu", "Path of the Programs folder under the Start Menu"},
      {"psStartMenu", "TpsStartMenu", "Path of Start Menu"},
      {"psStartupMenu", "TpsStartupMenu", "Path of the Startup folder in the Programs folder under the Start Menu"},
      {"psSystem", "TpsSystem", "Path of system directory"},
      {"psMainArchiveFile", "TpsMainArchiveFile", "Archive containing most or all non-internet installation files"},
      {"psWindow", "TpsWindow", "Path of the Windows directory"},
  };
  Standard().EnsureStandardSpecifiers(form_.get(), true);
  ASSERT_EQ(form_->ComponentCount(), 14);
  ASSERT_EQ(Standard().Count(), 14);
  for (int i = 0; i < 14; ++i) {
    auto* s = static_cast<TCustomPathSpecifier*>(form_->Components(i));
    EXPECT_EQ(s->Name(), expected[i].name);
    EXPECT_EQ(s->ClassName(), expected[i].className);
    EXPECT_EQ(s->GetDescription(), expected[i].description);
    EXPECT_EQ(s->GetDescriptionFor(nullptr), expected[i].description);
    EXPECT_EQ(Standard().Items(i), s);
    // Streams create them by class name.
    ASSERT_NE(FindClass(expected[i].className), nullptr);
    EXPECT_TRUE(FindClass(expected[i].className)->InheritsFrom(TStandardPathSpecifier::StaticClassInfo()));
  }
  EXPECT_NE(FindClass("TPathSpecifier"), nullptr);

  // A complete form gets nothing more, nor does a second form while the first has them all.
  Standard().EnsureStandardSpecifiers(form_.get(), true);
  TTestForm other;
  Standard().EnsureStandardSpecifiers(&other, true);
  EXPECT_EQ(form_->ComponentCount(), 14);
  EXPECT_EQ(other.ComponentCount(), 0);
  Standard().EnsureStandardSpecifiers(nullptr, false);
  EXPECT_EQ(Standard().Count(), 14);

  // Forcing all on the same owner collides with the names there: an error, and nothing is added.
  EXPECT_EQ(Raised<EComponentError>([&] { Standard().EnsureStandardSpecifiers(form_.get(), false); }),
            "A component named psBDEDLL already exists");
  EXPECT_EQ(form_->ComponentCount(), 14);
  EXPECT_EQ(All().Count(), 14);

  form_.reset();
  EXPECT_EQ(All().Count(), 0);
  EXPECT_EQ(Standard().Count(), 0);
}

TEST_F(Specifiers, ContainersOnAFormGetTheSpecifiersFirst) {
  auto* install = new TTestInstall(form_.get());
  install->SetName("Install1");
  ASSERT_EQ(form_->ComponentCount(), 15);
  EXPECT_EQ(form_->Components(0)->Name(), "psBDEDLL");
  EXPECT_EQ(form_->Components(14), install);
  new TFileContainer(form_.get());
  EXPECT_EQ(form_->ComponentCount(), 16);  // nothing missing, nothing new

  // An owner that is not a form gets none.
  TComponent plain(nullptr);
  delete form_.release();
  new TFileContainer(&plain);
  EXPECT_EQ(plain.ComponentCount(), 1);
  EXPECT_EQ(All().Count(), 0);
}

TEST_F(Specifiers, FindByClassTakesTheFirstInstanceOfTheClassOrADescendant) {
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { Standard().FindByClass<TpsProgramFiles>(); }),
            "Could not find the path specifier");
  auto* mine = new TMyProgramFiles(form_.get());
  Standard().EnsureStandardSpecifiers(form_.get(), true);
  EXPECT_EQ(form_->ComponentCount(), 14);  // the descendant stands in for TpsProgramFiles
  EXPECT_EQ(Standard().FindByClass<TpsProgramFiles>(), mine);
  EXPECT_EQ(Standard().FindByClass(TStandardPathSpecifier::StaticClassInfo()), mine);
  EXPECT_EQ(Standard().FindByClass<TpsWindow>(), Named<TpsWindow>("psWindow"));
  EXPECT_EQ(Standard().FindByClass<TpsWindow>()->GetPath(nullptr), WindowsDirectory());

  auto* user = new TPathSpecifier(form_.get());
  EXPECT_EQ(All().IndexOf(user), 14);
  EXPECT_EQ(Standard().IndexOf(user), -1);
  EXPECT_EQ(All().FindByClass(TPathSpecifier::StaticClassInfo()), user);
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { Standard().FindByClass<TPathSpecifier>(); }),
            "Could not find the path specifier");
  EXPECT_EQ(Raised<IEPathSpecifierList>([&] { All().Add(nullptr); }),
            "Tried to add a nil object to the path specifier list");

  // The object model finds the standard ones by role.
  EXPECT_EQ(StandardSpecifier(srContainerDestDir), Named<TCustomPathSpecifier>("psContainerDestDir"));
  EXPECT_EQ(StandardSpecifier(srContainerArchiveFile), Named<TCustomPathSpecifier>("psContainerArchiveFile"));
  EXPECT_EQ(StandardSpecifier(srMainArchiveFile), Named<TCustomPathSpecifier>("psMainArchiveFile"));
  EXPECT_EQ(StandardSpecifier(srInstallSource), Named<TCustomPathSpecifier>("psInstallSource"));
  EXPECT_EQ(StandardSpecifier(srNone), nullptr);
  delete mine;
  EXPECT_THROW(Standard().FindByClass<TpsProgramFiles>(), IEPathSpecifier);
}

TEST_F(Specifiers, UserSpecifierAsksItsNamedHandler) {
  auto* user = new TPathSpecifier(form_.get());
  EXPECT_EQ(user->GetDescription(), "My cool new path specifier");
  const TPropInfo* description = user->ClassInfo().FindProperty("Description");
  ASSERT_NE(description, nullptr);
  EXPECT_TRUE(description->IsDefault(*user));
  description->SetText(*user, "Data folder");
  EXPECT_EQ(user->GetDescription(), "Data folder");

  auto* object = new TTestObject(form_.get());
  object->SetName("Data1");
  object->SetDestDirType(user);
  object->SetDestDir("\\Data\\");
  EXPECT_EQ(object->FullDestDir(), "\\Data");  // no handler: the path is empty

  RegisterHandler<void(TComponent*, std::string&)>(
      "GetDataPath", [](TComponent* c, std::string& path) { path = "E:\\Shared\\" + c->Name(); });
  std::type_index type = typeid(void);
  const std::any* handler = FindHandler("GetDataPath", &type);
  ASSERT_NE(handler, nullptr);
  const TPropInfo* event = user->ClassInfo().FindProperty("OnGetPath");
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(event->HandlerType(), type);
  event->SetEvent(*user, *handler);
  EXPECT_EQ(object->FullDestDir(), "E:\\Shared\\Data1\\Data");
  UnregisterHandler("GetDataPath");
}

TEST_F(Specifiers, ContainerSpecifiersNeedAnInstallObjectWithTheRightContainer) {
  Standard().EnsureStandardSpecifiers(form_.get(), true);
  auto* destDir = Named<TpsContainerDestDir>("psContainerDestDir");
  auto* archive = Named<TpsContainerArchiveFile>("psContainerArchiveFile");

  EXPECT_EQ(Raised<IEPathSpecifier>([&] { destDir->Validate(form_->Components(0)); }),
            "psBDEDLL must be a TInstallObject to use the psContainerDestDir path specifier");
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { archive->GetPath(nullptr); }),
            " must be a TInstallObject to use the psContainerArchiveFile path specifier");

  auto* file = new TTestObject(form_.get());
  file->SetName("File1");
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { file->SetDestDirType(destDir); }),
            "Cannot use ddContainerDestDir for File1 unless you assign a Container");
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { archive->Validate(file); }),
            "Cannot use ddContainerArchiveFile for File1 unless you assign a Container");
  EXPECT_EQ(destDir->GetDescriptionFor(file), "Path of the group (container)");

  // A container that is not file-related serves destinations but not archives.
  auto* holder = new TTestObject(form_.get());
  holder->SetName("Holder");
  holder->SetDestDir("C:\\Holder\\");
  file->SetContainer(holder);
  EXPECT_EQ(file->DestDirType(), destDir);  // given by the object model on SetContainer
  file->SetDestDir("\\Sub");
  EXPECT_EQ(file->FullDestDir(), "C:\\Holder\\Sub");
  EXPECT_EQ(destDir->GetDescriptionFor(file), "Path of the <Holder> group");
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { archive->GetPath(file); }),
            "Cannot use the ddContainerArchiveFile path specifier for File1 because the Container is not a "
            "TFileRelated descendant");

  auto* group = new TFileContainer(form_.get());
  group->SetName("Group1");
  group->SetGroupName("Tools");
  group->SetDestDir("C:\\Tools");
  group->SetArchiveFileType(nullptr);
  group->SetArchiveFile("D:\\disk\\tools.1");
  file->SetContainer(group);
  EXPECT_EQ(destDir->GetPath(file), "C:\\Tools");
  EXPECT_EQ(archive->GetPath(file), "D:\\disk\\tools.1");
  EXPECT_EQ(destDir->GetDescriptionFor(file), "Path of the <Tools> group");

  // Losing the container makes every later request fail again.
  file->SetDestDirType(destDir);
  delete group;
  EXPECT_EQ(file->Container(), nullptr);
  EXPECT_EQ(file->DestDirType(), nullptr);
  EXPECT_THROW(destDir->GetPath(file), IEPathSpecifier);
}

TEST_F(Specifiers, InstallSpecifiersNeedTheInstaller) {
  Standard().EnsureStandardSpecifiers(form_.get(), true);
  auto* source = Named<TpsInstallSource>("psInstallSource");
  auto* main = Named<TpsMainInstall>("psMainInstall");
  auto* archive = Named<TpsMainArchiveFile>("psMainArchiveFile");
  auto* file = new TTestObject(form_.get());
  file->SetName("File1");

  const std::string none = "There is no TInstall component so the path specifier could not be expanded for File1";
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { source->GetPath(file); }), none);
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { main->Validate(file); }), none);
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { archive->GetPath(file); }), none);
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { file->SetDestDirType(main); }), none);

  auto* install = new TTestInstall(form_.get());
  install->SetName("Install1");
  install->SetDestDir("C:\\Apps\\Demo");
  install->source = "E:\\Setup\\";
  EXPECT_EQ(source->GetPath(file), "E:\\Setup\\");
  file->SetDestDirType(main);
  file->SetDestDir("\\Bin");
  EXPECT_EQ(file->FullDestDir(), "C:\\Apps\\Demo\\Bin");
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { install->SetDestDirType(main); }),
            "Cannot use the ddMainInstallDir path specifier for a TInstall component");
  EXPECT_EQ(install->DestDirType(), nullptr);  // the failed assignment changed nothing

  EXPECT_EQ(archive->GetPath(file), "E:\\Setup\\files.1");
  install->source = "E:\\Setup";
  install->selfExtract = true;
  install->selfExtractValue = "MySetup.exe";
  EXPECT_EQ(archive->GetPath(file), "E:\\Setup\\MySetup.exe");
  for (const char* blank : {"", "   "}) {
    install->selfExtractValue = blank;
    EXPECT_EQ(Raised<IEInstall>([&] { archive->GetPath(file); }),
              "You forgot to pass in the name of the self-extracting executable. Usage example: \"-eSetup.exe\"");
  }
  delete install;
  EXPECT_EQ(Raised<IEPathSpecifier>([&] { file->FullDestDir(); }), none);
}

TEST_F(Specifiers, DatabaseEngineTakesTheFirstDirectoryOfItsDllPath) {
  const char* key = "\\Software\\Borland\\Database Engine";
  const bool keyExisted = sys::RegKey::Open(sys::RootKey::LocalMachine, key, false).IsOpen();
  {
    pathstest::SavedValue dllPath(HKEY_LOCAL_MACHINE, key, "DLLPath");
    TpsBDEDLL bde(nullptr);
    dllPath.Set("C:\\BDE\\;D:\\Other");
    EXPECT_EQ(bde.GetPath(nullptr), "C:\\BDE\\");  // the trailing backslash stays
    dllPath.Set("C:\\Only\\");
    EXPECT_EQ(bde.GetPath(nullptr), "C:\\Only\\");
    dllPath.Set("");
    EXPECT_EQ(bde.GetPath(nullptr), ProgramFilesDirectory() + "\\Borland\\Common Files\\BDE");
    dllPath.Remove();
    EXPECT_EQ(bde.GetPath(nullptr), ProgramFilesDirectory() + "\\Borland\\Common Files\\BDE");
  }
  if (!keyExisted) {
    DeleteKeyTree(hkLocalMachine, key);
    DeleteKeyTree(hkLocalMachine, "\\Software\\Borland");
  }
}

}  // namespace
