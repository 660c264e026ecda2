// What loading and freeing a project of many install files costs: the project the setup program
// carries (a form with the standard path specifiers, an installer, one file group and N files that
// name the group, its directory and its archive) is loaded from its binary stream and freed again.
//
//   bench_tree [N...]       default: 250 500 1000 2000
//
// Real install files stop at the program's 2000; beyond that the same tree is made of a plain
// file-related object with the same references (kind, Order, Container, DestDirType,
// ArchiveFileType), for 2000 4000 8000 of them. Each size is loaded and freed three times; the
// fastest of each is printed, with the time per object, which stays level when the cost is linear.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../install/bench_support.h"
#include "config/binary_form.h"
#include "config/form_loader.h"
#include "config/form_values.h"
#include "core/properties.h"
#include "engine/cmp_TInstall.h"
#include "engine/command_line.h"
#include "objects/cmp_TInstallFile.h"
#include "objects/objects_registry.h"
#include "paths/cmp_TPathSpecifier.h"
#include "sys/files.h"
#include "ui/application.h"

using namespace tav;
using namespace tav::bench;

namespace {

// An install file's place in the tree without its UniqueID, of which a program has 2000.
class TTreeFile : public TFileRelated {
public:
  explicit TTreeFile(TComponent* owner) : TFileRelated(owner, kindInstallFile) {}
  static const TClassInfo& StaticClassInfo() {
    using P = Props<TTreeFile>;
    static constexpr TPropInfo props[] = {
        P::Reference<TCustomPathSpecifier, &TTreeFile::ArchiveFileType, &TTreeFile::SetArchiveFileType>(
            "ArchiveFileType"),
        P::Reference<TInstallContainer, &TTreeFile::Container, &TTreeFile::SetContainer>("Container"),
        P::Reference<TCustomPathSpecifier, &TTreeFile::DestDirType, &TTreeFile::SetDestDirType>("DestDirType"),
        P::String<&TTreeFile::DestDir, &TTreeFile::SetDestDir>("DestDir", ""),
        P::Integer<&TTreeFile::Order, &TTreeFile::SetOrder>("Order"),
    };
    static constexpr TClassInfo info = MakeClassInfo<TTreeFile, TFileRelated>("TTreeFile", props);
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

config::Property Prop(std::string name, config::Value value) { return {std::move(name), std::move(value)}; }

config::ObjectRecord Object(std::string className, std::string name, std::vector<config::Property> properties) {
  config::ObjectRecord r;
  r.className = std::move(className);
  r.name = std::move(name);
  r.properties = std::move(properties);
  return r;
}

std::string ProjectStream(int count, const char* fileClass) {
  using namespace config;
  ObjectRecord root = Object("TBenchForm", "TreeForm", {});
  root.children.push_back(Object("TInstall", "Install1", {Prop("AutoMaximizeWindow", BooleanValue(false))}));
  root.children.push_back(
      Object("TInstallFileGroup", "Group1",
             {Prop("ArchiveFileType", IdentValue("psContainerArchiveFile")), Prop("Container", IdentValue("Install1")),
              Prop("DestDirType", IdentValue("psContainerDestDir")), Prop("GroupName", TextValue("Files"))}));
  const bool real = std::string(fileClass) == "TInstallFile";
  for (int i = 0; i < count; ++i) {
    std::vector<Property> p = {Prop("ArchiveFileType", IdentValue("psContainerArchiveFile")),
                               Prop("Container", IdentValue("Group1")),
                               Prop("DestDirType", IdentValue("psContainerDestDir")),
                               Prop("DestDir", TextValue("\\Sub" + std::to_string(i % 10))),
                               Prop("Order", IntegerValue(i))};
    if (real) {
      p.push_back(Prop("FileName", TextValue("f" + std::to_string(i) + ".txt")));
      p.push_back(Prop("UniqueID", IntegerValue(i)));
    }
    root.children.push_back(Object(fileClass, "F" + std::to_string(i), std::move(p)));
  }
  return WriteBinaryForm(root);
}

void Measure(int count, const char* fileClass) {
  const std::string stream = ProjectStream(count, fileClass);
  double load = 1e9, free = 1e9;
  for (int run = 0; run < 3; ++run) {
    auto start = Clock::now();
    auto* form = new TBenchForm(&Application());
    config::LoadFormFromStream(*form, stream);
    load = std::min(load, Seconds(start));
    auto* group = dynamic_cast<TInstallContainer*>(form->FindComponent("Group1"));
    if (!group || group->HelperCount() != count) throw Exception("The group holds the wrong number of files");
    start = Clock::now();
    delete form;
    free = std::min(free, Seconds(start));
  }
  std::printf("%-13s n=%5d  load_s=%.4f  free_s=%.4f  load_us_per=%.2f  free_us_per=%.2f\n", fileClass, count, load,
              free, load * 1e6 / count, free * 1e6 / count);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
  try {
    Application().Initialize();
    RegisterUiClasses();
    RegisterObjectClasses();
    RegisterPathClasses();
    RegisterEngineClasses();
    RegisterClass(TBenchForm::StaticClassInfo());
    RegisterClass(TTreeFile::StaticClassInfo());
    const std::string source = sys::TempDirectory();
    SetArgumentSource([source] { return std::vector<std::string>{"-s" + source}; });
    for (int n : counts.empty() ? std::vector<int>{250, 500, 1000, 2000} : counts) {
      if (n <= kMaxInstallFiles) Measure(n, "TInstallFile");
    }
    for (int n : counts.empty() ? std::vector<int>{2000, 4000, 8000} : counts) Measure(n, "TTreeFile");
  } catch (const Exception& e) {
    std::fprintf(stderr, "bench_tree: %s\n", e.Message().c_str());
    Application().DestroyForms();
    return 1;
  }
  Application().DestroyForms();
  return 0;
}
