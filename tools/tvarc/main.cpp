// tvarc: lists, tests, extracts, adds to and spans archives; prints a file's version.
#include <cstdio>
#include <string>
#include <vector>

#include "archive/cmp_TTvrkCompress.h"
#include "archive/cmp_TVersion.h"
#include "core/exceptions_Tavenrik.h"
#include "sys/files.h"
#include "sys/unicode.h"
#include "tvarc_options.h"

namespace {

using namespace tav;

const char* const kUsage =
    "usage:\n"
    "  tvarc list ARCHIVE [--offset N]\n"
    "  tvarc extract ARCHIVE DIR [--offset N] [--overwrite always|never|version|date|versiondate] [NAME...]\n"
    "  tvarc add ARCHIVE FILE... [--append] [--unique-id N] [--level none|fastest|default|max]\n"
    "  tvarc span ARCHIVE DIR --volume-size BYTES [--offset N]\n"
    "  tvarc test ARCHIVE [--offset N]\n"
    "  tvarc version FILE\n";

void Print(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

std::string IsoDate(sys::TDateTime date) {
  const sys::DateParts p = sys::DecodeDateTime(date);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                p.second);
  return text;
}

int List(const tvarc::Options& o) {
  TTvrkCompress c(nullptr);
  c.SetCompressedFile(o.positional[0]);
  c.SetOffset(o.offset);
  c.LoadDirectory();
  const TFileHeaders& headers = c.Headers();
  Print(Format("FileCount %d Spanned %d", headers.Count(), headers.Spanned ? 1 : 0));
  for (int i = 0; i < headers.Count(); ++i) {
    const TFileHeader& h = headers.Get(i);
    Print(Format("%d %d %d %d %d %d:%d %d:%d %s %s %s", i, h.FileNumber, h.UniqueID, h.FileSize, h.CompressedSize,
                 h.StartDisk, h.DataStart, h.EndDisk, h.EndPosition, IsoDate(h.FileDate),
                 h.FileVersion.empty() ? std::string("-") : h.FileVersion, h.FileName));
  }
  return 0;
}

int Extract(const tvarc::Options& o) {
  TTvrkCompress c(nullptr);
  c.SetCompressedFile(o.positional[0]);
  c.SetOffset(o.offset);
  c.SetExtractDirectory(o.positional[1]);
  c.SetOverwrite(o.overwrite);
  c.SetKeepFolders(true);
  TStringList names;
  if (o.positional.size() > 2) {
    for (std::size_t i = 2; i < o.positional.size(); ++i) names.Add(o.positional[i]);
  } else {
    c.LoadDirectory();
    for (int i = 0; i < c.Headers().Count(); ++i) names.Add(c.Headers().Get(i).FileName);
  }
  c.SetFilesToProcess(names);
  c.ExtractFiles();
  return 0;
}

// Deletes the file at path unless it was kept.
struct TUnlessKept {
  std::string path;
  ~TUnlessKept() {
    if (!path.empty()) sys::RemoveFile(path);
  }
};

int Add(const tvarc::Options& o) {
  TTvrkCompress c(nullptr);
  const std::string archive = o.positional[0];
  c.SetCompressionLevel(o.level);
  TStringList files;
  for (std::size_t i = 1; i < o.positional.size(); ++i) files.Add(o.positional[i]);
  c.SetFilesToProcess(files);
  if (o.append) {
    c.SetCompressedFile(archive);
    c.AddFiles(lzcOnlyAdd, o.uniqueID);
    return 0;
  }
  // A new archive is written beside the old one, which it replaces only once it is complete.
  const std::string dir = ExtractFileDir(archive);
  if (!dir.empty()) CreateDirectories(dir);
  TUnlessKept temp;
  if (!CreateFileBeside(archive, temp.path).IsOpen()) throw ETvrkCompress("Cannot create the file %s", archive);
  c.SetCompressedFile(temp.path);
  c.AddFiles(lzcOverwrite, o.uniqueID);
  if (!sys::RenameReplacing(temp.path, archive)) throw ETvrkCompress("Cannot create the file %s", archive);
  temp.path.clear();
  return 0;
}

int Span(const tvarc::Options& o) {
  TTvrkCompress c(nullptr);
  c.SetCompressedFile(o.positional[0]);
  c.SetOffset(o.offset);
  c.SetDiskCapacity(o.volumeSize);
  // Every volume goes into the same directory.
  const std::string dir = o.positional[1];
  c.OnNewDisk = [dir](TTvrkCompress&, int, std::string& path) { path = dir; };
  c.SpanToDisks(dir, ExtractFileName(o.positional[0]));
  return 0;
}

int Test(const tvarc::Options& o) {
  TTvrkCompress c(nullptr);
  c.SetCompressedFile(o.positional[0]);
  c.SetOffset(o.offset);
  c.LoadDirectory();
  const int count = c.Headers().Count();
  for (int i = 0; i < count; ++i) {
    const std::string name = c.Headers().Get(i).FileName;
    c.TestMember(i);
    Print("OK " + name);
  }
  Print(Format("%d members tested", count));
  return 0;
}

int Version(const tvarc::Options& o) {
  Print(ReadFileVersion(o.positional[0]));
  return 0;
}

int Run(const std::vector<std::string>& args) {
  tvarc::Options o;
  std::string error;
  if (!tvarc::Parse(args, o, error)) {
    if (!error.empty()) std::fprintf(stderr, "tvarc: %s\n", error.c_str());
    std::fputs(kUsage, stderr);
    return 1;
  }
  try {
    if (o.command == "list") return List(o);
    if (o.command == "extract") return Extract(o);
    if (o.command == "add") return Add(o);
    if (o.command == "span") return Span(o);
    if (o.command == "test") return Test(o);
    return Version(o);
  } catch (const tav::Exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(tav::sys::Narrow(argv[i]));
  return Run(args);
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
