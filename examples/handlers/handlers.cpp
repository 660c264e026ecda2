// The handlers example's own code: the event handlers its project names. Each is registered by the
// name the project gives it, before the project is loaded (here at static initialisation).
#include <string>

#include "core/classes.h"
#include "objects/cmp_TInstallFile.h"
#include "sys/files.h"

namespace {

// Keeps a list of what was installed beside the installed files: installed.log in the file's folder.
void NoteInstalledFile(tav::TCustomInstallFile* file) {
  const std::string path = file->FinalDestPath();
  const std::string log = path.substr(0, path.find_last_of('\\') + 1) + "installed.log";
  std::string text;
  if (tav::sys::FileExists(log)) {
    tav::sys::File in = tav::sys::File::Open(log, tav::sys::OpenMode::ReadShared);
    text.resize(static_cast<std::size_t>(in.Size()));
    text.resize(in.Read(text.data(), text.size()));
  }
  text += file->Name() + " installed as " + path + "\r\n";
  tav::sys::WriteFileReplacing(log, text);
}

const bool registered = [] {
  tav::RegisterHandler<void(tav::TCustomInstallFile*)>("NoteInstalledFile", NoteInstalledFile);
  return true;
}();

}  // namespace
