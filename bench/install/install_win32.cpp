// Installs a payload folder through the install files of one file group, the way the setup program
// does, and reports the time and the process's peak working set. bench/install.sh runs it beside the peer.
//
//   bench_install build PAYLOAD WORK
//       builds WORK\dist\files.1 from the payload (timed) and prints one line
//   bench_install install PAYLOAD WORK TARGET [--status] [--window] [--verify-bytes|--no-check]
//       installs WORK\dist\files.1 into TARGET, which must not exist yet, then checks the size of
//       every file against the payload (--verify-bytes: every byte; --no-check: none, for a caller that
//       checks the tree itself) and prints one line. The check is not timed, but is part of the
//       process's time. The payload's listing comes from WORK\dist\payload.lst, written by build. --status attaches status handlers to the
//       installer, the group and every file; --window adds a during-copy dialog manager, so the
//       progress window shows and follows every status event (needs a display); Wine's desktop and
//       the common controls are brought up before the timed run, as the wizard's pages leave them,
//       and that start is reported as display_s.
//
// The project is made in memory as a component stream and loaded like the shipped one: a TInstall
// derivative, one TInstallFileGroup, one TInstallFile per payload file whose IncludeFromDir is the
// file's folder and whose DestDir mirrors it below the group's destination.
// Exit status: 0 when every file arrived intact, 1 on any failure, 2 on a usage error.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "config/binary_form.h"
#include "config/form_loader.h"
#include "config/form_values.h"
#include "core/routines_Strings.h"
#include "dialogs/dlgcmp_TBaseDlg.h"
#include "dialogs/page_bases.h"
#include "dialogs/pages.h"
#include "engine/cmp_TInstall.h"
#include "objects/cmp_TInstallFile.h"
#include "objects/routines_Registry.h"
#include "paths/cmp_TPathSpecifier.h"
#include "sys/files.h"
#include "sys/pump.h"
#include "sys/unicode.h"
#include "ui/application.h"
#include "ui/common_controls.h"
#include "ui/win32.h"

#include <psapi.h>

using namespace tav;
using namespace tav::bench;

namespace {

// The run must not end the benchmark's own message loop: it only records that it asked to.
class TBenchInstall : public TInstall {
public:
  using TInstall::TInstall;
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info = MakeClassInfo<TBenchInstall, TInstall>("TBenchInstall", {});
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  int endRequests = 0;

protected:
  void EndProgram() override { ++endRequests; }
};

struct PayloadFile {
  std::string folder;  // relative to the payload, backslashes, "" at the top
  std::string name;
  std::int64_t size = 0;
};

// Every file below root, sorted by relative path so that runs install in the same order.
std::vector<PayloadFile> ListPayload(const std::string& root) {
  namespace fs = std::filesystem;
  const fs::path base(sys::Wide(root));
  std::vector<PayloadFile> files;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(base)) {
    if (!e.is_regular_file()) continue;
    std::string rel = sys::Narrow(e.path().lexically_relative(base).wstring());
    std::replace(rel.begin(), rel.end(), '/', '\\');
    const std::size_t cut = rel.rfind('\\');
    PayloadFile f;
    f.folder = cut == std::string::npos ? std::string() : rel.substr(0, cut);
    f.name = cut == std::string::npos ? rel : rel.substr(cut + 1);
    f.size = static_cast<std::int64_t>(e.file_size());
    files.push_back(std::move(f));
  }
  std::sort(files.begin(), files.end(), [](const PayloadFile& a, const PayloadFile& b) {
    return a.folder != b.folder ? a.folder < b.folder : a.name < b.name;
  });
  return files;
}

// The listing that the build run keeps beside the archive, so that an install run does not walk the
// payload again: one "size|folder|name" line per file, in install order. Empty when there is none.
std::vector<PayloadFile> ReadListing(const std::string& path) {
  std::vector<PayloadFile> files;
  sys::File in = sys::File::Open(path, sys::OpenMode::ReadShared);
  if (!in.IsOpen()) return files;
  std::string text(static_cast<std::size_t>(std::max<std::int64_t>(in.Size(), 0)), '\0');
  if (in.Read(text.data(), text.size()) != text.size()) return files;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    const std::size_t a = line.find('|'), b = line.find('|', a + 1);
    if (a == std::string::npos || b == std::string::npos) return {};
    PayloadFile f;
    f.size = std::stoll(line.substr(0, a));
    f.folder = line.substr(a + 1, b - a - 1);
    f.name = line.substr(b + 1);
    files.push_back(std::move(f));
  }
  return files;
}

bool WriteListing(const std::string& path, const std::vector<PayloadFile>& files) {
  std::string text;
  for (const PayloadFile& f : files) text += std::to_string(f.size) + "|" + f.folder + "|" + f.name + "\n";
  return sys::WriteFileReplacing(path, text);
}

