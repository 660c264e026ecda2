#include "config/form_loader.h"

#include <algorithm>
#include <vector>

#include "config/binary_form.h"
#include "config/form_values.h"
#include "core/collection.h"
#include "core/strings.h"

namespace tav::config {

namespace {

// A read error that already names the component and property.
TAV_EXCEPTION(ELabelledReadError, EReadError);

struct Fixup {
  TObject* object;
  const TPropInfo* prop;
  std::string target;
  std::string where;  // "Component.Property" for the error message
};

class FormReader {
public:
  explicit FormReader(TComponent& root) : root_(root) {}

  void Read(const ObjectRecord& record) {
    Begin(record);
    for (const ObjectRecord& child : record.children) ReadChild(root_, child);
    Finish();
  }

  // The root's own record (its children are not looked at), then each child, then Finish.
  void Begin(const ObjectRecord& record) {
    if (!SameText(record.className, root_.ClassName()))
      throw EReadError("Stream holds a %s where a %s was expected", record.className, root_.ClassName());
    root_.SetState(csLoading);
    root_.SetState(csReading);
    loaded_.push_back(&root_);
    if (!record.name.empty()) root_.SetName(UniqueRootName(record.name));
    ReadProperties(root_, root_, record.properties);
  }
  void Child(const ObjectRecord& record) { ReadChild(root_, record); }
  void Finish() {
    ResolveFixups();
    for (TComponent* c : loaded_) c->ClearState(csReading);
    for (TComponent* c : loaded_) c->Loaded();
  }

  // A second form of a class under the same owner is named Name_1, Name_2, ... as its own name is taken.
  std::string UniqueRootName(const std::string& name) const {
    TComponent* owner = root_.Owner();
    if (!owner) return name;
    TComponent* same = owner->FindComponent(name);
    if (!same || same == &root_) return name;
    for (int i = 1;; ++i) {
      std::string candidate = name + "_" + std::to_string(i);
      TComponent* other = owner->FindComponent(candidate);
      if (!other || other == &root_) return candidate;
    }
  }

  // Clears the loading state of everything read so far when a load fails.
  void Abandon() {
    for (TComponent* c : loaded_) {
      c->ClearState(csReading);
      c->ClearState(csLoading);
    }
  }

private:
  void ReadChild(TComponent& parent, const ObjectRecord& record) {
    if (++depth_ > kMaxDepth) throw EReadError("Components nested too deeply at %s", record.name);
    TComponent* component = nullptr;
    const bool inherited = record.hasPrefix && (record.flags & 1);
    if (inherited) {
      // An inherited record changes a component the root already has.
      component = root_.FindComponent(record.name);
      if (!component) throw EReadError("Inherited component %s not found", record.name);
    } else {
      const TClassInfo* cls = FindClass(record.className);
      if (!cls) throw EClassNotFound("Class %s not found", record.className);
      if (!cls->Create) throw EReadError("Class %s cannot be created from a stream", record.className);
      component = cls->Create(&root_);
      try {
        component->SetState(csLoading);
        component->SetState(csReading);
        component->SetName(record.name);
      } catch (...) {
        delete component;
        throw;
      }
    }
    // Only a component the root already had can have been read before.
    if (!inherited || std::find(loaded_.begin(), loaded_.end(), component) == loaded_.end()) loaded_.push_back(component);
    if (&parent != component) component->SetParentComponent(&parent);
    ReadProperties(*component, *component, record.properties);
    for (const ObjectRecord& child : record.children) ReadChild(*component, child);
    --depth_;
  }

  void ReadProperties(TComponent& component, TObject& object, const std::vector<Property>& properties) {
    for (const Property& p : properties) {
      try {
        SetProperty(component, object, p.name, p.value);
      } catch (const ELabelledReadError&) {
        throw;
      } catch (const EClassNotFound&) {
        throw;
      } catch (const Exception& e) {
        throw ELabelledReadError("Error reading %s.%s: %s", ComponentLabel(component), p.name, e.Message());
      }
    }
  }

  std::string ComponentLabel(const TComponent& c) const {
    return c.Name().empty() ? std::string(c.ClassName()) : c.Name();
  }

  [[noreturn]] void Fail(const TComponent& c, const std::string& path, const std::string& why) const {
    throw ELabelledReadError("Error reading %s.%s: %s", ComponentLabel(c), path, why);
  }

  void SetProperty(TComponent& component, TObject& start, const std::string& path, const Value& value) {
    TObject* object = &start;
    std::size_t begin = 0;
    const TPropInfo* prop = nullptr;
    while (true) {
      const std::size_t dot = path.find('.', begin);
      const std::string name = path.substr(begin, dot == std::string::npos ? std::string::npos : dot - begin);
      prop = object->ClassInfo().FindProperty(name);
      if (!prop) Fail(component, path, Format("Property %s does not exist", name));
      if (dot == std::string::npos) break;
      if (prop->Kind != pkPersistent) Fail(component, path, Format("Property %s has no properties", name));
      object = prop->GetObject(*object);
      if (!object) Fail(component, path, Format("Property %s is not assigned", name));
      begin = dot + 1;
    }
    SetValue(component, *object, *prop, path, value);
  }

