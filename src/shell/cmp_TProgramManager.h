#pragma once
// The client of the shell's Program Manager DDE server (service and topic "PROGMAN"): groups are made
// and selected, a group's items read, items added and replaced by command strings.
#include <string>
#include <vector>

#include "core/classes.h"
#include "core/exceptions_Tavenrik.h"

namespace tav {

class EAIPMError : public EAI {
public:
  EAIPMError() : EAI(TranslateMessage("The TProgramManager object was unable to communicate with Program Manager")) {}
  const char* ClassName() const override { return "EAIPMError"; }

protected:
  explicit EAIPMError(std::string message) : EAI(std::move(message)) {}
};

class EAIPMCannotOpen : public EAIPMError {
public:
  EAIPMCannotOpen();
  const char* ClassName() const override { return "EAIPMCannotOpen"; }
};

class EAIPMCannotOpenGroup : public EAIPMError {
public:
  explicit EAIPMCannotOpenGroup(const std::string& group);
  const char* ClassName() const override { return "EAIPMCannotOpenGroup"; }
  std::string GroupName;
};

class EAIPMCannotCreateGroup : public EAIPMError {
public:
  explicit EAIPMCannotCreateGroup(const std::string& group);
  const char* ClassName() const override { return "EAIPMCannotCreateGroup"; }
  std::string GroupName;
};

class EAIPMCannotAddItem : public EAIPMError {
public:
  EAIPMCannotAddItem(const std::string& group, const std::string& item, const std::string& command);
  const char* ClassName() const override { return "EAIPMCannotAddItem"; }
  std::string GroupName, ItemName, Command;
};

class EAIPMCannotReplaceItem : public EAIPMError {
public:
  EAIPMCannotReplaceItem(const std::string& group, const std::string& item);
  const char* ClassName() const override { return "EAIPMCannotReplaceItem"; }
  std::string GroupName, ItemName;
};

// A command that Program Manager would cut at 255 characters, or a name or argument whose quotes,
// commas, brackets or parentheses would change the command's meaning. Nothing is sent.
class EAIPMBadCommand : public EAIPMError {
public:
  EAIPMBadCommand(const std::string& name, std::string message) : EAIPMError(std::move(message)), Name(name) {}
  const char* ClassName() const override { return "EAIPMBadCommand"; }
  std::string Name;  // the group or item concerned
};

// Program Manager takes at most this many characters per command.
constexpr std::size_t kMaxProgmanCommand = 255;

// Item description fields, as the group description lists them.
enum TPMItemField {
  pmfName = 1,
  pmfCommandLine = 2,
  pmfDefaultDir = 3,
  pmfIconPath = 4,
  pmfX = 5,
  pmfY = 6,
  pmfIconIndex = 7,
  pmfHotKey = 8,
};

class TProgramManager : public TComponent {
public:
  TProgramManager() : TProgramManager("PROGMAN") {}
  ~TProgramManager() override;

  // Opens the conversation once; EAIPMCannotOpen when no server answers.
  virtual void Connect();
  bool Connected() const { return connected_; }

  // Creates the group, or activates it when it exists, then selects it; a server that does not describe
  // its groups leaves it current with no items. An empty name does nothing.
  void CreateGroup(const std::string& name);
  // Reads the group's description; without an answer no group is current.
  void SelectGroup(const std::string& name);
  std::vector<std::string> GetGroups();

  const std::string& CurrentGroup() const { return group_; }
  const std::vector<std::string>& GroupLines() const { return lines_; }
  int ItemCount() const;
  // 1-based number of the first item named exactly name, -1 when none.
  int FindItem(const std::string& name) const;
  // A field of an item (1-based), its quotes removed; empty for item 0 or beyond the last.
  std::string ItemField(int item, int field) const;

  // Adds an item to the current group (nothing without one). The command line and default directory
  // go as given: callers quote what needs it.
  void AddItem(const std::string& commandLine, const std::string& name, const std::string& iconPath, int iconIndex,
               const std::string& defaultDir, const std::string& hotKey);
  // Makes the next added item take the place of the named one in the current group.
  void ReplaceItem(const std::string& name);

protected:
  // A client of another server that speaks the same commands (service and topic alike).
  explicit TProgramManager(std::string service);

private:
  // False when the server refused the command or did not answer.
  bool Execute(const std::string& command);
  // Reads the current group's description again; the group stays current without one.
  void Refresh();
  // The text the server gives for a data item; false without an answer.
  bool Request(const std::string& item, std::string& text);
  void DropStrayAcknowledgements();
  void ShowCurrentGroup();

  std::string service_;
  unsigned long instance_ = 0;
  void* conversation_ = nullptr;
  bool connected_ = false;
  std::string group_;
  std::vector<std::string> lines_;
};

// The shared client, made on first use.
TProgramManager& ProgramManager();

// Raises EAIPMBadCommand when name cannot travel inside a command as it stands.
void CheckProgmanName(const std::string& name);
// Raises EAIPMBadCommand when a caller-quoted argument has characters outside its quotes that end or
// split the argument, or an unbalanced quote.
void CheckProgmanArgument(const std::string& owner, const std::string& argument);

}  // namespace tav
