#include "config/form_loader.h"
#include "config/form_values.h"
#include "core/collection.h"

namespace tav::config {

namespace {

class FormWriter {
public:
  explicit FormWriter(const TComponent& root) : root_(root) {}

  ObjectRecord Write(const TComponent& component) {
    ObjectRecord record;
    record.className = component.ClassName();
    record.name = component.Name();
    WriteProperties(component, component, "", record.properties);
    component.GetChildren([&](TComponent* child) { record.children.push_back(Write(*child)); }, &root_);
    return record;
  }

private:
  void WriteProperties(const TComponent& component, const TObject& object, const std::string& prefix,
                       std::vector<Property>& out) {
    for (const TPropInfo* p : object.ClassInfo().AllProperties()) {
      const std::string path = prefix + p->Name;
      if (p->Kind == pkPersistent) {
        if (const TPersistent* nested = p->GetObject(object)) WriteProperties(component, *nested, path + ".", out);
        continue;
      }
      if (p->Kind == pkCollection) {
        auto* collection = dynamic_cast<const TCollection*>(p->GetObject(object));
        if (!collection || collection->Count() == 0) continue;
        Value v;
        v.type = ValueType::Collection;
        for (int i = 0; i < collection->Count(); ++i) {
          CollectionItem item;
          WriteProperties(component, *collection->Items(i), "", item.properties);
          v.collection.push_back(std::move(item));
        }
        out.push_back(Property{path, std::move(v)});
        continue;
      }
      if (p->IsDefault(object)) continue;
      if (std::optional<Value> v = ValueOf(component, object, *p, path)) out.push_back(Property{path, std::move(*v)});
    }
  }

  std::optional<Value> ValueOf(const TComponent& component, const TObject& object, const TPropInfo& p,
                               const std::string& path) {
    switch (p.Kind) {
      case pkInteger: {
        const std::int64_t v = p.GetOrd(object);
        if (p.Idents) {
          for (const TIdentMapEntry& e : *p.Idents) {
            if (e.Value == v) return IdentValue(e.Ident);
          }
        }
        return IntegerValue(v);
      }
      case pkBoolean:
        return BooleanValue(p.GetOrd(object) != 0);
      case pkEnum: {
        const std::int64_t v = p.GetOrd(object);
        if (v < 0 || v >= static_cast<std::int64_t>(p.Names->size()))
          throw EWriteError("Error writing %s.%s: value %d out of range", component.Name(), path, v);
        return IdentValue(std::string((*p.Names)[v]));
      }
      case pkSet: {
        const std::int64_t mask = p.GetOrd(object);
        std::vector<std::string> members;
        for (std::size_t i = 0; i < p.Names->size(); ++i) {
          if (mask & (std::int64_t{1} << i)) members.emplace_back((*p.Names)[i]);
        }
        return SetValue(members);
      }
      case pkFloat:
        return ExtendedValue(p.GetFloat(object));
      case pkString:
        return TextValue(p.GetText(object));
      case pkBinary:
        return BinaryValue(p.GetText(object));
      case pkComponent: {
        const TComponent* target = p.GetRef(object);
        if (!target) return NilValue();
        if (target == &root_ || target->Owner() == &root_) return IdentValue(target->Name());
        // A component of another form is named through its owner.
        if (target->Owner()) return IdentValue(target->Owner()->Name() + "." + target->Name());
        return IdentValue(target->Name());
      }
      case pkStringList: {
        std::vector<Value> items;
        for (const std::string& s : p.GetList(object)) items.push_back(TextValue(s));
        return ListValue(std::move(items));
      }
      case pkEvent: {
        const std::string& handler = component.EventHandlerName(path);
        if (handler.empty()) return std::nullopt;  // assigned in code, not by name: nothing to write
        return IdentValue(handler);
      }
      case pkPersistent:
      case pkCollection:
        break;
    }
    return std::nullopt;
  }

  const TComponent& root_;
};

}  // namespace

ObjectRecord SaveForm(const TComponent& root) {
  FormWriter writer(root);
  return writer.Write(root);
}

}  // namespace tav::config
