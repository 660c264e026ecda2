#include "shell/cmp_TProgramManager.h"

#include <memory>

#include "sys/unicode.h"
#include "ui/win32.h"

#include <dde.h>
#include <ddeml.h>

namespace tav {

namespace {

// How long a command or request may take before it counts as refused. The server is the shell, which
// answers at once; a hung shell must not hang the installation.
constexpr DWORD kTransactionTimeout = 15000;

HDDEDATA CALLBACK ClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

// Percent signs in a name that becomes part of a format are kept literal.
std::string Literal(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

std::string FromAnsi(const std::string& bytes) {
  if (bytes.empty()) return std::string();
  const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
  return sys::Narrow(wide);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string Unquote(std::string field) {
  if (!field.empty() && field.front() == '"') field.erase(0, 1);
  if (!field.empty() && field.back() == '"') field.pop_back();
  return field;
}

bool IsCommandSyntax(char c) { return c == ',' || c == '[' || c == ']' || c == '(' || c == ')'; }

}  // namespace

EAIPMCannotOpen::EAIPMCannotOpen()
    : EAIPMError(TranslateMessage("The TProgramManager object was unable to establish a link with Program Manager")) {}

EAIPMCannotOpenGroup::EAIPMCannotOpenGroup(const std::string& group)
    : EAIPMError(Format(TranslateMessage("The TProgramManager object was unable to open the following group: %s"), group)),
      GroupName(group) {}

EAIPMCannotCreateGroup::EAIPMCannotCreateGroup(const std::string& group)
    : EAIPMError(
          Format(TranslateMessage("The TProgramManager object was unable to create the following group: %s"), group)),
      GroupName(group) {}

EAIPMCannotAddItem::EAIPMCannotAddItem(const std::string& group, const std::string& item, const std::string& command)
    : EAIPMError(Format(TranslateMessage("The TProgramManager object was unable to add the following program item: ") +
                            Literal(item) + TranslateMessage(" to the following group: %s. The arguments passed to ") +
                            TranslateMessage(" Program Manager were: %s"),
                        group, command)),
      GroupName(group),
      ItemName(item),
      Command(command) {}

EAIPMCannotReplaceItem::EAIPMCannotReplaceItem(const std::string& group, const std::string& item)
    : EAIPMError(Format(TranslateMessage("The TProgramManager object was unable to replace the following program item: %s") +
                            TranslateMessage(" to the following group: %s"),
                        item, group)),
      GroupName(group),
      ItemName(item) {}

void CheckProgmanName(const std::string& name) {
  for (char c : name) {
    if (c == '"' || IsCommandSyntax(c)) {
      throw EAIPMBadCommand(
          name, Format(TranslateMessage("The name %s cannot be given to Program Manager because it contains one of "
                                        "the characters \" , [ ] ( )"),
                       name));
    }
  }
}

void CheckProgmanArgument(const std::string& owner, const std::string& argument) {
  bool quoted = false;
  for (char c : argument) {
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && IsCommandSyntax(c)) {
      quoted = true;  // reported below
      break;
    }
  }
  if (quoted) {
    throw EAIPMBadCommand(owner,
                          Format(TranslateMessage("The program item %s cannot be given to Program Manager because its "
                                                  "argument %s has an unbalanced quote or one of the characters , [ ] "
                                                  "( ) outside quotes"),
                                 owner, argument));
  }
}

TProgramManager::TProgramManager(std::string service) : TComponent(nullptr), service_(std::move(service)) {}

TProgramManager::~TProgramManager() {
  if (!connected_) return;
  DdeDisconnect(static_cast<HCONV>(conversation_));
  DdeUninitialize(instance_);
}

void TProgramManager::Connect() {
  if (connected_) return;
  DWORD instance = 0;
  if (DdeInitializeW(&instance, ClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) throw EAIPMCannotOpen();
  HSZ progman = DdeCreateStringHandleW(instance, sys::Wide(service_).c_str(), CP_WINUNICODE);
  HCONV conversation = DdeConnect(instance, progman, progman, nullptr);
  DdeFreeStringHandle(instance, progman);
  if (!conversation) {
    DdeUninitialize(instance);
    throw EAIPMCannotOpen();
  }
  instance_ = instance;
  conversation_ = conversation;
  connected_ = true;
}

bool TProgramManager::Execute(const std::string& command) {
  // The server answers each command before the next goes, so a refused command is seen as refused.
  std::wstring text = sys::Wide(command);
  DWORD result = 0;
  HDDEDATA answer = DdeClientTransaction(reinterpret_cast<LPBYTE>(text.data()),
                                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)),
                                         static_cast<HCONV>(conversation_), nullptr, 0, XTYP_EXECUTE,
                                         kTransactionTimeout, &result);
  return answer != nullptr;
}

void TProgramManager::DropStrayAcknowledgements() {
  // Under Wine a request leaves one more acknowledgement in the conversation's queue after its answer;
  // the next command would take it for its own and report the wrong outcome.
  CONVINFO info{};
  info.cb = sizeof info;
  if (!DdeQueryConvInfo(static_cast<HCONV>(conversation_), QID_SYNC, &info) || !info.hwnd) return;
  // It may come a little after the answer, later still under load: wait for it a short while, and
  // stop at the first one, the only one there is.
  MSG msg;
  for (const DWORD start = GetTickCount(); GetTickCount() - start < 500; Sleep(5)) {
    if (PeekMessageW(&msg, info.hwnd, WM_DDE_ACK, WM_DDE_ACK, PM_REMOVE)) {
      FreeDDElParam(WM_DDE_ACK, msg.lParam);
      return;
    }
  }
}

bool TProgramManager::Request(const std::string& item, std::string& text) {
  HSZ name = DdeCreateStringHandleW(instance_, sys::Wide(item).c_str(), CP_WINUNICODE);
  if (!name) return false;
  HDDEDATA data = DdeClientTransaction(nullptr, 0, static_cast<HCONV>(conversation_), name, CF_TEXT, XTYP_REQUEST,
                                       kTransactionTimeout, nullptr);
  DdeFreeStringHandle(instance_, name);
  DropStrayAcknowledgements();
  if (!data) return false;
  const DWORD size = DdeGetData(data, nullptr, 0, 0);
  std::string bytes(size, '\0');
  if (size) DdeGetData(data, reinterpret_cast<LPBYTE>(bytes.data()), size, 0);
  DdeFreeDataHandle(data);
  bytes.resize(bytes.find('\0') == std::string::npos ? bytes.size() : bytes.find('\0'));
  text = FromAnsi(bytes);
  return true;
}

namespace {
// Program Manager keeps the first 255 characters of a command and drops the rest, which would make a
// different item than asked for; such a command is refused instead.
void CheckLength(const std::string& name, const std::string& command) {
  const std::size_t length = sys::Wide(command).size();
  if (length <= kMaxProgmanCommand) return;
  throw EAIPMBadCommand(name, Format(TranslateMessage("The Program Manager command for %s is %d characters long, "
                                                      "more than the %d that Program Manager accepts: %s"),
                                     name, static_cast<int>(length), static_cast<int>(kMaxProgmanCommand), command));
}
}  // namespace

void TProgramManager::CreateGroup(const std::string& name) {
  Connect();
  if (name.empty()) return;
  CheckProgmanName(name);
  const std::string command = "[CreateGroup(\"" + name + "\")]";
  CheckLength(name, command);
  if (!Execute(command)) throw EAIPMCannotCreateGroup(name);
  // The group exists now even where the server cannot describe it; items still go into it.
  group_ = name;
  Refresh();
}

void TProgramManager::Refresh() {
  std::string text;
  lines_ = Request(group_, text) ? SplitLines(text) : std::vector<std::string>();
}

void TProgramManager::SelectGroup(const std::string& name) {
  Connect();
  group_.clear();
  lines_.clear();
  std::string text;
  if (!Request(name, text)) return;
  lines_ = SplitLines(text);
  group_ = name;
}

std::vector<std::string> TProgramManager::GetGroups() {
  Connect();
  std::string text;
  if (!Request("Groups", text)) throw EAIPMError();
  return SplitLines(text);
}

int TProgramManager::ItemCount() const { return lines_.size() < 2 ? 0 : static_cast<int>(lines_.size()) - 1; }

int TProgramManager::FindItem(const std::string& name) const {
  for (int i = 1; i <= ItemCount(); ++i) {
    if (ItemField(i, pmfName) == name) return i;
  }
  return -1;
}

std::string TProgramManager::ItemField(int item, int field) const {
  if (item <= 0 || item > ItemCount() || field < 1) return std::string();
  const std::string& line = lines_[static_cast<std::size_t>(item)];
  std::size_t start = 0;
  for (int i = 1; i < field; ++i) {
    start = line.find(',', start);
    if (start == std::string::npos) return std::string();
    ++start;
  }
  const std::size_t end = line.find(',', start);
  std::string value = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
  value = Unquote(value);
  if (field == pmfName || field == pmfCommandLine) value = Unquote(value);
  return value;
}

void TProgramManager::ShowCurrentGroup() {
  // 8: show the group window without activating it.
  CheckProgmanName(group_);
  const std::string command = "[ShowGroup(" + group_ + ",8)]";
  CheckLength(group_, command);
  if (!Execute(command)) throw EAIPMCannotOpenGroup(group_);
}

void TProgramManager::AddItem(const std::string& commandLine, const std::string& name, const std::string& iconPath,
                              int iconIndex, const std::string& defaultDir, const std::string& hotKey) {
  Connect();
  if (group_.empty()) return;
  CheckProgmanName(name);
  CheckProgmanArgument(name, commandLine);
  CheckProgmanArgument(name, iconPath);
  CheckProgmanArgument(name, defaultDir);
  CheckProgmanArgument(name, hotKey);
  const std::string command = "[AddItem(" + commandLine + "," + name + "," + iconPath + "," + std::to_string(iconIndex) +
                              "," + ",," + defaultDir + "," + hotKey + ")]";
  CheckLength(name, command);
  ShowCurrentGroup();
  if (!Execute(command)) throw EAIPMCannotAddItem(group_, name, command);
  Refresh();
}

void TProgramManager::ReplaceItem(const std::string& name) {
  Connect();
  if (group_.empty()) return;
  CheckProgmanName(name);
  const std::string command = "[ReplaceItem(\"" + name + "\")]";
  CheckLength(name, command);
  ShowCurrentGroup();
  if (!Execute(command)) throw EAIPMCannotReplaceItem(group_, name);
  Refresh();
}

TProgramManager& ProgramManager() {
  static std::unique_ptr<TProgramManager> shared = std::make_unique<TProgramManager>();
  return *shared;
}

}  // namespace tav