std::string Join(const std::string& dir, const std::string& rel) { return rel.empty() ? dir : dir + "\\" + rel; }

config::Property Prop(std::string name, config::Value value) { return {std::move(name), std::move(value)}; }

config::ObjectRecord Object(std::string className, std::string name, std::vector<config::Property> properties) {
  config::ObjectRecord r;
  r.className = std::move(className);
  r.name = std::move(name);
  r.properties = std::move(properties);
  return r;
}

// The project as the setup program carries it: a binary stream. Written child by child (each child's
// record is the stream of its own minus the signature), so that the benchmark never holds a tree of
// thousands of records that the setup program does not have either.
std::string ProjectStream(const std::string& payload, const std::vector<PayloadFile>& files, bool window) {
  using namespace config;
  constexpr std::size_t kSignature = 4;  // "TPF0"
  std::string stream = WriteBinaryForm(Object("TBenchForm", "BenchForm", {Prop("Caption", TextValue("Install benchmark"))}));
  stream.pop_back();  // the root's end of children, put back at the end
  const auto add = [&](const ObjectRecord& child) { stream += WriteBinaryForm(child).substr(kSignature); };
  add(Object("TBenchInstall", "Install1",
             {Prop("AutoMaximizeWindow", BooleanValue(false)),
              Prop("Information.ProductName", TextValue("Install benchmark"))}));
  add(Object("TInstallFileGroup", "Group1",
             {Prop("ArchiveFileType", IdentValue("psContainerArchiveFile")), Prop("Container", IdentValue("Install1")),
              Prop("DestDirType", IdentValue("psContainerDestDir")), Prop("GroupName", TextValue("Payload"))}));
  for (std::size_t i = 0; i < files.size(); ++i) {
    const PayloadFile& f = files[i];
    std::vector<Property> p = {Prop("ArchiveFileType", IdentValue("psContainerArchiveFile")),
                               Prop("Container", IdentValue("Group1")),
                               Prop("DestDirType", IdentValue("psContainerDestDir")),
                               Prop("DestName", TextValue(f.name)),
                               Prop("FileName", TextValue(f.name)),
                               Prop("IncludeFromDir", TextValue(Join(payload, f.folder))),
                               Prop("Order", IntegerValue(static_cast<std::int64_t>(i)))};
    if (!f.folder.empty()) p.push_back(Prop("DestDir", TextValue("\\" + f.folder)));
    add(Object("TInstallFile", "F" + std::to_string(i), std::move(p)));
  }
  if (window)
    add(Object("TDialogManager", "CopyFilesManager",
               {Prop("Container", IdentValue("Install1")), Prop("ManagerType", IdentValue("dmDuringCopyFiles")),
                Prop("RelativeLeftOffset", IntegerValue(0)), Prop("RelativeTopOffset", IntegerValue(0))}));
  stream += '\0';
  return stream;
}

double PeakWorkingSetMB() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<double>(counters.PeakWorkingSetSize) / 1e6;
}

// Checks a file against its source: its size, and with bytes every byte. "" when it matches, else what differs.
std::string Compare(const std::string& source, const std::string& dest, std::int64_t size, bool bytes) {
  sys::File b = sys::File::Open(dest, sys::OpenMode::ReadShared);
  if (!b.IsOpen()) return "missing";
  if (b.Size() != size) return "size " + std::to_string(b.Size()) + " instead of " + std::to_string(size);
  if (!bytes) return "";
  sys::File a = sys::File::Open(source, sys::OpenMode::ReadShared);
  if (!a.IsOpen()) return "source unreadable";
  std::vector<char> x(1 << 20), y(1 << 20);
  for (;;) {
    const std::size_t n = a.Read(x.data(), x.size());
    const std::size_t m = b.Read(y.data(), y.size());
    if (n != m) return "short read";
    if (n == 0) return "";
    if (!std::equal(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(n), y.begin())) return "bytes differ";
  }
}

struct Options {
  std::string mode, payload, work, target;
  bool status = false, window = false, verifyBytes = false, check = true;
};

int Usage() {
  std::fprintf(stderr,
               "usage: bench_install build PAYLOAD WORK\n"
               "       bench_install install PAYLOAD WORK TARGET [--status] [--window] [--verify-bytes|--no-check]\n");
  return 2;
}

