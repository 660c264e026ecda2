#include "sys/files.h"

#include <utility>

// The handle's ownership and the replacement protocol are the same on every platform; opening, closing,
// finding a place for the temporary file and the final rename are not.
namespace tav::sys {

File::~File() { Close(); }

File::File(File&& other) noexcept : handle_(other.handle_), failed_(other.failed_) { other.handle_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    failed_ = other.failed_;
    other.handle_ = -1;
  }
  return *this;
}

bool File::IsOpen() const { return handle_ != -1; }

std::intptr_t File::Detach() {
  const std::intptr_t h = handle_;
  handle_ = -1;
  return h;
}

void ReplacementFile::OpenDirectly() {
  file_ = File::Open(target_, OpenMode::Create);
  if (file_.IsOpen()) working_ = target_;
}

ReplacementFile::~ReplacementFile() { Discard(); }

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : target_(std::move(other.target_)),
      working_(std::exchange(other.working_, std::string())),
      file_(std::move(other.file_)),
      replaces_(std::exchange(other.replaces_, false)),
      failed_(std::exchange(other.failed_, false)) {}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept {
  if (this != &other) {
    Discard();
    target_ = std::move(other.target_);
    working_ = std::exchange(other.working_, std::string());
    file_ = std::move(other.file_);
    replaces_ = std::exchange(other.replaces_, false);
    failed_ = std::exchange(other.failed_, false);
  }
  return *this;
}

bool ReplacementFile::Write(const void* buffer, std::size_t n) {
  if (!failed_ && (!IsOpen() || file_.Write(buffer, n) != n)) failed_ = true;
  return !failed_;
}

bool ReplacementFile::Commit() {
  if (!IsOpen()) return false;
  // On the disk before the rename, so that a crash right after it cannot leave an empty target.
  bool ok = !failed_ && (!replaces_ || file_.Flush());
  ok = file_.Close() && ok;
  if (ok && replaces_) ok = RenameReplacing(working_, target_);
  if (!ok) {
    Discard();
    return false;
  }
  working_.clear();
  replaces_ = false;
  return true;
}

void ReplacementFile::Discard() {
  file_.Close();
  if (replaces_) RemoveFile(working_);
  working_.clear();
  replaces_ = false;
  failed_ = false;
}

bool WriteFileReplacing(const std::string& path, std::string_view data) {
  ReplacementFile file(path);
  return file.Write(data.data(), data.size()) && file.Commit();
}

}  // namespace tav::sys
