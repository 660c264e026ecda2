#pragma once
// The component model: TObject -> TPersistent -> TComponent, class information with property tables,
// the class registry and the table of named event handlers.
#include <algorithm>
#include <any>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <typeindex>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "core/exceptions_Tavenrik.h"
#include "core/routines_Strings.h"

namespace tav {

class TObject;
class TPersistent;
class TComponent;
struct TClassInfo;

// Lists of components and install objects hold an item at most once and mostly lose their latest
// items first (a tree is taken down in the reverse order of its making): they are searched from the back.
template <class T, class U>
typename std::vector<T*>::iterator FindLast(std::vector<T*>& list, const U* item) {
  auto it = std::find(list.rbegin(), list.rend(), item);
  return it == list.rend() ? list.end() : std::next(it).base();
}

template <class T, class U>
void EraseLast(std::vector<T*>& list, const U* item) {
  auto it = FindLast(list, item);
  if (it != list.end()) list.erase(it);
}

template <class T, class U>
bool ListHolds(const std::vector<T*>& list, const U* item) {
  return std::find(list.rbegin(), list.rend(), item) != list.rend();
}

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

// Constant lists the tables point at: the idents of an enum or set (bit i is Names[i]), and the named
// values an integer may be written as.
using TNameList = std::span<const std::string_view>;
using TIdentList = std::span<const TIdentMapEntry>;

struct TPropInfo;

// The accessor thunks of a property record: shared by every property whose accessor has the same type,
// they call through the accessor constant the record points at (TPropInfo::Reader and Writer).
union TPropRead {
  std::int64_t (*Ord)(const TPropInfo&, const TObject&);
  long double (*Float)(const TPropInfo&, const TObject&);
  std::string (*Text)(const TPropInfo&, const TObject&);
  TPersistent* (*Object)(const TPropInfo&, const TObject&);
  TComponent* (*Ref)(const TPropInfo&, const TObject&);
  std::vector<std::string> (*List)(const TPropInfo&, const TObject&);
  bool (*Assigned)(const TPropInfo&, const TObject&);
};
union TPropWrite {
  void (*Ord)(const TPropInfo&, TObject&, std::int64_t);
  void (*Float)(const TPropInfo&, TObject&, long double);
  void (*Text)(const TPropInfo&, TObject&, const std::string&);
  void (*Ref)(const TPropInfo&, TObject&, TComponent*);
  void (*List)(const TPropInfo&, TObject&, const std::vector<std::string>&);
  void (*Event)(const TPropInfo&, TObject&, const std::any&);
};

// How a component of one class publishes one property: constant data, built by the Props builders of
// core/properties.h at compile time. Only the accessors of its kind are called.
struct TPropInfo {
  const char* Name = "";
  TPropKind Kind = pkInteger;
  // A property equal to its default is not written; without a default it is always written.
  bool HasDefault = false;
  union {
    std::int64_t DefaultOrd = 0;
    double DefaultFloat;
    const char* DefaultText;
  };
  const TNameList* Names = nullptr;    // pkEnum, pkSet
  const TIdentList* Idents = nullptr;  // pkInteger written as idents
  // pkComponent: the class a reference must be; pkPersistent: the class of the nested object;
  // pkCollection: the class of its items. Asked for lazily so a class may refer to itself.
  const TClassInfo& (*ClassOf)() = nullptr;
  const std::type_info* Handler = nullptr;  // pkEvent: the std::function type of the event
  const void* Reader = nullptr;             // the accessor constants the thunks call through
  const void* Writer = nullptr;
  TPropRead Read{};
  TPropWrite Write{};

  const TClassInfo* RefClass() const { return Kind == pkComponent && ClassOf ? &ClassOf() : nullptr; }
  const TClassInfo* ObjectClass() const {
    return (Kind == pkPersistent || Kind == pkCollection) && ClassOf ? &ClassOf() : nullptr;
  }
  std::type_index HandlerType() const { return Handler ? std::type_index(*Handler) : std::type_index(typeid(void)); }

  std::int64_t GetOrd(const TObject& o) const { return Read.Ord(*this, o); }
  void SetOrd(TObject& o, std::int64_t v) const { Write.Ord(*this, o, v); }
  long double GetFloat(const TObject& o) const { return Read.Float(*this, o); }
  void SetFloat(TObject& o, long double v) const { Write.Float(*this, o, v); }
  std::string GetText(const TObject& o) const { return Read.Text(*this, o); }  // pkString, pkBinary
  void SetText(TObject& o, const std::string& v) const { Write.Text(*this, o, v); }
  TPersistent* GetObject(const TObject& o) const { return Read.Object(*this, o); }  // pkPersistent, pkCollection
  TComponent* GetRef(const TObject& o) const { return Read.Ref(*this, o); }
  void SetRef(TObject& o, TComponent* v) const { Write.Ref(*this, o, v); }
  std::vector<std::string> GetList(const TObject& o) const { return Read.List(*this, o); }
  void SetList(TObject& o, const std::vector<std::string>& v) const { Write.List(*this, o, v); }
  bool EventAssigned(const TObject& o) const { return Read.Assigned(*this, o); }
  // An empty any clears the event; a handler of another type raises EPropertyError.
  void SetEvent(TObject& o, const std::any& handler) const { Write.Event(*this, o, handler); }

  // True when the current value equals the default (so a writer leaves it out).
  bool IsDefault(const TObject& object) const;
};

// A class's information: constant data like its property records (see MakeClassInfo).
struct TClassInfo {
  const char* Name = "";
  // The parent's StaticClassInfo, asked for lazily; nullptr for TObject.
  const TClassInfo& (*ParentOf)() = nullptr;
  // Creates an instance owned by the given component; nullptr for abstract and non-component classes.
  TComponent* (*Create)(TComponent* owner) = nullptr;
  std::span<const TPropInfo> Properties;

  const TClassInfo* Parent() const { return ParentOf ? &ParentOf() : nullptr; }
  // Case-insensitive, this class first, then its ancestors.
  const TPropInfo* FindProperty(std::string_view name) const;
  bool InheritsFrom(const TClassInfo& other) const;
  // Every property of the class, ancestors' first, a redefined name only once.
  std::vector<const TPropInfo*> AllProperties() const;
};

// Records hold nothing that needs destroying, so a table costs no code at start or at exit.
static_assert(std::is_trivially_destructible_v<TPropInfo> && std::is_trivially_destructible_v<TClassInfo>);

class TObject {
public:
  virtual ~TObject() = default;
  static const TClassInfo& StaticClassInfo();
  virtual const TClassInfo& ClassInfo() const { return StaticClassInfo(); }
  std::string_view ClassName() const { return ClassInfo().Name; }
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
  struct TNameIndex;
  bool NotifiesEachOther(const TComponent* component) const;

  TComponent* owner_ = nullptr;
  std::string name_;
  std::vector<TComponent*> components_;
  // The named children by name without regard to case, made once an owner has many children.
  mutable std::unique_ptr<TNameIndex> names_;
  // Always mutual: a component is in another's list exactly when that one is in its list.
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
