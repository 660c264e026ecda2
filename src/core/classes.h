#pragma once
// The component model: TObject -> TPersistent -> TComponent, class information with property tables,
// the class registry and the table of named event handlers.
#include <any>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <typeindex>
#include <utility>
#include <vector>

#include "core/exceptions_Tavenrik.h"
#include "core/routines_Strings.h"

namespace tav {

class TObject;
class TPersistent;
class TComponent;
struct TClassInfo;

enum TPropKind {
  pkInteger,     // any integer type; may carry ident names (colours, charsets)
  pkFloat,       // Extended, Single, Date and Currency in a stream
  pkString,      // UTF-8 text
  pkBoolean,
  pkEnum,        // ident naming one of Names
  pkSet,         // bit mask over Names
  pkPersistent,  // a nested object owned by the component; its properties are reached by dotted paths
  pkComponent,   // reference to a component of the same root, resolved by name
  pkStringList,  // the items of a string list (the Strings pseudo-property of TStrings)
  pkCollection,  // items of a TCollection
  pkBinary,      // bytes
  pkEvent,       // a named handler
};

struct TIdentMapEntry {
  const char* Ident;
  std::int64_t Value;
};

// How a component of one class publishes one property. Only the accessors of its kind are set.
struct TPropInfo {
  std::string Name;
  TPropKind Kind = pkInteger;
  const std::vector<std::string>* Names = nullptr;     // pkEnum, pkSet
  const std::vector<TIdentMapEntry>* Idents = nullptr;  // pkInteger written as idents
  // pkComponent: the class a reference must be, asked for lazily so a class may refer to itself.
  const TClassInfo& (*RefClassOf)() = nullptr;
  const TClassInfo* RefClass() const { return RefClassOf ? &RefClassOf() : nullptr; }
  // pkPersistent: the class of the nested object; pkCollection: the class of its items.
  const TClassInfo& (*ObjectClassOf)() = nullptr;
  const TClassInfo* ObjectClass() const { return ObjectClassOf ? &ObjectClassOf() : nullptr; }
  // A property equal to its default is not written; without a default it is always written.
  bool HasDefault = false;
  std::int64_t DefaultOrd = 0;
  long double DefaultFloat = 0;
  std::string DefaultText;
  std::type_index HandlerType = typeid(void);  // pkEvent: the std::function type of the event

  std::function<std::int64_t(const TObject&)> GetOrd;
  std::function<void(TObject&, std::int64_t)> SetOrd;
  std::function<long double(const TObject&)> GetFloat;
  std::function<void(TObject&, long double)> SetFloat;
  std::function<std::string(const TObject&)> GetText;  // pkString, pkBinary
  std::function<void(TObject&, const std::string&)> SetText;
  std::function<TPersistent*(const TObject&)> GetObject;  // pkPersistent, pkCollection
  std::function<TComponent*(const TObject&)> GetRef;
  std::function<void(TObject&, TComponent*)> SetRef;
  std::function<std::vector<std::string>(const TObject&)> GetList;
  std::function<void(TObject&, const std::vector<std::string>&)> SetList;
  std::function<bool(const TObject&)> EventAssigned;
  std::function<void(TObject&, const std::any&)> SetEvent;  // an empty any clears the event

  // True when the current value equals the default (so a writer leaves it out).
  bool IsDefault(const TObject& object) const;
};

struct TClassInfo {
  std::string Name;
  const TClassInfo* Parent = nullptr;
  // Creates an instance owned by the given component; empty for abstract and non-component classes.
  std::function<TComponent*(TComponent* owner)> Create;
  std::vector<TPropInfo> Properties;

  // Case-insensitive, this class first, then its ancestors.
  const TPropInfo* FindProperty(std::string_view name) const;
  bool InheritsFrom(const TClassInfo& other) const;
  // Every property of the class, ancestors' first, a redefined name only once.
  std::vector<const TPropInfo*> AllProperties() const;
};

class TObject {
public:
  virtual ~TObject() = default;
  static const TClassInfo& StaticClassInfo();
  virtual const TClassInfo& ClassInfo() const { return StaticClassInfo(); }
  const std::string& ClassName() const { return ClassInfo().Name; }
  bool InheritsFrom(const TClassInfo& other) const { return ClassInfo().InheritsFrom(other); }
};

class TPersistent : public TObject {
public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  // Copies the source's state; a class that cannot take the source raises EConvertError.
  virtual void Assign(const TPersistent& source);

protected:
  virtual void AssignTo(TPersistent& dest) const;
};

enum TComponentStateFlag : std::uint32_t {
  csLoading = 1,
  csReading = 2,
  csWriting = 4,
  csDestroying = 8,
  csDesigning = 16,
};

enum TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  // A name is empty or a valid identifier, unique (without regard to case) within the owner.
  virtual void SetName(const std::string& name);
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;
  const std::vector<TComponent*>& ComponentList() const { return components_; }
  TComponent* FindComponent(std::string_view name) const;
  // Takes a component into this owner's list (removing it from its previous owner).
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  std::uint32_t ComponentState() const { return state_; }
  bool HasState(TComponentStateFlag flag) const { return (state_ & flag) != 0; }
  void SetState(TComponentStateFlag flag) { state_ |= flag; }
  void ClearState(TComponentStateFlag flag) { state_ &= ~static_cast<std::uint32_t>(flag); }

  // Called once after the whole root was read and references were resolved; clears csLoading.
  virtual void Loaded();
  // Told when a component this one knows of is inserted or removed (destroyed).
  virtual void Notification(TComponent* component, TOperation operation);
  // Asks to be told (opRemove) when component is destroyed, whoever owns it.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Streams nest a component's record inside the record of its parent (a control inside its panel);
  // ownership stays with the root. Components without a parent are written directly under the root.
  virtual bool HasParent() const { return false; }
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent* parent) {}
  // Calls proc for every component whose record is written inside this one's, in creation order.
  virtual void GetChildren(const std::function<void(TComponent*)>& proc, const TComponent* root) const;

  std::int64_t Tag() const { return tag_; }
  // Virtual: some components give a Tag value a meaning of their own.
  virtual void SetTag(std::int64_t tag) { tag_ = tag; }

  // Names of the handlers assigned to events by a stream, kept so the project can be written back.
  const std::string& EventHandlerName(const std::string& event) const;
  void SetEventHandlerName(const std::string& event, const std::string& handler);

protected:
  // Marks the component as being destroyed; derived destructors may call it early.
  void Destroying() { SetState(csDestroying); }

private:
  TComponent* owner_ = nullptr;
  std::string name_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  std::uint32_t state_ = 0;
  std::int64_t tag_ = 0;
  std::int64_t designLeft_ = 0, designTop_ = 0;
  std::vector<std::pair<std::string, std::string>> handlerNames_;

  friend struct TComponentProps;
};

bool IsValidIdent(std::string_view name);

// The class registry: every class that can appear in a stream is registered before the first load.
void RegisterClass(const TClassInfo& info);
const TClassInfo* FindClass(std::string_view name);  // nullptr when not registered
std::vector<const TClassInfo*> RegisteredClasses();

// The table of named event handlers that the program's own code registers; streams name them.
void RegisterHandlerAny(const std::string& name, std::any handler, std::type_index type);
template <class Sig>
void RegisterHandler(const std::string& name, std::function<Sig> handler) {
  RegisterHandlerAny(name, std::any(std::move(handler)), typeid(std::function<Sig>));
}
// nullptr when no handler has that name.
const std::any* FindHandler(const std::string& name, std::type_index* type = nullptr);
void UnregisterHandler(const std::string& name);

}  // namespace tav
