#include "config/form_check.h"

#include <set>

#include "config/form_values.h"
#include "core/classes.h"

namespace tav::config {

namespace {

class FormChecker {
public:
  std::vector<std::string> Check(const ObjectRecord& root) {
    Collect(root);
    CheckRecord(root, root.name.empty() ? root.className : root.name, 0);
    return problems_;
  }

private:
  void Collect(const ObjectRecord& r) {
    if (!r.name.empty()) names_.insert(UpperCase(r.name));
    for (const ObjectRecord& c : r.children) Collect(c);
  }

  void CheckRecord(const ObjectRecord& r, const std::string& label, int depth) {
    const TClassInfo* cls = FindClass(r.className);
    if (!cls) {
      problems_.push_back(label + ": class " + r.className + " is not registered");
    } else {
      CheckProperties(*cls, r.properties, label);
    }
    if (depth > 200) return;
    for (const ObjectRecord& c : r.children)
      CheckRecord(c, label + "." + (c.name.empty() ? c.className : c.name), depth + 1);
  }

  void CheckProperties(const TClassInfo& cls, const std::vector<Property>& properties, const std::string& label) {
    for (const Property& p : properties) {
      const TClassInfo* owner = &cls;
      const TPropInfo* prop = nullptr;
      std::size_t begin = 0;
      bool ok = true;
      while (true) {
        const std::size_t dot = p.name.find('.', begin);
        const std::string part = p.name.substr(begin, dot == std::string::npos ? std::string::npos : dot - begin);
        prop = owner->FindProperty(part);
        if (!prop) {
          problems_.push_back(label + "." + p.name + ": " + owner->Name + " has no property " + part);
          ok = false;
          break;
        }
        if (dot == std::string::npos) break;
        if (prop->Kind != pkPersistent || !prop->ObjectClass()) {
          problems_.push_back(label + "." + p.name + ": property " + part + " has no properties");
          ok = false;
          break;
        }
        owner = prop->ObjectClass();
        begin = dot + 1;
      }
      if (ok) CheckValue(*prop, p.value, label + "." + p.name);
    }
  }

  void CheckValue(const TPropInfo& prop, const Value& v, const std::string& where) {
    auto bad = [&](const std::string& why) { problems_.push_back(where + ": " + why); };
    auto nameIn = [](const TNameList& names, const std::string& n) {
      for (std::string_view x : names) {
        if (SameText(x, n)) return true;
      }
      return false;
    };
    switch (prop.Kind) {
      case pkInteger:
        if (v.type == ValueType::Ident) {
          bool known = false;
          if (prop.Idents) {
            for (const TIdentMapEntry& e : *prop.Idents) known = known || SameText(e.Ident, v.bytes);
          }
          if (!known) bad("unknown constant " + v.bytes);
        } else if (!IsInteger(v.type)) {
          bad("an integer was expected, not " + ValueTypeName(v.type));
        }
        break;
      case pkBoolean:
        if (v.type != ValueType::True && v.type != ValueType::False) bad("True or False was expected");
        break;
      case pkEnum:
        if (v.type != ValueType::Ident || !nameIn(*prop.Names, v.bytes)) bad("invalid value for this property");
        break;
      case pkSet:
        if (v.type != ValueType::Set) {
          bad("a set was expected");
        } else {
          for (const std::string& m : v.members) {
            if (!nameIn(*prop.Names, m)) bad("unknown set member " + m);
          }
        }
        break;
      case pkFloat:
        if (!IsInteger(v.type) && v.type != ValueType::Extended && v.type != ValueType::Single &&
            v.type != ValueType::Date && v.type != ValueType::Currency)
          bad("a number was expected");
        break;
      case pkString:
        if (!IsString(v.type)) bad("a string was expected, not " + ValueTypeName(v.type));
        break;
      case pkBinary:
        if (v.type != ValueType::Binary) bad("binary data was expected");
        break;
      case pkComponent:
        if (v.type == ValueType::Ident) {
          if (!names_.count(UpperCase(v.bytes))) bad("component " + v.bytes + " does not exist in this form");
        } else if (v.type != ValueType::Nil) {
          bad("a component name was expected");
        }
        break;
      case pkStringList:
        if (v.type != ValueType::List) {
          bad("a list of strings was expected");
        } else {
          for (const Value& item : v.items) {
            if (!IsString(item.type)) bad("a list of strings was expected");
          }
        }
        break;
      case pkCollection:
        if (v.type != ValueType::Collection) {
          bad("a collection was expected");
        } else if (const TClassInfo* item = prop.ObjectClass()) {
          for (std::size_t i = 0; i < v.collection.size(); ++i)
            CheckProperties(*item, v.collection[i].properties, where + "[" + std::to_string(i) + "]");
        }
        break;
      case pkEvent:
        if (v.type != ValueType::Ident && v.type != ValueType::Nil) bad("a handler name was expected");
        break;
      case pkPersistent:
        bad("this property holds an object; set its properties instead");
        break;
    }
  }

  std::set<std::string> names_;
  std::vector<std::string> problems_;
};

}  // namespace

std::vector<std::string> CheckForm(const ObjectRecord& root) { return FormChecker().Check(root); }

}  // namespace tav::config
