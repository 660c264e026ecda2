#include "uninstaller/uninstaller.h"

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include "core/exceptions_Tavenrik.h"
#include "core/format.h"
#include "core/routines_Strings.h"
#include "objects/cmp_TInstallContainer.h"
#include "objects/cmp_TInstallRegistry.h"
#include "objects/routines_Registry.h"
#include "objects/uninstall_record.h"
#include "sys/registry.h"
#include "sys/unicode.h"

namespace tav::uninstaller {

namespace {

const char* const kSharedDLLsKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
// The title of the uninstaller's messages.
std::wstring Title() { return sys::Wide(TranslateMessage("Uninstall")); }

sys::RootKey SysRoot(int root) { return SysRootKey(static_cast<TRootKeys>(root)); }

bool ParseCount(const std::string& text, int& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= 0;
}

std::string Folded(std::string path) {
  path = UpperCase(path);
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

// The folders whose loss would harm the system or other programs, upper-cased.
const std::set<std::string>& SystemFolders() {
  static const std::set<std::string> folders = [] {
    std::set<std::string> result;
    const int ids[] = {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
                       CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86, CSIDL_PROFILE, CSIDL_APPDATA,
                       CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY,
                       CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_STARTUP,
                       CSIDL_COMMON_STARTUP, CSIDL_PERSONAL, CSIDL_COMMON_DOCUMENTS, CSIDL_FONTS, CSIDL_FAVORITES,
                       CSIDL_SENDTO, CSIDL_TEMPLATES, CSIDL_COMMON_TEMPLATES};
    for (int id : ids) {
      wchar_t path[MAX_PATH] = {};
      if (SUCCEEDED(SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path)) && path[0])
        result.insert(Folded(sys::Narrow(path)));
    }
    wchar_t temp[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, temp)) result.insert(Folded(sys::Narrow(temp)));
    // The folder that holds every profile.
    wchar_t profiles[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profiles)) && profiles[0])
      result.insert(Folded(ExtractFileDir(sys::Narrow(profiles))));
    return result;
  }();
  return folders;
}

bool IsSystemFolder(const std::string& path) { return SystemFolders().count(Folded(path)) > 0; }

bool IsDriveRoot(const std::string& path) {
  return path.size() <= 3 && path.size() >= 2 && path[1] == ':';
}

