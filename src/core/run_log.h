#pragma once
// The run's log and unattended mode. The log is UTF-8 text, one line per event with the local date
// and time; every layer writes to it through LogEvent, and nothing is written while no log is open.
// Unattended mode shows no window: a message goes to the log and a question takes its default answer.
#include <memory>
#include <string>

#include "core/exceptions_Tavenrik.h"
#include "core/format.h"
#include "sys/files.h"
#include "sys/run_state.h"

namespace tav {

TRunSlot<bool>& UnattendedSlot();
bool Unattended();

class TRunLog {
public:
  // Appends to path, creating it when missing; IsOpen() is false when it cannot be written.
  explicit TRunLog(const std::string& path);
  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& Path() const { return path_; }
  void Line(const std::string& text);

private:
  std::string path_;
  sys::File file_;
};

TRunSlot<std::shared_ptr<TRunLog>>& RunLogSlot();
// Opens the log for the rest of the run; false when the file cannot be written.
bool OpenRunLog(const std::string& path);
// The open log's path, empty without one.
std::string RunLogPath();

// One line as given (a name, a path, a text that is not the program's own).
void LogText(const std::string& text);
// One of the program's messages: the format is translated, then filled.
template <class... Args>
void LogEvent(const std::string& format, const Args&... args) {
  if (!RunLogSlot().Get()) return;
  LogText(Format(TranslateMessage(format), args...));
}

}  // namespace tav
