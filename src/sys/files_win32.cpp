#include <windows.h>

#include <algorithm>
#include <vector>

#include "sys/dates.h"
#include "sys/files.h"
#include "sys/files_names.h"
#include "sys/unicode.h"

namespace tav::sys {

namespace {

HANDLE H(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// Days from 1601-01-01 (FILETIME origin) to 1899-12-30.
constexpr double kFileTimeEpochDays = 109205.0;
constexpr double kFileTimeTicksPerDay = 864000000000.0;

std::string StripTrailingSeparator(std::string path) {
  // "C:\" keeps its separator: "C:" alone names the drive's current directory, not its root.
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

}  // namespace

File File::Open(const std::string& path, OpenMode mode) {
  DWORD access = GENERIC_READ, share = FILE_SHARE_READ, disposition = OPEN_EXISTING;
  switch (mode) {
    case OpenMode::Read:
      break;
    case OpenMode::ReadShared:
      share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
      break;
    case OpenMode::Create:
      // Others may look at a file while it is written, but not change it.
      access = GENERIC_READ | GENERIC_WRITE;
      disposition = CREATE_ALWAYS;
      break;
    case OpenMode::ReadWrite:
      access = GENERIC_READ | GENERIC_WRITE;
      break;
    case OpenMode::CreateNew:
      access = GENERIC_READ | GENERIC_WRITE;
      disposition = CREATE_NEW;
      break;
  }
  File f;
  if (path.empty()) return f;
  HANDLE h = CreateFileW(Wide(path).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    // A directory opens with CreateFileW only with backup semantics, so h is a file here.
    f.handle_ = reinterpret_cast<std::intptr_t>(h);
  }
  return f;
}

std::size_t File::Read(void* buffer, std::size_t n) {
  if (!IsOpen()) {
    failed_ = true;
    return 0;
  }
  auto* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(H(handle_), p + done, chunk, &got, nullptr)) {
      failed_ = true;
      break;
    }
    if (got == 0) break;  // end of file
    done += got;
  }
  return done;
}

std::size_t File::Write(const void* buffer, std::size_t n) {
  if (!IsOpen()) {
    failed_ = true;
    return 0;
  }
  const auto* p = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
    DWORD put = 0;
    if (!WriteFile(H(handle_), p + done, chunk, &put, nullptr) || put == 0) {
      failed_ = true;
      break;
    }
    done += put;
  }
  return done;
}

std::int64_t File::Seek(std::int64_t position) {
  LARGE_INTEGER to, now;
  to.QuadPart = position;
  if (!IsOpen() || position < 0 || !SetFilePointerEx(H(handle_), to, &now, FILE_BEGIN)) return -1;
  return now.QuadPart;
}

std::int64_t File::Position() const {
  LARGE_INTEGER zero, now;
  zero.QuadPart = 0;
  if (!IsOpen() || !SetFilePointerEx(H(handle_), zero, &now, FILE_CURRENT)) return -1;
  return now.QuadPart;
}

std::int64_t File::Size() const {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(H(handle_), &size)) return -1;
  return size.QuadPart;
}

bool File::Truncate() { return IsOpen() && SetEndOfFile(H(handle_)); }

bool File::Flush() { return IsOpen() && FlushFileBuffers(H(handle_)); }

std::uint32_t File::DosDateTime() const {
  FILETIME utc, local;
  WORD date = 0, time = 0;
  if (!IsOpen() || !GetFileTime(H(handle_), nullptr, nullptr, &utc) || !FileTimeToLocalFileTime(&utc, &local) ||
      !FileTimeToDosDateTime(&local, &date, &time)) {
    return 0;
  }
  return static_cast<std::uint32_t>(date) << 16 | time;
}

bool File::SetDosDateTime(std::uint32_t dosDateTime) {
  FILETIME local, utc;
  if (!IsOpen() || DosDateTimeToDateTime(dosDateTime) == 0 ||
      !DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16), static_cast<WORD>(dosDateTime & 0xFFFF),
                             &local) ||
      !LocalFileTimeToFileTime(&local, &utc)) {
    return false;
  }
  return SetFileTime(H(handle_), nullptr, nullptr, &utc) != 0;
}

double File::LastWriteTime() const {
  FILETIME utc, local;
  if (!IsOpen() || !GetFileTime(H(handle_), nullptr, nullptr, &utc) || !FileTimeToLocalFileTime(&utc, &local)) {
    return 0;
  }
  const auto ticks = static_cast<double>(static_cast<std::uint64_t>(local.dwHighDateTime) << 32 | local.dwLowDateTime);
  return ticks / kFileTimeTicksPerDay - kFileTimeEpochDays;
}

