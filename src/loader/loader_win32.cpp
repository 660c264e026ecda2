// TavenrikLoadProgram.exe, the file a user starts (shipped as "setup.exe"): unpacks "setup.1" - the
// one appended to itself, or the one beside it - into a private folder under the temporary folder,
// starts the setup program from there and ends with its exit code.
//
//   setup.exe            install: setup runs with -s<this folder> -c, and -e<this file> when self-extracting
//   setup.exe *TODISK    floppy transfer: setup runs with -f -e -s
//
// -q (no window), -l<log file> and -p<install folder> are passed on to setup as they were given; with -q
// a failure of the loading program itself shows no box and goes to the log.
//
// Deliberately small and plain: kernel32, user32 and advapi32 (all loaded from the system folder
// before any code runs), zlib, and the trailer reader; no C++ library, no exceptions.
#include <windows.h>
#include <ntsecapi.h>

#include <zlib.h>

#include "archive/self_extract.h"

namespace {

constexpr DWORD kPath = 32768;
constexpr DWORD kHeaderSize = 172, kPrologueSize = 5, kMaxMembers = 2000;
constexpr UINT kFailed = 1;  // setup's own code for a failed run

// The working buffers, allocated zeroed at the start rather than stored in the file; nothing here
// runs concurrently.
struct TBuffers {
  wchar_t self[kPath], sourceDir[kPath], folder[kPath], file[kPath], setup[kPath], command[6 * kPath + 64];
  wchar_t passOn[3 * kPath], log[kPath], token[kPath];
  char line[4 * kPath];
  bool quiet, hasLog, toDisk;
  unsigned char in[64 * 1024], out[64 * 1024];
};
TBuffers* g;

// Appends one line with the local time to the log named by -l (UTF-8, as setup writes it).
void LogLine(const wchar_t* text) {
  if (!g->hasLog) return;
  HANDLE log = CreateFileW(g->log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return;
  SYSTEMTIME t;
  GetLocalTime(&t);
  int n = wsprintfA(g->line, "%04u-%02u-%02u %02u:%02u:%02u ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  const int text8 = WideCharToMultiByte(CP_UTF8, 0, text, -1, g->line + n, sizeof g->line - n - 3, nullptr, nullptr);
  if (text8 > 0) {
    n += text8 - 1;
    for (int i = 0; i < n; ++i)
      if (g->line[i] == '\n') g->line[i] = ' ';  // one event, one line
    g->line[n++] = '\r';
    g->line[n++] = '\n';
    DWORD put = 0;
    WriteFile(log, g->line, static_cast<DWORD>(n), &put, nullptr);
  }
  CloseHandle(log);
}

void Fail(const wchar_t* text) {
  LogLine(text);
  if (!g->quiet) MessageBoxW(nullptr, text, L"Setup", MB_OK | MB_ICONERROR);
}

void Damaged() {
  Fail(L"This setup program is damaged or incomplete, so the installation cannot start.\n\n"
       L"Download or copy the setup program again and start the new copy.");
}

// Appends text to buffer (of kPath or more characters); false when it does not fit.
bool Append(wchar_t* buffer, DWORD capacity, const wchar_t* text) {
  const DWORD have = static_cast<DWORD>(lstrlenW(buffer)), add = static_cast<DWORD>(lstrlenW(text));
  if (have + add + 1 > capacity) return false;
  lstrcpyW(buffer + have, text);
  return true;
}

std::uint32_t Get32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool ReadAt(HANDLE file, std::int64_t at, void* buffer, DWORD n) {
  LARGE_INTEGER pos;
  pos.QuadPart = at;
  DWORD got = 0;
  return SetFilePointerEx(file, pos, nullptr, FILE_BEGIN) && ReadFile(file, buffer, n, &got, nullptr) && got == n;
}

// The folder part of path, without the trailing backslash, into out.
void DirectoryOf(const wchar_t* path, wchar_t* out) {
  lstrcpyW(out, path);
  wchar_t* slash = nullptr;
  for (wchar_t* p = out; *p; ++p)
    if (*p == L'\\' || *p == L'/') slash = p;
  if (slash) *slash = 0;
}

const wchar_t* FileNameOf(const wchar_t* path) {
  const wchar_t* name = path;
  for (const wchar_t* p = path; *p; ++p)
    if (*p == L'\\' || *p == L'/' || *p == L':') name = p + 1;
  return name;
}

// A new folder under the temporary folder whose name nobody can predict: 128 random bits.
bool MakePrivateFolder() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) return false;
  for (int attempt = 0; attempt < 8; ++attempt) {
    unsigned char random[16];
    if (!RtlGenRandom(random, sizeof random)) return false;
    wchar_t name[40] = L"tvl";
    for (int i = 0; i < 16; ++i) {
      name[3 + 2 * i] = L"0123456789abcdef"[random[i] >> 4];
      name[4 + 2 * i] = L"0123456789abcdef"[random[i] & 15];
    }
    lstrcpyW(g->folder, temp);
    Append(g->folder, kPath, name);
    if (CreateDirectoryW(g->folder, nullptr)) return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

// Removes the private folder and what was unpacked into it (it holds no subfolders).
void RemovePrivateFolder() {
  wchar_t pattern[kPath];
  lstrcpyW(pattern, g->folder);
  Append(pattern, kPath, L"\\*");
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(pattern, &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      lstrcpyW(g->file, g->folder);
      Append(g->file, kPath, L"\\");
      Append(g->file, kPath, found.cFileName);
      DeleteFileW(g->file);
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(g->folder);
}

enum class Unpack { Ok, Damaged, Failed };

// Inflates bytes [start, end] of archive into dest; size must come out exactly.
Unpack Inflate(HANDLE archive, std::int64_t start, std::int64_t end, HANDLE dest, std::uint32_t size) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return Unpack::Failed;
  Unpack result = Unpack::Damaged;
  std::int64_t next = start;
  std::uint64_t written = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (z.avail_in == 0) {
      if (next > end) break;
      const DWORD want = static_cast<DWORD>(end + 1 - next < static_cast<std::int64_t>(sizeof g->in) ? end + 1 - next
                                                                                                   : sizeof g->in);
      if (!ReadAt(archive, next, g->in, want)) break;
      next += want;
      z.next_in = g->in;
      z.avail_in = want;
    }
    z.next_out = g->out;
    z.avail_out = sizeof g->out;
    rc = inflate(&z, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) break;
    const DWORD produced = static_cast<DWORD>(sizeof g->out - z.avail_out);
    DWORD put = 0;
    if (produced > 0 && (!WriteFile(dest, g->out, produced, &put, nullptr) || put != produced)) {
      result = Unpack::Failed;
      break;
    }
    written += produced;
    if (written > size) break;
  }
  if (rc == Z_STREAM_END && written == size) result = Unpack::Ok;
  inflateEnd(&z);
  return result;
}

// Unpacks every member of the single-file archive at [start, end] of archive into the private
// folder; the first member, the setup program, is named in g->setup.
Unpack UnpackSetupArchive(HANDLE archive, std::int64_t start, std::int64_t end) {
  unsigned char prologue[kPrologueSize];
  if (end - start + 1 < kPrologueSize || !ReadAt(archive, start, prologue, kPrologueSize)) return Unpack::Damaged;
  const std::uint32_t count = Get32(prologue);
  if (count == 0 || count > kMaxMembers || prologue[4] != 0) return Unpack::Damaged;
  std::int64_t header = kPrologueSize;
  for (std::uint32_t i = 0; i < count; ++i) {
    unsigned char h[kHeaderSize];
    if (start + header + kHeaderSize - 1 > end || !ReadAt(archive, start + header, h, kHeaderSize))
      return Unpack::Damaged;
    const std::int64_t dataStart = static_cast<std::int32_t>(Get32(h + 132));
    const std::int64_t dataEnd = static_cast<std::int32_t>(Get32(h + 16));
    const std::int64_t nextHeader = static_cast<std::int32_t>(Get32(h + 124));
    const std::uint32_t size = Get32(h + 128);
    if (dataStart != header + kHeaderSize || dataEnd < dataStart - 1 || start + dataEnd > end || nextHeader != dataEnd + 1)
      return Unpack::Damaged;
    // The stored name is the source path at build time: only its last part is used.
    char stored[101] = {};
    const unsigned length = h[20] <= 100 ? h[20] : 100;
    for (unsigned c = 0; c < length; ++c) stored[c] = static_cast<char>(h[21 + c]);
    wchar_t wide[128] = {};
    if (length == 0 || MultiByteToWideChar(CP_ACP, 0, stored, static_cast<int>(length), wide, 127) <= 0)
      return Unpack::Damaged;
    const wchar_t* name = FileNameOf(wide);
    if (!*name || lstrcmpW(name, L".") == 0 || lstrcmpW(name, L"..") == 0) return Unpack::Damaged;
    lstrcpyW(g->file, g->folder);
    if (!Append(g->file, kPath, L"\\") || !Append(g->file, kPath, name)) return Unpack::Failed;
    if (i == 0) lstrcpyW(g->setup, g->file);
    HANDLE dest = CreateFileW(g->file, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (dest == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS ? Unpack::Damaged : Unpack::Failed;
    const Unpack member = Inflate(archive, start + dataStart, start + dataEnd, dest, size);
    if (!CloseHandle(dest) && member == Unpack::Ok) return Unpack::Failed;
    if (member != Unpack::Ok) return member;
    header = nextHeader;
  }
  return Unpack::Ok;
}

// The next argument of p into g->token (quotes removed, as the C run-time reads them, without escapes);
// false at the end or for one longer than a path.
bool NextArgument(const wchar_t*& p) {
  while (*p == L' ' || *p == L'\t') ++p;
  if (!*p) return false;
  DWORD n = 0;
  bool quoted = false;
  for (; *p && (quoted || (*p != L' ' && *p != L'\t')); ++p) {
    if (*p == L'"') {
      quoted = !quoted;
      continue;
    }
    if (n + 1 >= kPath) return false;
    g->token[n++] = *p;
  }
  g->token[n] = 0;
  return true;
}

// The arguments after the program's own name: "*TODISK" alone asks for the floppy transfer; -q, -l and
// -p (any case, "/" for "-" too) go on to setup; anything else is ignored, as it always was.
bool ReadArguments() {
  const wchar_t* p = GetCommandLineW();
  if (!NextArgument(p)) return true;  // the program's own name
  int count = 0;
  while (NextArgument(p)) {
    ++count;
    if (CompareStringOrdinal(g->token, -1, L"*TODISK", -1, TRUE) == CSTR_EQUAL) g->toDisk = true;
    if ((g->token[0] != L'-' && g->token[0] != L'/') || !g->token[1]) continue;
    const wchar_t letter = g->token[1] | 0x20;  // lower case of the three letters; no other maps onto them
    if (letter != L'q' && letter != L'l' && letter != L'p') continue;
    // Quoted on, a final backslash would escape the closing quote.
    for (int end = lstrlenW(g->token); end > 2 && g->token[end - 1] == L'\\'; --end) g->token[end - 1] = 0;
    if (letter == L'q') g->quiet = true;
    if (letter == L'l') {
      g->hasLog = true;
      lstrcpyW(g->log, g->token + 2);
    }
    g->token[0] = L'-';
    if (!Append(g->passOn, ARRAYSIZE(g->passOn), L" \"") || !Append(g->passOn, ARRAYSIZE(g->passOn), g->token) ||
        !Append(g->passOn, ARRAYSIZE(g->passOn), L"\""))
      return false;
  }
  g->toDisk = g->toDisk && count == 1;
  return true;
}

UINT Run() {
  g = static_cast<TBuffers*>(VirtualAlloc(nullptr, sizeof(TBuffers), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  if (!g) return kFailed;
  const DWORD selfLength = GetModuleFileNameW(nullptr, g->self, kPath);
  if (selfLength == 0 || selfLength >= kPath) return kFailed;
  DirectoryOf(g->self, g->sourceDir);
  if (!ReadArguments()) {
    Fail(L"The command line of the setup program is too long.");
    return kFailed;
  }
  const bool toDisk = g->toDisk;

  // The archive to unpack: the one appended to this file, else "setup.1" beside it.
  HANDLE self = CreateFileW(g->self, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (self == INVALID_HANDLE_VALUE) {
    Fail(L"The setup program cannot read its own file.");
    return kFailed;
  }
  LARGE_INTEGER size{};
  unsigned char trailer[tav::kSelfExtractTrailerSize];
  tav::TSelfExtractInfo info;
  const bool selfExtracting = GetFileSizeEx(self, &size) &&
                              size.QuadPart >= static_cast<LONGLONG>(sizeof trailer) &&
                              ReadAt(self, size.QuadPart - sizeof trailer, trailer, sizeof trailer) &&
                              tav::ParseSelfExtractTrailer(trailer, size.QuadPart, info);
  HANDLE archive = self;
  std::int64_t start = info.setupStart, end = info.setupEnd;
  if (!selfExtracting) {
    CloseHandle(self);
    lstrcpyW(g->file, g->sourceDir);
    Append(g->file, kPath, L"\\setup.1");
    archive = CreateFileW(g->file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER archiveSize{};
    if (archive == INVALID_HANDLE_VALUE || !GetFileSizeEx(archive, &archiveSize) || archiveSize.QuadPart < 1) {
      if (archive != INVALID_HANDLE_VALUE) CloseHandle(archive);
      Damaged();  // neither data of its own nor setup.1 beside it: a truncated or partial copy
      return kFailed;
    }
    start = 0;
    end = archiveSize.QuadPart - 1;
  }
  if (!MakePrivateFolder()) {
    CloseHandle(archive);
    Fail(L"The setup program cannot create its temporary folder.");
    return kFailed;
  }
  const Unpack unpacked = UnpackSetupArchive(archive, start, end);
  CloseHandle(archive);
  if (unpacked != Unpack::Ok) {
    RemovePrivateFolder();
    if (unpacked == Unpack::Damaged)
      Damaged();
    else
      Fail(L"The setup program cannot unpack its files into the temporary folder. The disk may be full.");
    return kFailed;
  }

  bool fits = Append(g->command, ARRAYSIZE(g->command), L"\"") && Append(g->command, ARRAYSIZE(g->command), g->setup) &&
              Append(g->command, ARRAYSIZE(g->command), L"\"");
  if (toDisk) fits = fits && Append(g->command, ARRAYSIZE(g->command), L" -f");
  fits = fits && Append(g->command, ARRAYSIZE(g->command), L" \"-s") &&
         Append(g->command, ARRAYSIZE(g->command), g->sourceDir) && Append(g->command, ARRAYSIZE(g->command), L"\"");
  // Setup removes this copy at its end; a floppy transfer is cleaned up here.
  if (!toDisk) fits = fits && Append(g->command, ARRAYSIZE(g->command), L" -c");
  if (selfExtracting)
    fits = fits && Append(g->command, ARRAYSIZE(g->command), L" \"-e") &&
           Append(g->command, ARRAYSIZE(g->command), FileNameOf(g->self)) && Append(g->command, ARRAYSIZE(g->command), L"\"");
  fits = fits && Append(g->command, ARRAYSIZE(g->command), g->passOn);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!fits || !CreateProcessW(g->setup, g->command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    RemovePrivateFolder();
    Fail(L"The setup program cannot start the installation.");
    return kFailed;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = kFailed;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  if (toDisk) RemovePrivateFolder();
  return code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Only DLLs from the system folder: one planted beside a downloaded setup.exe is never loaded.
  // Looked up rather than imported, so that a system without it still starts (without that guard).
  using TSetDefault = BOOL(WINAPI*)(DWORD);
  if (auto set = reinterpret_cast<TSetDefault>(
          reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"))))
    set(LOAD_LIBRARY_SEARCH_SYSTEM32);
  else
    SetDllDirectoryW(L"");
  return static_cast<int>(Run());
}