  void SetValue(TComponent& component, TObject& object, const TPropInfo& prop, const std::string& path,
                const Value& value) {
    auto invalid = [&] { Fail(component, path, "Invalid property value"); };
    switch (prop.Kind) {
      case pkInteger:
        if (value.type == ValueType::Ident) {
          if (prop.Idents) {
            for (const TIdentMapEntry& e : *prop.Idents) {
              if (SameText(e.Ident, value.bytes)) return prop.SetOrd(object, e.Value);
            }
          }
          invalid();
        }
        return prop.SetOrd(object, AsInteger(value));
      case pkBoolean:
        if (value.type == ValueType::True || value.type == ValueType::False)
          return prop.SetOrd(object, value.type == ValueType::True ? 1 : 0);
        invalid();
        return;
      case pkEnum:
        if (value.type != ValueType::Ident) invalid();
        for (std::size_t i = 0; i < prop.Names->size(); ++i) {
          if (SameText((*prop.Names)[i], value.bytes)) return prop.SetOrd(object, static_cast<std::int64_t>(i));
        }
        invalid();
        return;
      case pkSet: {
        if (value.type != ValueType::Set) invalid();
        std::int64_t mask = 0;
        for (const std::string& m : value.members) {
          bool found = false;
          for (std::size_t i = 0; i < prop.Names->size() && !found; ++i) {
            if (SameText((*prop.Names)[i], m)) {
              mask |= std::int64_t{1} << i;
              found = true;
            }
          }
          if (!found) invalid();
        }
        return prop.SetOrd(object, mask);
      }
      case pkFloat:
        return prop.SetFloat(object, AsFloat(value));
      case pkString:
        if (value.type != ValueType::String && value.type != ValueType::LString && value.type != ValueType::WString)
          invalid();
        return prop.SetText(object, AsText(value));
      case pkBinary:
        if (value.type != ValueType::Binary) invalid();
        return prop.SetText(object, value.bytes);
      case pkComponent:
        if (value.type == ValueType::Nil) return prop.SetRef(object, nullptr);
        if (value.type != ValueType::Ident) invalid();
        if (TComponent* target = FindByName(value.bytes)) {
          CheckReference(component, path, prop, *target);
          return prop.SetRef(object, target);
        }
        fixups_.push_back(Fixup{&object, &prop, value.bytes, ComponentLabel(component) + "." + path});
        return;
      case pkStringList: {
        if (value.type != ValueType::List) invalid();
        std::vector<std::string> items;
        items.reserve(value.items.size());
        for (const Value& item : value.items) {
          if (item.type != ValueType::String && item.type != ValueType::LString && item.type != ValueType::WString)
            invalid();
          items.push_back(AsText(item));
        }
        return prop.SetList(object, items);
      }
      case pkCollection: {
        if (value.type != ValueType::Collection) invalid();
        auto* collection = dynamic_cast<TCollection*>(prop.GetObject(object));
        if (!collection) invalid();
        collection->BeginUpdate();
        try {
          collection->Clear();
          for (const CollectionItem& item : value.collection) {
            TCollectionItem* created = collection->Add();
            ReadProperties(component, *created, item.properties);
          }
        } catch (...) {
          collection->EndUpdate();
          throw;
        }
        collection->EndUpdate();
        return;
      }
      case pkEvent: {
        if (value.type == ValueType::Nil) {
          prop.SetEvent(object, std::any());
          component.SetEventHandlerName(path, "");
          return;
        }
        if (value.type != ValueType::Ident) invalid();
        std::type_index type = typeid(void);
        const std::any* handler = FindHandler(value.bytes, &type);
        if (!handler) Fail(component, path, Format("Event handler %s does not exist", value.bytes));
        if (type != prop.HandlerType())
          Fail(component, path, Format("Event handler %s has the wrong type", value.bytes));
        prop.SetEvent(object, *handler);
        component.SetEventHandlerName(path, value.bytes);
        return;
      }
      case pkPersistent:
        invalid();
        return;
    }
  }

  TComponent* FindByName(const std::string& name) const {
    if (SameText(root_.Name(), name)) return &root_;
    return root_.FindComponent(name);
  }

  void CheckReference(const TComponent& component, const std::string& path, const TPropInfo& prop,
                      const TComponent& target) const {
    if (const TClassInfo* cls = prop.RefClass(); cls && !target.InheritsFrom(*cls))
      Fail(component, path, Format("%s is a %s, not a %s", target.Name(), target.ClassName(), cls->Name));
  }

  void ResolveFixups() {
    for (const Fixup& f : fixups_) {
      TComponent* target = FindByName(f.target);
      if (!target) throw EReadError("Error reading %s: component %s does not exist", f.where, f.target);
      if (const TClassInfo* cls = f.prop->RefClass(); cls && !target->InheritsFrom(*cls))
        throw EReadError("Error reading %s: %s is a %s, not a %s", f.where, target->Name(), target->ClassName(),
                         cls->Name);
      f.prop->SetRef(*f.object, target);
    }
    fixups_.clear();
  }

  static constexpr int kMaxDepth = 200;
  TComponent& root_;
  std::vector<TComponent*> loaded_;
  std::vector<Fixup> fixups_;
  int depth_ = 0;
};

}  // namespace

void LoadForm(TComponent& root, const ObjectRecord& record) {
  FormReader reader(root);
  try {
    reader.Read(record);
  } catch (...) {
    reader.Abandon();
    throw;
  }
}

void LoadFormFromStream(TComponent& root, std::string_view bytes) {
  // Child by child: a record is dropped once its component stands.
  FormReader reader(root);
  try {
    ReadBinaryFormByChild(
        bytes, [&](ObjectRecord& record) { reader.Begin(record); },
        [&](ObjectRecord& child) { reader.Child(child); });
    reader.Finish();
  } catch (...) {
    reader.Abandon();
    throw;
  }
}

std::unique_ptr<TComponent> CreateForm(const ObjectRecord& record) {
  const TClassInfo* cls = FindClass(record.className);
  if (!cls) throw EClassNotFound("Class %s not found", record.className);
  if (!cls->Create) throw EReadError("Class %s cannot be created from a stream", record.className);
  std::unique_ptr<TComponent> root(cls->Create(nullptr));
  LoadForm(*root, record);
  return root;
}

}  // namespace tav::config
