#include "core/run_log.h"

#include <cstdio>

#include "sys/dates.h"

namespace tav {

TRunSlot<bool>& UnattendedSlot() {
  static auto& slot = TRunSlot<bool>::Make("unattended mode", false);
  return slot;
}

bool Unattended() { return UnattendedSlot().Get(); }

TRunLog::TRunLog(const std::string& path) : path_(path) {
  file_ = sys::File::Open(path, sys::OpenMode::ReadWrite);
  if (!file_.IsOpen()) file_ = sys::File::Open(path, sys::OpenMode::CreateNew);
  if (file_.IsOpen() && file_.Seek(file_.Size()) < 0) file_ = sys::File();
}

void TRunLog::Line(const std::string& text) {
  if (!file_.IsOpen()) return;
  const sys::DateParts t = sys::DecodeDateTime(sys::Now());
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d ", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  // One event is one line, whatever the text holds.
  std::string line = stamp;
  for (char c : text) line += c == '\r' || c == '\n' ? ' ' : c;
  line += "\r\n";
  // Written through at once (the file is not buffered): a run that faults later keeps its lines.
  file_.Write(line.data(), line.size());
}

TRunSlot<std::shared_ptr<TRunLog>>& RunLogSlot() {
  static auto& slot = TRunSlot<std::shared_ptr<TRunLog>>::Make("run log");
  return slot;
}

bool OpenRunLog(const std::string& path) {
  auto log = std::make_shared<TRunLog>(path);
  if (!log->IsOpen()) return false;
  RunLogSlot().Set(std::move(log));
  return true;
}

std::string RunLogPath() {
  const std::shared_ptr<TRunLog>& log = RunLogSlot().Get();
  return log ? log->Path() : std::string();
}

void LogText(const std::string& text) {
  if (const std::shared_ptr<TRunLog>& log = RunLogSlot().Get()) log->Line(text);
}

}  // namespace tav
