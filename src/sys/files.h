#pragma once
// Files and directories. Paths are UTF-8; on Windows they are converted to UTF-16 at the API call.
// Nothing here throws: callers turn failures into the errors of their own family.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tav::sys {

enum class OpenMode {
  Read,        // existing file, read only, others may read
  ReadShared,  // existing file, read only, others may read, write and delete (deny none)
  Create,      // create or truncate, read and write
  ReadWrite,   // existing file, read and write
  CreateNew,   // a new file, read and write; fails when anything has the name, even a dangling symbolic link
};

// Move-only owner of an open file handle.
class File {
public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // IsOpen() is false when the file could not be opened.
  static File Open(const std::string& path, OpenMode mode);

  bool IsOpen() const;
  // Bytes read; fewer than n at the end of the file or on an I/O error (Failed() then tells which).
  std::size_t Read(void* buffer, std::size_t n);
  // Bytes written; fewer than n when the disk is full or the write failed.
  std::size_t Write(const void* buffer, std::size_t n);
  // Absolute position; returns the new position or -1.
  std::int64_t Seek(std::int64_t position);
  std::int64_t Position() const;
  std::int64_t Size() const;
  // Cuts the file at the current position.
  bool Truncate();
  bool Flush();
  // Last-write time as a packed DOS date (high word) and time (low word), local time; 0 on failure.
  std::uint32_t DosDateTime() const;
  bool SetDosDateTime(std::uint32_t dosDateTime);
  // Last-write time in the day-count form, local time, full resolution; 0 on failure.
  double LastWriteTime() const;
  bool Failed() const { return failed_; }
  // False when the system reported an error on closing (a delayed write that failed).
  bool Close();
  // Releases the handle without closing it.
  std::intptr_t Detach();

private:
  std::intptr_t handle_ = -1;
  bool failed_ = false;
};

bool FileExists(const std::string& path);
// What the name itself is, a symbolic link (or other reparse point) not followed.
enum class PathKind { None, File, Dir, Link };
PathKind KindOf(const std::string& path);
bool DirExists(const std::string& path);
bool MakeDir(const std::string& path);
bool RemoveFile(const std::string& path);
bool RemoveEmptyDir(const std::string& path);
bool RenameFile(const std::string& from, const std::string& to);
// Renames from to to, replacing a file that is there, in one step: a reader sees the old file or the new
// one, never a mix. Both must be on the same volume.
bool RenameReplacing(const std::string& from, const std::string& to);
bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists);
// Size of a file in bytes, -1 when it cannot be read.
std::int64_t FileSizeOf(const std::string& path);

// Writes a file whole or not at all. The bytes go to a new temporary file beside the target, which
// Commit() renames over the target once every write, the flush to disk and the close succeeded. Without
// a successful Commit (a full disk, an exception, an early return) the temporary file is removed and the
// target keeps what it had. A target that exists and is no plain file (a device, a pipe) is written
// directly, since it has no content to keep; a symbolic link keeps pointing at the file it names.
class ReplacementFile {
public:
  ReplacementFile() = default;
  // IsOpen() is false when no temporary file could be made beside the target.
  explicit ReplacementFile(const std::string& target);
  ~ReplacementFile();
  ReplacementFile(ReplacementFile&& other) noexcept;
  ReplacementFile& operator=(ReplacementFile&& other) noexcept;
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  bool IsOpen() const { return file_.IsOpen(); }
  // False when the bytes were not all written; after a failure every write and the commit fail.
  bool Write(const void* buffer, std::size_t n);
  // True when the target now holds exactly what was written; after it the object is closed either way.
  bool Commit();
  // Drops what was written; the target stays as it was.
  void Discard();
  // The file being written ("" once closed); the target itself when it is written directly.
  const std::string& WorkingPath() const { return working_; }

private:
  void OpenDirectly();

  std::string target_;   // where the result goes (a symbolic link resolved)
  std::string working_;  // the temporary file, or the target when written directly
  File file_;
  bool replaces_ = false;  // working_ is a temporary file to rename over the target
  bool failed_ = false;
};

// Writes data as the whole content of path through a ReplacementFile.
bool WriteFileReplacing(const std::string& path, std::string_view data);

// The user's temporary directory, without a trailing separator.
std::string TempDirectory();
// Creates a new unique empty file in dir whose name starts with prefix; returns its path or "".
std::string CreateUniqueFile(const std::string& dir, const std::string& prefix);
// The running program's own path.
std::string ModuleFileName();
// The current working directory, without a trailing separator.
std::string CurrentDirectory();

}  // namespace tav::sys