int Run(const Options& o) {
  const double peakAtStart = PeakWorkingSetMB();  // Wine's and the program's own share
  const std::string dist = o.work + "\\dist";
  const std::string listing = dist + "\\payload.lst";
  const auto listStart = Clock::now();
  std::vector<PayloadFile> files;
  if (!sys::DirExists(o.payload)) throw Exception("The payload folder %s does not exist", o.payload);
  if (o.mode == "install") files = ReadListing(listing);
  if (files.empty()) files = ListPayload(o.payload);
  const double listSecs = Seconds(listStart);
  if (files.empty()) throw Exception("The payload folder %s holds no files", o.payload);
  if (static_cast<int>(files.size()) > kMaxInstallFiles)
    throw Exception("The payload holds %d files; a project holds at most %d", static_cast<int>(files.size()),
                    kMaxInstallFiles);
  std::int64_t bytes = 0;
  for (const PayloadFile& f : files) bytes += f.size;
  sys::MakeDir(o.work);
  sys::MakeDir(dist);

  TApplication& app = Application();
  app.Initialize();  // as the setup program: long operations pump messages after every buffer
  RegisterUiClasses();
  RegisterPathClasses();
  RegisterEngineClasses();
  RegisterPageClasses();
  RegisterClass(TBenchForm::StaticClassInfo());
  RegisterClass(TBenchInstall::StaticClassInfo());
  std::vector<std::string> shown;
  app.SetMessageBoxHook([&](const std::string& text, const std::string&, unsigned) {
    shown.push_back(text);
    return IDOK;
  });
  SetArgumentSource([&] { return std::vector<std::string>{"-s" + dist}; });

  // Loaded child by child, as the setup program loads its own.
  const std::string stream = ProjectStream(o.payload, files, o.window);
  const auto loadStart = Clock::now();
  auto* form = new TBenchForm(&app);
  config::LoadFormFromStream(*form, stream);
  auto* install = dynamic_cast<TBenchInstall*>(form->FindComponent("Install1"));
  auto* group = dynamic_cast<TInstallFileGroup*>(form->FindComponent("Group1"));
  if (!install || !group) throw Exception("The project lacks its installer or its group");
  const double loadSecs = Seconds(loadStart);

  if (o.mode == "build") {
    const auto start = Clock::now();
    install->BuildArchives(coRelocateArchives | coForceNetFilesLocal | coIncludeExcluded);
    const double secs = Seconds(start);
    for (int i = 0; i < group->InstallFileCount(); ++i)
      if (!group->InstallFile(i)->Compressed()) throw Exception("%s was not compressed", group->InstallFile(i)->Name());
    if (!WriteListing(listing, files)) throw Exception("Cannot write %s", listing);
    std::printf("build files=%zu bytes=%lld archive_bytes=%lld load_s=%.3f build_s=%.3f peak_ws_mb=%.1f\n",
                files.size(), static_cast<long long>(bytes),
                static_cast<long long>(sys::FileSizeOf(dist + "\\files.1")), loadSecs, secs, PeakWorkingSetMB());
    delete form;
    return 0;
  }

  if (sys::FileExists(o.target) || sys::DirExists(o.target))
    throw Exception("The target %s exists already; every run installs into a new folder", o.target);
  install->SetDestDirType(nullptr);
  install->SetDestDir(o.target);

  // Status handlers that do what a host program's would: keep the latest figures.
  long long events = 0;
  int lastTotal = -1;
  bool totalWentBack = false;
  std::string lastFile;
  if (o.status) {
    auto onTotal = [&](TCustomInstallFile* file, int, int total) {
      ++events;
      if (total < lastTotal) totalWentBack = true;
      lastTotal = total;
      if (file) lastFile = file->FileName();
    };
    install->OnStatus = onTotal;
    group->OnStatus = [&](TCustomInstallFile*, int, int) { ++events; };
    for (int i = 0; i < group->InstallFileCount(); ++i)
      group->InstallFile(i)->OnStatus = [&](TCustomInstallFile*, int, int) { ++events; };
  }
  bool windowSeen = false;
  if (o.window) {
    auto* manager = dynamic_cast<TDialogManager*>(form->FindComponent("CopyFilesManager"));
    if (!manager) throw Exception("The project lacks its during-copy dialog manager");
    // By the last file the window must be up and showing.
    group->InstallFile(group->InstallFileCount() - 1)->OnAfterInstall = [&, manager](TCustomInstallFile*) {
      const auto& forms = manager->DuringCopyForms();
      windowSeen = !forms.empty() && forms[0]->HandleAllocated() && IsWindowVisible(forms[0]->Handle());
    };
  }

  // Where the run's time goes: reading the archive's directory, then the files.
  Clock::time_point infoRead{};
  install->OnAfterReadArchiveInfo = [&](TObject*) { infoRead = Clock::now(); };

  // Each run records its files for the uninstaller as a first install would: what earlier runs
  // recorded goes first (outside the timed part), or the record would grow run after run.
  const std::string record = std::string(kUninstallKeyPrefix) + "Install benchmark";
  DeleteKeyTree(hkLocalMachine, record);

  // What pumping window messages costs inside the run.
  long long pumps = 0;
  double pumpSecs = 0;
  const sys::TPumpHook pump = sys::MessagePumpHook().Get();
  TRunSlotScope<sys::TPumpHook> timedPump(sys::MessagePumpHook(), [&, pump] {
    const auto at = Clock::now();
    if (pump) pump();
    pumpSecs += Seconds(at);
    ++pumps;
  });
  // The progress window follows the wizard's pages, which have started Wine's desktop and loaded the
  // common controls by then. That start (a fixed cost of the first window of a process, seconds on a
  // loaded machine) is taken here, before the timed run, and reported on its own.
  double displaySecs = 0;
  if (o.window) {
    const auto at = Clock::now();
    comctl::Ensure();
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (!probe) throw Exception("Cannot make a window");
    ShowWindow(probe, SW_SHOWNOACTIVATE);
    DestroyWindow(probe);
    sys::PumpMessages();
    displaySecs = Seconds(at);
  }
  const double peakBefore = PeakWorkingSetMB();
  const auto start = Clock::now();
  install->StartHook(form);
  const double secs = Seconds(start);
  const double peak = PeakWorkingSetMB();

  bool ok = shown.empty() && install->endRequests == 1;
  for (const std::string& text : shown) std::fprintf(stderr, "bench_install: the run reported: %s\n", text.c_str());
  if (install->endRequests != 1 && shown.empty()) std::fprintf(stderr, "bench_install: the run did not end well\n");
  if (o.status && (events == 0 || lastTotal != 100 || totalWentBack)) {
    std::fprintf(stderr, "bench_install: status events: %lld, last total %d%%%s\n", events, lastTotal,
                 totalWentBack ? ", the total went back" : "");
    ok = false;
  }
  if (o.window && !windowSeen) {
    std::fprintf(stderr, "bench_install: the progress window did not show\n");
    ok = false;
  }

  // Every file, outside the timed part (not at all with --no-check, when the caller checks the tree).
  const auto checkStart = Clock::now();
  int good = o.check ? 0 : static_cast<int>(files.size()), told = 0;
  for (const PayloadFile& f : o.check ? files : std::vector<PayloadFile>{}) {
    const std::string rel = f.folder.empty() ? f.name : f.folder + "\\" + f.name;
    const std::string why = Compare(o.payload + "\\" + rel, o.target + "\\" + rel, f.size, o.verifyBytes);
    if (why.empty()) {
      ++good;
    } else if (++told <= 10) {  // the first few say enough
      std::fprintf(stderr, "bench_install: %s: %s\n", rel.c_str(), why.c_str());
    }
  }
  if (good != static_cast<int>(files.size())) ok = false;
  const double checkSecs = Seconds(checkStart);

  std::printf("install files=%zu bytes=%lld status=%d window=%d list_s=%.3f load_s=%.3f install_s=%.3f "
              "read_info_s=%.3f display_s=%.3f pumps=%lld pump_s=%.3f check_s=%.3f mb_per_s=%.1f "
              "peak_ws_start_mb=%.1f peak_ws_before_mb=%.1f peak_ws_mb=%.1f status_events=%lld %s=%d/%zu %s\n",
              files.size(), static_cast<long long>(bytes), o.status ? 1 : 0, o.window ? 1 : 0, listSecs, loadSecs,
              secs, infoRead == Clock::time_point{} ? -1.0 : std::chrono::duration<double>(infoRead - start).count(),
              displaySecs, pumps, pumpSecs, checkSecs, static_cast<double>(bytes) / 1e6 / secs, peakAtStart, peakBefore, peak, events,
              !o.check ? "unchecked" : o.verifyBytes ? "same_bytes" : "same_size", good, files.size(), ok ? "ok" : "FAILED");
  std::fflush(stdout);
  DeleteKeyTree(hkLocalMachine, record);
  delete form;
  return ok ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options o;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string a = sys::Narrow(argv[i]);
    if (a == "--status")
      o.status = true;
    else if (a == "--window")
      o.window = true;
    else if (a == "--verify-bytes")
      o.verifyBytes = true;
    else if (a == "--no-check")
      o.check = false;
    else if (a.rfind("--", 0) == 0)
      return Usage();
    else
      positional.push_back(ExcludeTrailingBackslash(a));
  }
  if (positional.empty()) return Usage();
  o.mode = positional[0];
  if (o.mode == "build" && positional.size() == 3 && !o.status && !o.window) {
  } else if (o.mode == "install" && positional.size() == 4) {
    o.target = positional[3];
  } else {
    return Usage();
  }
  o.payload = positional[1];
  o.work = positional[2];
  int code = 1;
  try {
    code = Run(o);
  } catch (const Exception& e) {
    std::fprintf(stderr, "bench_install: %s\n", e.Message().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_install: %s\n", e.what());
  }
  Application().DestroyForms();
  return code;
}