// "X:\..." without "." or ".." parts, forward slashes or device prefixes.
bool IsAbsoluteLocal(const std::string& path) {
  if (path.size() < 3 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' || path[2] != '\\')
    return false;
  if (path.find('/') != std::string::npos || path.find_first_of("*?\"<>|") != std::string::npos) return false;
  if (path.find(':', 2) != std::string::npos) return false;  // no alternate streams
  std::size_t at = 3;
  while (at <= path.size()) {
    std::size_t end = path.find('\\', at);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(at, end - at);
    if (part == "." || part == ".." || (part.empty() && end != path.size())) return false;
    at = end + 1;
  }
  wchar_t root[4] = {static_cast<wchar_t>(path[0]), L':', L'\\', 0};
  const UINT type = GetDriveTypeW(root);
  return type != DRIVE_REMOTE;
}

bool IsReparsePoint(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(sys::Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Whether the path or any folder above it is a reparse point (a link that would lead elsewhere).
bool ThroughReparsePoint(const std::string& path) {
  for (std::string p = path; p.size() > 3; p = ExtractFileDir(p))
    if (IsReparsePoint(p)) return true;
  return false;
}

std::string ParentKey(const std::string& key) {
  const std::size_t slash = key.find_last_of('\\');
  return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

// ---- reading the record ----

bool ReadFileList(const std::string& list, bool servers, std::vector<TFileRecord>& out, std::string& reason) {
  sys::RegKey key = sys::RegKey::Open(sys::RootKey::LocalMachine, list, false);
  if (!key.IsOpen()) return true;
  std::string text;
  int count = 0;
  if (!key.ReadString("Entries", text) || !ParseCount(text, count)) {
    // An unreadable counter is how the installer moves on to the next list; nothing was written here.
    if (!servers) return true;
    reason = "The entry count of " + list + " cannot be read";
    return false;
  }
  for (int n = 1; n <= count; ++n) {
    std::string value;
    if (!key.ReadString("File" + std::to_string(n), value)) {
      reason = "The value File" + std::to_string(n) + " of " + list + " cannot be read";
      return false;
    }
    TFileRecord file;
    file.server = servers;
    if (servers) {
      const std::size_t semi = value.rfind(';');
      if (semi == std::string::npos) {
        reason = "The value File" + std::to_string(n) + " of " + list + " has no server flag";
        return false;
      }
      file.program = value.substr(semi + 1) == "1";
      value.resize(semi);
    }
    file.path = value;
    out.push_back(file);
  }
  return true;
}

// ---- the log and the window ----

class TReport {
public:
  explicit TReport(const std::string& logPath) {
    if (!logPath.empty()) log_ = _wfopen(sys::Wide(logPath).c_str(), L"ab");
  }
  ~TReport() {
    if (log_) fclose(log_);
  }
  void Line(const std::string& text) {
    if (!log_) return;
    SYSTEMTIME t;
    GetLocalTime(&t);
    std::fprintf(log_, "%04d-%02d-%02d %02d:%02d:%02d %s\r\n", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                 t.wSecond, text.c_str());
    std::fflush(log_);
  }
  void Failed(const std::string& what, const std::string& why) {
    left.push_back(what);
    Line("FAILED: " + what + ": " + why);
  }
  void Later(const std::string& what) {
    restart = true;
    Line("Scheduled for removal at the restart: " + what);
  }

  std::vector<std::string> left;
  bool restart = false;

private:
  FILE* log_ = nullptr;
};

class TProgressWindow {
public:
  TProgressWindow(const std::wstring& product, int steps) {
    // Loaded here, not imported: loading it makes Wine start its desktop process and wait for it,
    // which a quiet uninstall, showing no window, would otherwise pay for.
    if (HMODULE comctl = LoadLibraryW(L"comctl32.dll")) {
      if (auto init = reinterpret_cast<decltype(&::InitCommonControlsEx)>(
              reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")))) {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
        init(&icc);
      }
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"TavenrikUninstallProgress";
    RegisterClassW(&wc);
    const int width = 420, height = 130;
    window_ = CreateWindowExW(WS_EX_DLGMODALFRAME, wc.lpszClassName, sys::Wide(Format(TranslateMessage("Uninstall %s"), sys::Narrow(product))).c_str(),
                              WS_CAPTION | WS_SYSMENU | WS_VISIBLE, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                              (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr,
                              wc.hInstance, nullptr);
    if (!window_) return;
    text_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_PATHELLIPSIS, 12, 12, width - 36, 20,
                            window_, nullptr, wc.hInstance, nullptr);
    bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 12, 40, width - 36, 20, window_, nullptr,
                           wc.hInstance, nullptr);
    SendMessageW(bar_, PBM_SETRANGE32, 0, std::max(steps, 1));
    Pump();
  }
  ~TProgressWindow() {
    if (window_) DestroyWindow(window_);
  }
  void Step(const std::string& text) {
    if (!window_) return;
    SetWindowTextW(text_, sys::Wide(text).c_str());
    SendMessageW(bar_, PBM_SETPOS, ++done_, 0);
    Pump();
  }
  HWND Handle() const { return window_; }

private:
  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  HWND window_ = nullptr;
  HWND text_ = nullptr;
  HWND bar_ = nullptr;
  int done_ = 0;
};

// ---- the removal ----

class TRemover {
public:
  TRemover(TReport& report, TProgressWindow* window, const std::string& installLocation)
      : report_(report), window_(window), top_(Folded(installLocation)) {}

  void RegistryKey(const TRegistryRecord& r) {
    Step(Format(TranslateMessage("Removing registry values: %s"), r.key));
    sys::RegKey key = sys::RegKey::Open(SysRoot(r.root), r.key, false);
    if (!key.IsOpen()) {
      report_.Line("Registry key already gone: " + r.key);
      return;
    }
    for (const std::string& ident : r.idents) {
      if (!key.HasValue(ident)) continue;
      if (key.DeleteValue(ident))
        report_.Line("Removed registry value \"" + ident + "\" of " + r.key);
      else
        report_.Failed("registry value \"" + ident + "\" of " + r.key, "it cannot be deleted");
    }
    key.Close();
    // Then the key and the parents that held nothing else, never above the second level.
    for (std::string k = r.key; RegistryKeyDepth(k) >= 2; k = ParentKey(k)) {
      sys::RegKey probe = sys::RegKey::Open(SysRoot(r.root), k, false);
      if (!probe.IsOpen() || !probe.ValueNames().empty() || !probe.SubKeyNames().empty()) break;
      probe.Close();
      if (!sys::DeleteRegKey(SysRoot(r.root), k)) break;
      report_.Line("Removed registry key " + k);
    }
  }

  void Unregister(const TFileRecord& f) {
    if (!Counted(f.path, false)) {
      report_.Line("Still used by another product, kept registered: " + f.path);
      return;
    }
    if (GetFileAttributesW(sys::Wide(f.path).c_str()) == INVALID_FILE_ATTRIBUTES) {
      report_.Line("Server already gone: " + f.path);
      return;
    }
    Step(Format(TranslateMessage("Unregistering %s"), f.path));
    const std::wstring path = sys::Wide(f.path);
    const std::wstring dir = sys::Wide(ExtractFileDir(f.path));
    if (f.program) {
      std::wstring command = L"\"" + path + L"\" /UNREGSERVER";
      STARTUPINFOW si{};
      si.cb = sizeof si;
      si.dwFlags = STARTF_USESHOWWINDOW;
      si.wShowWindow = SW_HIDE;
      PROCESS_INFORMATION pi{};
      if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi)) {
        report_.Failed("unregistering " + f.path, "it cannot be started (error " + std::to_string(GetLastError()) + ")");
        return;
      }
      CloseHandle(pi.hThread);
      DWORD code = 1;
      const bool ended = WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0;
      GetExitCodeProcess(pi.hProcess, &code);
      CloseHandle(pi.hProcess);
      if (!ended)
        report_.Failed("unregistering " + f.path, "it did not end within a minute");
      else
        report_.Line("Unregistered " + f.path + " (exit code " + std::to_string(code) + ")");
      return;
    }
    const HRESULT com = CoInitialize(nullptr);
    wchar_t oldDir[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, oldDir);
    SetCurrentDirectoryW(dir.c_str());
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) {
      report_.Failed("unregistering " + f.path, "it cannot be loaded (error " + std::to_string(GetLastError()) + ")");
    } else {
      using Entry = HRESULT(STDAPICALLTYPE*)();
      auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
      if (!entry) {
        report_.Failed("unregistering " + f.path, "it has no DllUnregisterServer");
      } else if (const HRESULT hr = entry(); FAILED(hr)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
        report_.Failed("unregistering " + f.path, std::string("DllUnregisterServer returned ") + code);
      } else {
        report_.Line("Unregistered " + f.path);
      }
      FreeLibrary(module);
    }
    SetCurrentDirectoryW(oldDir);
    if (SUCCEEDED(com)) CoUninitialize();
  }

  void File(const TFileRecord& f) {
    Step(Format(TranslateMessage("Removing %s"), f.path));
    if (!Counted(f.path, true)) {
      report_.Line("Still used by another product, kept: " + f.path);
      return;
    }
    DeleteOne(f.path);
  }

  // Removes the folders of the removed files that are empty now, and the empty ones above them.
  void Folders() {
    std::vector<std::string> dirs(folders_.begin(), folders_.end());
    std::sort(dirs.begin(), dirs.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& start : dirs) {
      // Below the product's folder every folder that became empty goes, up to that folder; elsewhere
      // (a shared folder, the Start menu) only the file's own: a folder above may have been there before.
      const std::string folded = Folded(start);
      const bool inside = !top_.empty() && (folded == top_ || folded.rfind(top_ + "\\", 0) == 0);
      // A folder reached through a link lies elsewhere: it is not followed.
      if (ThroughReparsePoint(start)) continue;
      for (std::string dir = start; !IsDriveRoot(dir) && !IsSystemFolder(dir); dir = ExtractFileDir(dir)) {
        // RemoveDirectory refuses a folder that holds anything; nothing here empties one.
        if (!RemoveDirectoryW(sys::Wide(dir).c_str())) {
          if (pendingFolders_.count(dir) &&
              MoveFileExW(sys::Wide(dir).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
            report_.Line("Folder to be removed at the restart if empty: " + dir);
          break;
        }
        report_.Line("Removed folder " + dir);
        if (!inside || Folded(dir) == top_) break;
      }
    }
  }

  // The folder of a file removed otherwise, to be removed with the others when it is empty.
  void NoteFolder(const std::string& path) { folders_.insert(ExtractFileDir(path)); }

  void DeleteOne(const std::string& path) {
    const std::wstring wide = sys::Wide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      report_.Line("Already gone: " + path);
      folders_.insert(ExtractFileDir(path));
      return;
    }
    if (ThroughReparsePoint(path)) {
      report_.Failed(path, "it lies behind a link (reparse point), which is not followed");
      return;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      report_.Failed(path, "it is a folder, not a file");
      return;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    folders_.insert(ExtractFileDir(path));
    if (DeleteFileW(wide.c_str())) {
      report_.Line("Deleted " + path);
      return;
    }
    const DWORD error = GetLastError();
    if ((error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION) &&
        MoveFileExW(wide.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
      report_.Later(path);
      pendingFolders_.insert(ExtractFileDir(path));
      return;
    }
    report_.Failed(path, "it cannot be deleted (error " + std::to_string(error) + ")");
  }

private:
  void Step(const std::string& text) {
    if (window_) window_->Step(text);
  }

  // Counts one use of a shared file off: true when no use is left and the file may go. A file without
  // a counter is the product's own.
  bool Counted(const std::string& path, bool deleting) {
    if (deleting) {
      // A server's use was counted off when it was unregistered; a path listed twice (a second run of the
      // same installation) is counted twice, as it was installed.
      const auto it = decided_.find(Folded(path));
      if (it != decided_.end()) {
        const bool goes = it->second;
        decided_.erase(it);
        return goes;
      }
    }
    sys::RegKey counters = sys::RegKey::Open(sys::RootKey::LocalMachine, kSharedDLLsKey, false);
    bool goes = true;
    if (counters.IsOpen()) {
      wchar_t shortPath[MAX_PATH] = {};
      std::vector<std::string> names{path};
      if (GetShortPathNameW(sys::Wide(path).c_str(), shortPath, MAX_PATH)) names.insert(names.begin(), sys::Narrow(shortPath));
      for (const std::string& name : names) {
        std::uint32_t count = 0;
        if (!counters.ReadDword(name, count)) continue;
        if (count > 1) {
          counters.WriteDword(name, count - 1);
          report_.Line("Shared use count of " + path + " is now " + std::to_string(count - 1));
          goes = false;
        } else {
          counters.DeleteValue(name);
          report_.Line("Shared use count of " + path + " reached 0");
        }
        break;
      }
    }
    if (!deleting) decided_[Folded(path)] = goes;
    return goes;
  }

  TReport& report_;
  TProgressWindow* window_;
  std::set<std::string> folders_;
  std::set<std::string> pendingFolders_;
  std::map<std::string, bool> decided_;
  std::string top_;
};

struct TOptions {
  bool quiet = false;
  std::string log;
  std::string product;
  std::string copyOf;  // this is a temporary copy of that program
  HANDLE report = nullptr;
  HANDLE parent = nullptr;
};

HANDLE HandleValue(const std::string& text) {
  unsigned long long value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

TOptions ParseOptions(const std::vector<std::string>& args) {
  TOptions o;
  for (const std::string& a : args) {
    if (SameText(a, "-q") || SameText(a, "/q")) o.quiet = true;
    else if (a.rfind("-l", 0) == 0 || a.rfind("/l", 0) == 0) o.log = a.substr(2);
    else if (a.rfind("--copy-of=", 0) == 0) o.copyOf = a.substr(10);
    else if (a.rfind("--report=", 0) == 0) o.report = HandleValue(a.substr(9));
    else if (a.rfind("--parent=", 0) == 0) o.parent = HandleValue(a.substr(9));
    else if (o.product.empty()) o.product = a;
  }
  return o;
}

std::wstring Quote(const std::string& arg) { return L"\"" + sys::Wide(arg) + L"\""; }

std::string ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return std::string();
    if (n < path.size()) return sys::Narrow(path.substr(0, n));
    path.resize(path.size() * 2);
  }
}

// Runs the work from a temporary copy, so that the program file itself can go; the copy reports its
// exit code through a pipe before it removes this program. -1 when no copy could be started.
int RunFromCopy(const std::vector<std::string>& args, const std::string& self) {
  wchar_t temp[MAX_PATH + 1] = {};
  if (!GetTempPathW(MAX_PATH + 1, temp)) return -1;
  const std::wstring copy = std::wstring(temp) + L"tavun" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  if (!CopyFileW(sys::Wide(self).c_str(), copy.c_str(), FALSE)) return -1;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr, parent = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return -1;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &parent, SYNCHRONIZE, TRUE, 0);
  std::wstring command = L"\"" + copy + L"\" --copy-of=" + Quote(self) +
                         L" --report=" + std::to_wstring(reinterpret_cast<std::uintptr_t>(writeEnd)) +
                         L" --parent=" + std::to_wstring(reinterpret_cast<std::uintptr_t>(parent));
  for (const std::string& a : args) {
    if (a.rfind("-l", 0) == 0 || a.rfind("/l", 0) == 0) {
      // The copy runs in the same folder, but a relative log is made absolute all the same.
      wchar_t full[MAX_PATH] = {};
      const std::wstring given = sys::Wide(a.substr(2));
      command += L" " + Quote("-l" + sys::Narrow(GetFullPathNameW(given.c_str(), MAX_PATH, full, nullptr) ? full
                                                                                                             : given));
    } else {
      command += L" " + Quote(a);
    }
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  const BOOL started =
      CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(writeEnd);
  if (parent) CloseHandle(parent);
  if (!started) {
    CloseHandle(readEnd);
    DeleteFileW(copy.c_str());
    return -1;
  }
  CloseHandle(pi.hThread);
  int code = kExitFailed;
  DWORD got = 0;
  if (!ReadFile(readEnd, &code, sizeof code, &got, nullptr) || got != sizeof code) {
    // The copy ended without reporting: its own exit code tells.
    DWORD exit = kExitFailed;
    WaitForSingleObject(pi.hProcess, INFINITE);
    GetExitCodeProcess(pi.hProcess, &exit);
    code = static_cast<int>(exit);
  }
  CloseHandle(readEnd);
  CloseHandle(pi.hProcess);
  return code;
}

void Message(const TOptions& o, HWND owner, const std::string& text, UINT icon) {
  if (!o.quiet) MessageBoxW(owner, sys::Wide(text).c_str(), Title().c_str(), MB_OK | icon);
}

// After the report: waits for the program this copy stands for to end, then removes it and its
// folder when that is empty; the copy itself goes at the restart.
void RemoveOriginal(const TOptions& o, TReport& report, const std::string& installLocation) {
  if (o.parent) {
    WaitForSingleObject(o.parent, 30000);
    CloseHandle(o.parent);
  }
  if (!o.copyOf.empty() && FileRefusal(o.copyOf).empty()) {
    // The program may take a moment to let go of its file after it ended.
    for (int attempt = 0; attempt < 50; ++attempt) {
      if (DeleteFileW(sys::Wide(o.copyOf).c_str())) {
        report.Line("Deleted " + o.copyOf);
        break;
      }
      if (GetLastError() == ERROR_FILE_NOT_FOUND) break;
      Sleep(100);
    }
    TRemover remover(report, nullptr, installLocation);
    if (GetFileAttributesW(sys::Wide(o.copyOf).c_str()) == INVALID_FILE_ATTRIBUTES)
      remover.NoteFolder(o.copyOf);
    else
      remover.DeleteOne(o.copyOf);  // still held: left for the restart
    remover.Folders();
  }
}

}  // namespace

std::string FileRefusal(const std::string& path) {
  if (!IsAbsoluteLocal(path)) return "not an absolute local path: \"" + path + "\"";
  if (IsDriveRoot(path) || ExcludeTrailingBackslash(path).size() <= 2) return "a drive root: \"" + path + "\"";
  if (IsSystemFolder(path)) return "a system folder: \"" + path + "\"";
  return std::string();
}

bool ReadUninstallRecord(const std::string& productName, TUninstallRecord& record, std::string& reason) {
  record = TUninstallRecord();
  if (Trim(productName).empty() || productName.find('\\') != std::string::npos) {
    reason = TranslateMessage("No product name was given");
    return false;
  }
  record.productKey = kUninstallKeyPrefix + productName;
  sys::RegKey product = sys::RegKey::Open(sys::RootKey::LocalMachine, record.productKey, false);
  if (!product.IsOpen()) {
    reason = Format(TranslateMessage("There is no uninstall information for \"%s\""), productName);
    return false;
  }
  if (!product.ReadString("DisplayName", record.displayName)) record.displayName = productName;
  product.ReadString(kInstallLanguageValue, record.language);
  // Only a sound folder bounds the removal of empty folders; without one each file's own folder goes.
  if (product.ReadString("InstallLocation", record.installLocation) && !FileRefusal(record.installLocation).empty())
    record.installLocation.clear();
  for (int suffix = 0; suffix <= kUninstallFileListTries; ++suffix) {
    const std::string list = record.productKey + "\\Files" + (suffix ? std::to_string(suffix) : std::string());
    if (!ReadFileList(list, false, record.files, reason)) return false;
  }
  if (!ReadFileList(record.productKey + "\\ActiveX", true, record.servers, reason)) return false;
  sys::RegKey keys = product.OpenSubKey("RegistryKeys", false);
  std::string text;
  int count = 0;
  if (keys.IsOpen() && keys.ReadString("Entries", text)) {
    if (!ParseCount(text, count)) {
      reason = "The entry count of the registry keys cannot be read";
      return false;
    }
    for (int n = 1; n <= count; ++n) {
      sys::RegKey slot = keys.OpenSubKey("RegistryKey" + std::to_string(n), false);
      // A slot reserved by a run that failed before writing it holds nothing to undo.
      if (!slot.IsOpen()) continue;
      TRegistryRecord r;
      std::uint32_t root = 0;
      if (!slot.ReadString("Key", r.key) || !slot.ReadDword("Root", root)) continue;
      r.root = static_cast<int>(root);
      sys::RegKey entries = slot.OpenSubKey("Entries", false);
      if (entries.IsOpen()) r.idents = entries.ValueNames();
      record.registryKeys.push_back(r);
    }
  }
  return true;
}

std::vector<std::string> RecordRefusals(const TUninstallRecord& record) {
  std::vector<std::string> refusals;
  for (const auto* list : {&record.files, &record.servers})
    for (const TFileRecord& f : *list)
      if (std::string why = FileRefusal(f.path); !why.empty()) refusals.push_back("A file entry is " + why);
  for (const TRegistryRecord& r : record.registryKeys) {
    if (r.root < hkClassesRoot || r.root > hkUsers)
      refusals.push_back("A registry entry names an unknown root (" + std::to_string(r.root) + ")");
    else if (RegistryKeyDepth(r.key) < 2)
      refusals.push_back("A registry entry names a first-level key: \"" + r.key + "\"");
  }
  return refusals;
}

int Run(const std::vector<std::string>& args) {
  TOptions o = ParseOptions(args);
  const std::string self = ModulePath();
  if (o.copyOf.empty()) {
    const int code = RunFromCopy(args, self);
    if (code >= 0) return code;
    // No copy: the work is done here and this file goes at the restart.
    o.copyOf.clear();
  }
  TReport report(o.log);
  int code = kExitDone;
  bool removed = false;  // the product's record is gone: so is the use of this program
  const auto finish = [&](int result) {
    report.Line("Exit code " + std::to_string(result));
    if (o.report) {
      DWORD written = 0;
      WriteFile(o.report, &result, sizeof result, &written, nullptr);
      CloseHandle(o.report);
    }
    // A running program cannot delete itself: this copy (or the program itself, when no copy could
    // be made) goes at the restart.
    if (!o.copyOf.empty() || removed) MoveFileExW(sys::Wide(self).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return result;
  };
  report.Line("Uninstalling \"" + o.product + "\"");

  TUninstallRecord record;
  std::string reason;
  if (!ReadUninstallRecord(o.product, record, reason)) {
    report.Line("FAILED: " + reason);
    Message(o, nullptr, reason, MB_ICONERROR);
    return finish(kExitFailed);
  }
  // From here on the product's own language.
  if (UseLanguage(record.language)) report.Line("Language: " + record.language);
  if (const std::vector<std::string> refusals = RecordRefusals(record); !refusals.empty()) {
    std::string text =
        Format(TranslateMessage("The uninstall information of \"%s\" is refused, nothing was removed:"), o.product);
    for (const std::string& r : refusals) text += "\n" + r;
    report.Line("FAILED: " + text);
    Message(o, nullptr, text, MB_ICONERROR);
    return finish(kExitFailed);
  }
  if (!o.quiet && MessageBoxW(nullptr,
                              sys::Wide(Format(TranslateMessage("Are you sure you want to completely remove \"%s\" "
                                                                "and all of its components?"),
                                               record.displayName))
                                  .c_str(),
                              Title().c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES) {
    report.Line("Cancelled by the user");
    return finish(kExitCancelled);
  }

  {
    const int steps = static_cast<int>(record.registryKeys.size() + 2 * record.servers.size() + record.files.size());
    std::unique_ptr<TProgressWindow> window;
    if (!o.quiet) window = std::make_unique<TProgressWindow>(sys::Wide(record.displayName), steps);
    TRemover remover(report, window.get(), record.installLocation);
    // Reverse order: registry actions come last in an install, servers before the files they may need.
    for (auto r = record.registryKeys.rbegin(); r != record.registryKeys.rend(); ++r) remover.RegistryKey(*r);
    for (auto f = record.servers.rbegin(); f != record.servers.rend(); ++f) remover.Unregister(*f);
    for (auto f = record.servers.rbegin(); f != record.servers.rend(); ++f) remover.File(*f);
    for (auto f = record.files.rbegin(); f != record.files.rend(); ++f) remover.File(*f);
    remover.Folders();
    DeleteKeyTree(hkLocalMachine, record.productKey);
    sys::RegKey gone = sys::RegKey::Open(sys::RootKey::LocalMachine, record.productKey, false);
    if (gone.IsOpen())
      report.Failed("the uninstall information " + record.productKey, "it cannot be deleted");
    else
      report.Line("Removed the uninstall information " + record.productKey);
    removed = true;
  }

  code = !report.left.empty() ? kExitFailed : report.restart ? kExitRestart : kExitDone;
  finish(code);
  if (!o.copyOf.empty()) RemoveOriginal(o, report, record.installLocation);
  if (!report.left.empty()) {
    std::string text =
        Format(TranslateMessage("\"%s\" was removed, but these items could not be removed:"), record.displayName);
    for (const std::string& item : report.left) text += "\n" + item;
    Message(o, nullptr, text, MB_ICONWARNING);
  } else if (report.restart) {
    Message(o, nullptr,
            Format(TranslateMessage(
                       "\"%s\" was removed. Some files are in use: restart your computer to finish removing them."),
                   record.displayName),
            MB_ICONINFORMATION);
  } else {
    Message(o, nullptr,
            Format(TranslateMessage("\"%s\" was successfully removed from your computer."), record.displayName),
            MB_ICONINFORMATION);
  }
  return code;
}

}  // namespace tav::uninstaller
