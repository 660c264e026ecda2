// formconv: converts a component stream between its binary form (TPF0) and its text form, both ways.
//
//   formconv to-text IN OUT      binary stream -> text form
//   formconv to-binary IN OUT    text form -> binary stream
//   formconv check IN            reads IN (either form) and checks it against the class registry
//
// "-" stands for standard input or output. The output is written only when the whole input converted, and a
// file is replaced only once the new one is complete.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "check.h"
#include "config/binary_form.h"
#include "config/text_form.h"
#include "core/exceptions_Tavenrik.h"
#include "sys/files.h"
#include "sys/unicode.h"

namespace {

using tav::config::ObjectRecord;

constexpr const char* kUsage =
    "usage: formconv to-text IN OUT     convert a binary stream (TPF0) to its text form\n"
    "       formconv to-binary IN OUT   convert a text form to a binary stream\n"
    "       formconv check IN           check a form (either form) against the class registry\n"
    "IN and OUT may be - for standard input and output.\n";

// A failure to report as "formconv: <file>: <what>".
struct ToolError {
  std::string file;
  std::string what;
};

struct Arg {
  std::string path;  // UTF-8
  bool standard() const { return path == "-"; }
};

std::string DisplayName(const Arg& a) { return a.standard() ? std::string("<stdin>") : a.path; }

std::string ReadInput(const Arg& in) {
  if (in.standard()) {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::string data((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    if (std::cin.bad()) throw ToolError{"<stdin>", "cannot read standard input"};
    return data;
  }
  tav::sys::File file = tav::sys::File::Open(in.path, tav::sys::OpenMode::ReadShared);
  if (!file.IsOpen()) throw ToolError{in.path, "cannot open the file for reading"};
  // Sized to the file and one byte more, so that a file that does not change is read in one go; a pipe
  // or a growing file still reads to its end.
  std::string data(static_cast<std::size_t>(std::max<std::int64_t>(file.Size(), 0)) + 1, '\0');
  std::size_t have = 0;
  for (;;) {
    have += file.Read(data.data() + have, data.size() - have);
    if (file.Failed()) throw ToolError{in.path, "cannot read the file"};
    if (have < data.size()) break;
    data.resize(data.size() * 2);
  }
  data.resize(have);
  return data;
}

// A file is replaced only when the whole output reached the disk; on a failure the previous file stays.
void WriteOutput(const Arg& out, const std::string& data) {
  if (out.standard()) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::cout.write(data.data(), static_cast<std::streamsize>(data.size()));
    std::cout.flush();
    if (!std::cout) throw ToolError{"<stdout>", "cannot write standard output"};
    return;
  }
  tav::sys::ReplacementFile file(out.path);
  if (!file.IsOpen()) throw ToolError{out.path, "cannot open the file for writing"};
  if (!file.Write(data.data(), data.size()) || !file.Commit()) throw ToolError{out.path, "cannot write the file"};
}

ObjectRecord Parse(const Arg& in, const std::string& data, bool binary) {
  try {
    return binary ? tav::config::ReadBinaryForm(data) : tav::config::ReadTextForm(data);
  } catch (const tav::Exception& e) {
    throw ToolError{DisplayName(in), e.Message()};
  }
}

template <class Write>
std::string Convert(const Arg& in, const ObjectRecord& root, Write write) {
  try {
    return write(root);
  } catch (const tav::Exception& e) {
    throw ToolError{DisplayName(in), e.Message()};
  }
}

int Run(const std::vector<Arg>& args) {
  const auto usage = [] {
    std::cerr << kUsage;
    return 1;
  };
  if (args.empty()) return usage();
  const std::string& command = args[0].path;
  try {
    if ((command == "to-text" || command == "to-binary") && args.size() == 3) {
      const bool toText = command == "to-text";
      const std::string data = ReadInput(args[1]);
      const ObjectRecord root = Parse(args[1], data, toText);
      const std::string out = toText ? Convert(args[1], root, tav::config::WriteTextForm)
                                     : Convert(args[1], root, tav::config::WriteBinaryForm);
      WriteOutput(args[2], out);
      return 0;
    }
    if (command == "check" && args.size() == 2) {
      const std::string data = ReadInput(args[1]);
      const bool binary = data.compare(0, 4, "TPF0") == 0;
      return RunCheck(Parse(args[1], data, binary), std::cerr);
    }
  } catch (const ToolError& e) {
    std::cerr << "formconv: " << e.file << ": " << e.what << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "formconv: " << e.what() << "\n";
    return 1;
  }
  return usage();
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  std::vector<Arg> args;
  for (int i = 1; i < argc; ++i) args.push_back({tav::sys::Narrow(argv[i])});
  return Run(args);
}
#else
int main(int argc, char** argv) {
  std::vector<Arg> args;
  for (int i = 1; i < argc; ++i) args.push_back({argv[i]});
  return Run(args);
}
#endif