bool File::Close() {
  const bool ok = !IsOpen() || CloseHandle(H(handle_));
  handle_ = -1;
  return ok;
}

bool FileExists(const std::string& path) {
  const DWORD a = GetFileAttributesW(Wide(path).c_str());
  return !path.empty() && a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

PathKind KindOf(const std::string& path) {
  const DWORD a = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(Wide(path).c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return PathKind::None;
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) return PathKind::Link;
  return a & FILE_ATTRIBUTE_DIRECTORY ? PathKind::Dir : PathKind::File;
}

bool DirExists(const std::string& path) {
  const DWORD a = GetFileAttributesW(Wide(path).c_str());
  return !path.empty() && a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeDir(const std::string& path) { return !path.empty() && CreateDirectoryW(Wide(path).c_str(), nullptr); }

bool RemoveFile(const std::string& path) { return !path.empty() && DeleteFileW(Wide(path).c_str()); }

bool RemoveEmptyDir(const std::string& path) { return !path.empty() && RemoveDirectoryW(Wide(path).c_str()); }

bool RenameFile(const std::string& from, const std::string& to) {
  return !from.empty() && !to.empty() && MoveFileW(Wide(from).c_str(), Wide(to).c_str());
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  return !from.empty() && !to.empty() &&
         MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) {
  return !from.empty() && !to.empty() && CopyFileW(Wide(from).c_str(), Wide(to).c_str(), failIfExists);
}

ReplacementFile::ReplacementFile(const std::string& target) : target_(target) {
  if (target.empty()) return;
  // A device (NUL, a console) is written directly. Opening without access rights only asks what it is.
  HANDLE probe = CreateFileW(Wide(target).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  if (probe != INVALID_HANDLE_VALUE) {
    const DWORD type = GetFileType(probe);
    CloseHandle(probe);
    if (type != FILE_TYPE_DISK) {
      OpenDirectly();
      return;
    }
  }
  const std::size_t cut = target.find_last_of("\\/:");
  std::string dir = cut == std::string::npos ? "." : target.substr(0, cut + 1);
  if (cut != std::string::npos && target[cut] == ':') dir += '.';  // "C:name" is in drive C's current directory
  const std::string name = cut == std::string::npos ? target : target.substr(cut + 1);
  working_ = CreateUniqueFile(dir, name + ".");
  if (working_.empty()) return;
  replaces_ = true;
  file_ = File::Open(working_, OpenMode::Create);
  if (!file_.IsOpen()) Discard();
}

std::int64_t FileSizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return -1;
  }
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
}

std::string TempDirectory() {
  std::vector<wchar_t> buf(MAX_PATH + 1);
  DWORD n = GetTempPathW(static_cast<DWORD>(buf.size()), buf.data());
  if (n >= buf.size()) {
    buf.resize(n + 1);
    n = GetTempPathW(static_cast<DWORD>(buf.size()), buf.data());
  }
  if (n == 0 || n >= buf.size()) return "";
  return StripTrailingSeparator(Narrow(std::wstring(buf.data(), n)));
}

std::string CreateUniqueFile(const std::string& dir, const std::string& prefix) {
  if (dir.empty()) return "";
  std::string base = dir;
  if (base.back() != '\\' && base.back() != '/') base += '\\';
  base += prefix;
  // Like the system's temporary names: prefix, four hex digits, ".tmp"; but the whole prefix is kept.
  const unsigned start = GetTickCount() ^ (GetCurrentProcessId() << 4);
  return CreateFirstFreeName(base, start, [](const std::string& name) {
    HANDLE h = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD err = GetLastError();
      return err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS ? CreateResult::Taken : CreateResult::Failed;
    }
    CloseHandle(h);
    return CreateResult::Created;
  });
}

std::string ModuleFileName() {
  std::vector<wchar_t> buf(MAX_PATH + 1);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return "";
    if (n < buf.size()) return Narrow(std::wstring(buf.data(), n));
    if (buf.size() > 32768) return "";
    buf.resize(buf.size() * 2);
  }
}

std::string CurrentDirectory() {
  DWORD n = GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return "";
  std::vector<wchar_t> buf(n + 1);
  n = GetCurrentDirectoryW(static_cast<DWORD>(buf.size()), buf.data());
  if (n == 0 || n >= buf.size()) return "";
  return StripTrailingSeparator(Narrow(std::wstring(buf.data(), n)));
}

}  // namespace tav::sys
