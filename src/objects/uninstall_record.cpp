#include "objects/uninstall_record.h"

#include <charconv>
#include <functional>
#include <memory>

#include "archive/write_behind.h"
#include "core/exceptions_Tavenrik.h"
#include "core/format.h"
#include "objects/routines_Registry.h"
#include "sys/registry.h"
#include "sys/run_state.h"

namespace tav {

namespace {

// The counter as the record keeps it: decimal text; anything else is EConvertError.
int ReadCounter(const sys::RegKey& list) {
  std::string text = "0";
  list.ReadString("Entries", text);
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0) {
    throw EConvertError(Format("'%s' is not a valid integer value", text));
  }
  return value;
}

int ReadCounter(const std::string& key) { return ReadCounter(sys::RegKey::Open(sys::RootKey::LocalMachine, key, false)); }

std::string Numbered(const char* name, int n) { return std::string(name) + std::to_string(n); }

// The list a batch appended to last, kept open with its counter.
struct TOpenList {
  std::string list;
  sys::RegKey key;
  int count = 0;
};

TRunSlot<std::shared_ptr<TOpenList>>& OpenListSlot() {
  static auto& slot = TRunSlot<std::shared_ptr<TOpenList>>::Make("uninstall record batch");
  return slot;
}

// Appends Name<n> = value and then the counter n through one open key: an install of thousands of
// files writes an entry per file, and every open, read and write is a round trip to the registry.
// Within a batch the key stays open and the counter is remembered between appends to the same list.
void Append(TOpenList* batch, const std::string& list, const char* name, const std::string& value) {
  TOpenList single;
  TOpenList& open = batch ? *batch : single;
  if (!open.key.IsOpen() || open.list != list) {
    open.key = sys::RegKey::Open(sys::RootKey::LocalMachine, list, true);
    open.list.clear();  // known only once the counter has been read
    open.count = ReadCounter(open.key);
    open.list = list;
  }
  const int n = open.count + 1;
  if (!open.key.WriteString(Numbered(name, n), value) || !open.key.WriteString("Entries", std::to_string(n))) {
    open.key.Close();
    throw EIRCannotWriteValue(TranslateMessage("Cannot install into registry. Key: %s Ident: %s Value %s"), list,
                              Numbered(name, n), value);
  }
  open.count = n;
}

// Appends now, or, while the install writes its files behind, on the writing thread: each entry then
// reaches the record after its file is complete, in the order given.
void Record(std::function<void(TOpenList*)> append) {
  std::shared_ptr<TOpenList> batch = OpenListSlot().Get();
  if (TWriteBehind* behind = ActiveWriteBehind())
    behind->Push([batch, append = std::move(append)] { append(batch.get()); });
  else
    append(batch.get());
}

}  // namespace

TUninstallRecordBatch::TUninstallRecordBatch() {
  if (!OpenListSlot().Get()) {
    OpenListSlot().Set(std::make_shared<TOpenList>());
    outermost_ = true;
  }
}

TUninstallRecordBatch::~TUninstallRecordBatch() {
  if (outermost_) OpenListSlot().Set(nullptr);
}

void AppendUninstallFile(const std::string& key, const std::string& path) {
  Record([key, path](TOpenList* batch) {
    for (int suffix = 0; suffix <= kUninstallFileListTries; ++suffix) {
      const std::string list = key + "\\Files" + (suffix == 0 ? std::string() : std::to_string(suffix));
      try {
        Append(batch, list, "File", path);
        return;
      } catch (const EConvertError&) {
      } catch (const EIRCannotWriteValue&) {
      }
    }
    throw EIRCannotWriteValue(TranslateMessage("Cannot install into registry. Key: %s Ident: %s Value %s"),
                              key + "\\Files", std::string("File"), path);
  });
}

void AppendUninstallActiveX(const std::string& key, const std::string& path, bool isProgram) {
  Record([list = key + "\\ActiveX", value = path + (isProgram ? ";1" : ";0")](TOpenList* batch) {
    Append(batch, list, "File", value);
  });
}

std::string AppendUninstallRegistryKey(const std::string& key) {
  const std::string list = key + "\\RegistryKeys";
  const int n = ReadCounter(list) + 1;
  WriteRegString(hkLocalMachine, list, "Entries", std::to_string(n));
  return list + "\\" + Numbered("RegistryKey", n);
}

}  // namespace tav
