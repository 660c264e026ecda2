#pragma once
// Files and directories. Paths are UTF-8; on Windows they are converted to UTF-16 at the API call.
// Nothing here throws: callers turn failures into the errors of their own family.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tav::sys {

enum class OpenMode {
  Read,        // existing file, read only, others may read
  ReadShared,  // existing file, read only, others may read, write and delete (deny none)
  Create,      // create or truncate, read and write
  ReadWrite,   // existing file, read and write
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
  void Close();
  // Releases the handle without closing it.
  std::intptr_t Detach();

private:
  std::intptr_t handle_ = -1;
  bool failed_ = false;
};

bool FileExists(const std::string& path);
bool DirExists(const std::string& path);
bool MakeDir(const std::string& path);
bool RemoveFile(const std::string& path);
bool RemoveEmptyDir(const std::string& path);
bool RenameFile(const std::string& from, const std::string& to);
bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists);
// Size of a file in bytes, -1 when it cannot be read.
std::int64_t FileSizeOf(const std::string& path);

// The user's temporary directory, without a trailing separator.
std::string TempDirectory();
// Creates a new unique empty file in dir whose name starts with prefix; returns its path or "".
std::string CreateUniqueFile(const std::string& dir, const std::string& prefix);
// The running program's own path.
std::string ModuleFileName();
// The current working directory, without a trailing separator.
std::string CurrentDirectory();

}  // namespace tav::sys
