#include "sys/files.h"

// The handle's ownership is the same on every platform; opening and closing are not.
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

}  // namespace tav::sys
