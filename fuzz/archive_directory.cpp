// Reads arbitrary bytes as an archive: the directory, every member inflated, the first one extracted, then
// the members extracted under their stored folders.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "archive/cmp_TTvrkCompress.h"
#include "core/exceptions_Tavenrik.h"
#include "core/strings.h"
#include "sys/files.h"

namespace {

// Never destroyed, so that the exit handler can still read it.
const std::string& Scratch() {
  static const std::string* dir = [] {
    std::string made = tav::sys::CreateUniqueFile(tav::sys::TempDirectory(), "fzz");
    tav::sys::RemoveFile(made);
    made += ".d";
    tav::sys::MakeDir(made);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(std::filesystem::path(Scratch()), ec);
    });
    return new std::string(made);
  }();
  return *dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tav;
  const std::string archive = IncludeTrailingPathDelimiter(Scratch()) + "input.1";
  {
    sys::File f = sys::File::Open(archive, sys::OpenMode::Create);
    if (f.Write(data, size) != size) return 0;
  }
  TTvrkCompress c(nullptr);
  c.SetCompressedFile(archive);
  try {
    c.LoadDirectory();
  } catch (const ETvrkCompress&) {
    return 0;
  }
  const int members = std::min(c.Headers().Count(), 8);
  for (int i = 0; i < members; ++i) {
    try {
      c.TestMember(i);
    } catch (const ETvrkCompress&) {
    }
  }
  if (members > 0) {
    TStringList names;
    names.Add(c.Headers().Get(0).FileName);
    c.SetFilesToProcess(names);
    c.SetExtractDirectory(IncludeTrailingPathDelimiter(Scratch()) + "out");
    c.ExtractName = "member.bin";
    try {
      c.ExtractFiles();
    } catch (const ETvrkCompress&) {
    }
    // Every member again under its stored relative path, which must keep it inside the folder.
    names.Clear();
    for (int i = 0; i < members; ++i) names.Add(c.Headers().Get(i).FileName);
    c.SetFilesToProcess(names);
    c.SetExtractDirectory(IncludeTrailingPathDelimiter(Scratch()) + "tree");
    c.SetKeepFolders(true);
    try {
      c.ExtractFiles();
    } catch (const ETvrkCompress&) {
    }
  }
  return 0;
}
