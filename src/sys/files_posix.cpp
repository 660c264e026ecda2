#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "sys/dates.h"
#include "sys/files.h"
#include "sys/files_names.h"

namespace tav::sys {

namespace {

int Fd(std::intptr_t h) { return static_cast<int>(h); }

std::string StripTrailingSeparator(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool LocalParts(time_t seconds, DateParts& p) {
  tm local{};
  if (!localtime_r(&seconds, &local)) return false;
  p.year = local.tm_year + 1900;
  p.month = local.tm_mon + 1;
  p.day = local.tm_mday;
  p.hour = local.tm_hour;
  p.minute = local.tm_min;
  p.second = local.tm_sec > 59 ? 59 : local.tm_sec;
  p.millisecond = 0;
  return true;
}

bool StatMode(const std::string& path, mode_t& mode) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0) return false;
  mode = st.st_mode;
  return true;
}

// A new file named prefix, four hex digits, ".tmp" in dir, made with mode (less the umask); its path or "".
std::string UniqueFile(const std::string& dir, const std::string& prefix, mode_t mode) {
  if (dir.empty()) return "";
  std::string base = dir;
  if (base.back() != '/') base += '/';
  base += prefix;
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const unsigned start = static_cast<unsigned>(ts.tv_nsec ^ (getpid() << 4));
  return CreateFirstFreeName(base, start, [mode](const std::string& name) {
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return errno == EEXIST ? CreateResult::Taken : CreateResult::Failed;
    close(fd);
    return CreateResult::Created;
  });
}

}  // namespace

File File::Open(const std::string& path, OpenMode mode) {
  int flags = O_RDONLY;
  switch (mode) {
    case OpenMode::Read:
    case OpenMode::ReadShared:
      break;  // no share modes here
    case OpenMode::Create:
      flags = O_RDWR | O_CREAT | O_TRUNC;
      break;
    case OpenMode::ReadWrite:
      flags = O_RDWR;
      break;
    case OpenMode::CreateNew:
      flags = O_RDWR | O_CREAT | O_EXCL;  // O_EXCL never follows a link at the name
      break;
  }
  File f;
  if (path.empty()) return f;
  int fd;
  do {
    fd = open(path.c_str(), flags | O_CLOEXEC, mode == OpenMode::CreateNew ? 0666 : 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return f;
  struct stat st;
  // A file just made cannot be a directory: spare the check.
  if (mode != OpenMode::CreateNew && (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))) {  // as on Windows
    close(fd);
    return f;
  }
  f.handle_ = fd;
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
    const ssize_t got = read(Fd(handle_), p + done, n - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
      break;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
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
    const ssize_t put = write(Fd(handle_), p + done, n - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      failed_ = true;
      break;
    }
    done += static_cast<std::size_t>(put);
  }
  return done;
}

std::int64_t File::Seek(std::int64_t position) {
  if (!IsOpen() || position < 0) return -1;
  const off_t r = lseek(Fd(handle_), static_cast<off_t>(position), SEEK_SET);
  return r < 0 ? -1 : static_cast<std::int64_t>(r);
}

std::int64_t File::Position() const {
  if (!IsOpen()) return -1;
  const off_t r = lseek(Fd(handle_), 0, SEEK_CUR);
  return r < 0 ? -1 : static_cast<std::int64_t>(r);
}

std::int64_t File::Size() const {
  struct stat st;
  if (!IsOpen() || fstat(Fd(handle_), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

bool File::Truncate() {
  const std::int64_t pos = Position();
  return pos >= 0 && ftruncate(Fd(handle_), static_cast<off_t>(pos)) == 0;
}

bool File::Flush() { return IsOpen() && fsync(Fd(handle_)) == 0; }

std::uint32_t File::DosDateTime() const {
  struct stat st;
  DateParts p;
  if (!IsOpen() || fstat(Fd(handle_), &st) != 0 || !LocalParts(st.st_mtim.tv_sec, p)) return 0;
  TDateTime value = 0;
  if (!TryEncodeDateTime(p, value)) return 0;
  return DateTimeToDosDateTime(value);
}

bool File::SetDosDateTime(std::uint32_t dosDateTime) {
  if (!IsOpen()) return false;
  const TDateTime value = DosDateTimeToDateTime(dosDateTime);
  if (value == 0) return false;
  const DateParts p = DecodeDateTime(value);
  tm local{};
  local.tm_year = p.year - 1900;
  local.tm_mon = p.month - 1;
  local.tm_mday = p.day;
  local.tm_hour = p.hour;
  local.tm_min = p.minute;
  local.tm_sec = p.second;
  local.tm_isdst = -1;  // let the zone rules decide, as local file times do on Windows
  const time_t t = mktime(&local);
  if (t == static_cast<time_t>(-1)) return false;
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = t;
  times[1].tv_nsec = 0;
  return futimens(Fd(handle_), times) == 0;
}

double File::LastWriteTime() const {
  struct stat st;
  DateParts p;
  if (!IsOpen() || fstat(Fd(handle_), &st) != 0 || !LocalParts(st.st_mtim.tv_sec, p)) return 0;
  TDateTime value = 0;
  if (!TryEncodeDateTime(p, value)) return 0;
  const double fraction = static_cast<double>(st.st_mtim.tv_nsec) / 1e9 / 86400.0;
  return value < 0 ? value - fraction : value + fraction;
}

bool File::Close() {
  const bool ok = !IsOpen() || close(Fd(handle_)) == 0;
  handle_ = -1;
  return ok;
}

bool FileExists(const std::string& path) {
  mode_t mode;
  return StatMode(path, mode) && !S_ISDIR(mode);
}

PathKind KindOf(const std::string& path) {
  struct stat st;
  if (path.empty() || lstat(path.c_str(), &st) != 0) return PathKind::None;
  if (S_ISLNK(st.st_mode)) return PathKind::Link;
  return S_ISDIR(st.st_mode) ? PathKind::Dir : PathKind::File;
}

bool DirExists(const std::string& path) {
  mode_t mode;
  return StatMode(path, mode) && S_ISDIR(mode);
}

bool MakeDir(const std::string& path) { return !path.empty() && mkdir(path.c_str(), 0755) == 0; }

bool RemoveFile(const std::string& path) {
  mode_t mode;
  return StatMode(path, mode) && !S_ISDIR(mode) && unlink(path.c_str()) == 0;
}

bool RemoveEmptyDir(const std::string& path) { return !path.empty() && rmdir(path.c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to) {
  // Like MoveFile: never replaces an existing target.
  struct stat st;
  if (from.empty() || to.empty() || lstat(to.c_str(), &st) == 0) return false;
  return rename(from.c_str(), to.c_str()) == 0;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
  return !from.empty() && !to.empty() && rename(from.c_str(), to.c_str()) == 0;
}

bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) {
  if (from.empty() || to.empty()) return false;
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st;
  if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(in);
    return false;
  }
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC);
  const int out = open(to.c_str(), flags, st.st_mode & 0777);
  if (out < 0) {
    close(in);
    return false;
  }
  std::vector<char> buf(1 << 16);
  bool ok = true;
  while (ok) {
    const ssize_t n = read(in, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t put = write(out, buf.data() + done, static_cast<std::size_t>(n - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        ok = false;
        break;
      }
      done += put;
    }
  }
  if (ok) {  // the copy keeps the source's last-write time, as on Windows
    const timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out, times);
  }
  close(in);
  if (close(out) != 0) ok = false;
  if (!ok) unlink(to.c_str());
  return ok;
}

ReplacementFile::ReplacementFile(const std::string& target) : target_(target) {
  if (target.empty()) return;
  struct stat st;
  const bool exists = stat(target.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {  // a directory fails to open here, as it should
    OpenDirectly();
    return;
  }
  if (exists) {
    // The file a symbolic link names is replaced, not the link.
    if (char* real = realpath(target.c_str(), nullptr)) {
      target_ = real;
      std::free(real);
    }
  }
  const std::size_t slash = target_.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : target_.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  // A new target gets what the umask allows, as a plain create would give it; a replaced one keeps its mode.
  working_ = UniqueFile(dir, name + ".", 0666);
  if (working_.empty()) return;
  replaces_ = true;
  if (exists && chmod(working_.c_str(), st.st_mode & 07777) != 0) {
    Discard();
    return;
  }
  file_ = File::Open(working_, OpenMode::ReadWrite);
  if (!file_.IsOpen()) Discard();
}

std::int64_t FileSizeOf(const std::string& path) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

std::string TempDirectory() {
  const char* env = std::getenv("TMPDIR");
  std::string dir = env && *env ? env : "/tmp";
  return StripTrailingSeparator(dir);
}

std::string CreateUniqueFile(const std::string& dir, const std::string& prefix) {
  return UniqueFile(dir, prefix, 0600);  // temporary files are the user's own
}

std::string ModuleFileName() {
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return "";
  return std::string(buf.data(), static_cast<std::size_t>(n));
}

std::string CurrentDirectory() {
  std::vector<char> buf(4096);
  while (!getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE || buf.size() > (1u << 20)) return "";
    buf.resize(buf.size() * 2);
  }
  return StripTrailingSeparator(buf.data());
}

}  // namespace tav::sys
