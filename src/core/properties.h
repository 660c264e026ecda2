#pragma once
// Builders for property tables. Getters and setters are member function pointers or any callables
// taking the object (const C& for getters, C& and the value for setters).
//
//   static const TClassInfo info = MakeClassInfo<TMyComponent, TComponent>("TMyComponent", {
//       Props<TMyComponent>::Integer("Offset", &TMyComponent::Offset, &TMyComponent::SetOffset, 0),
//       Props<TMyComponent>::Enum("Overwrite", kOverwriteNames, &TMyComponent::Overwrite,
//                                 &TMyComponent::SetOverwrite),  // no default: always written
//   });
#include <functional>
#include <optional>
#include <type_traits>

#include "core/classes.h"

namespace tav {

template <class C, class Parent>
TClassInfo MakeClassInfo(std::string name, std::vector<TPropInfo> properties) {
  TClassInfo info;
  info.Name = std::move(name);
  info.Parent = &Parent::StaticClassInfo();
  info.Properties = std::move(properties);
  if constexpr (std::is_base_of_v<TComponent, C> && !std::is_abstract_v<C> &&
                std::is_constructible_v<C, TComponent*>) {
    info.Create = [](TComponent* owner) -> TComponent* { return new C(owner); };
  }
  return info;
}

template <class C>
struct Props {
  template <class G, class S>
  static TPropInfo Integer(std::string name, G get, S set, std::optional<std::int64_t> def = std::nullopt,
                           const std::vector<TIdentMapEntry>* idents = nullptr) {
    TPropInfo p = Ordinal(pkInteger, std::move(name), get, set, def);
    p.Idents = idents;
    return p;
  }
  template <class G, class S>
  static TPropInfo Boolean(std::string name, G get, S set, std::optional<bool> def = std::nullopt) {
    return Ordinal(pkBoolean, std::move(name), get, set,
                   def ? std::optional<std::int64_t>(*def ? 1 : 0) : std::nullopt);
  }
  template <class G, class S>
  static TPropInfo Enum(std::string name, const std::vector<std::string>& names, G get, S set,
                        std::optional<std::int64_t> def = std::nullopt) {
    TPropInfo p = Ordinal(pkEnum, std::move(name), get, set, def);
    p.Names = &names;
    return p;
  }
  // The value is a bit mask: bit i set when names[i] is a member.
  template <class G, class S>
  static TPropInfo Set(std::string name, const std::vector<std::string>& names, G get, S set,
                       std::optional<std::int64_t> def = std::nullopt) {
    TPropInfo p = Ordinal(pkSet, std::move(name), get, set, def);
    p.Names = &names;
    return p;
  }
  template <class G, class S>
  static TPropInfo Float(std::string name, G get, S set, std::optional<long double> def = std::nullopt) {
    TPropInfo p;
    p.Name = std::move(name);
    p.Kind = pkFloat;
    p.GetFloat = [get](const TObject& o) { return static_cast<long double>(std::invoke(get, Self(o))); };
    p.SetFloat = [set](TObject& o, long double v) { Assign(set, o, v); };
    if (def) { p.HasDefault = true; p.DefaultFloat = *def; }
    return p;
  }
  template <class G, class S>
  static TPropInfo String(std::string name, G get, S set, std::optional<std::string> def = std::string()) {
    TPropInfo p;
    p.Name = std::move(name);
    p.Kind = pkString;
    p.GetText = [get](const TObject& o) { return std::string(std::invoke(get, Self(o))); };
    p.SetText = [set](TObject& o, const std::string& v) { Assign(set, o, v); };
    if (def) { p.HasDefault = true; p.DefaultText = *def; }
    return p;
  }
  template <class G, class S>
  static TPropInfo Binary(std::string name, G get, S set) {
    TPropInfo p = String(std::move(name), get, set, std::string());
    p.Kind = pkBinary;
    return p;
  }
  // get returns a pointer to the nested object, which the component owns.
  template <class G>
  static TPropInfo Object(std::string name, G get) {
    TPropInfo p;
    p.Name = std::move(name);
    p.Kind = pkPersistent;
    p.GetObject = [get](const TObject& o) -> TPersistent* {
      return std::invoke(get, const_cast<C&>(Self(o)));
    };
    return p;
  }
  template <class G>
  static TPropInfo Collection(std::string name, G get) {
    TPropInfo p = Object(std::move(name), get);
    p.Kind = pkCollection;
    return p;
  }
  template <class R, class G, class S>
  static TPropInfo Reference(std::string name, G get, S set) {
    TPropInfo p;
    p.Name = std::move(name);
    p.Kind = pkComponent;
    p.RefClassOf = &R::StaticClassInfo;
    p.GetRef = [get](const TObject& o) -> TComponent* { return std::invoke(get, Self(o)); };
    p.SetRef = [set](TObject& o, TComponent* v) { Assign(set, o, static_cast<R*>(v)); };
    p.HasDefault = true;  // nil
    return p;
  }
  template <class G, class S>
  static TPropInfo StringList(std::string name, G get, S set) {
    TPropInfo p;
    p.Name = std::move(name);
    p.Kind = pkStringList;
    p.GetList = [get](const TObject& o) { return std::invoke(get, Self(o)); };
    p.SetList = [set](TObject& o, const std::vector<std::string>& v) { Assign(set, o, v); };
    p.HasDefault = true;  // empty
    return p;
  }
  // member is a pointer to a std::function data member of C or of one of its bases.
  template <class F, class B>
  static TPropInfo Event(std::string name, F B::*member) {
    static_assert(std::is_base_of_v<B, C>);
    TPropInfo p;
    p.Name = std::move(name);
    p.Kind = pkEvent;
    p.HandlerType = typeid(F);
    p.EventAssigned = [member](const TObject& o) { return static_cast<bool>(Self(o).*member); };
    p.SetEvent = [member, n = p.Name](TObject& o, const std::any& handler) {
      if (!handler.has_value()) {
        Self(o).*member = nullptr;
        return;
      }
      const F* f = std::any_cast<F>(&handler);
      if (!f) throw EPropertyError("The handler for %s has the wrong type", n);
      Self(o).*member = *f;
    };
    p.HasDefault = true;  // unassigned
    return p;
  }

private:
  static const C& Self(const TObject& o) { return static_cast<const C&>(o); }
  static C& Self(TObject& o) { return static_cast<C&>(o); }

  template <class S, class V>
  static void Assign(S set, TObject& o, const V& v) {
    if constexpr (std::is_member_object_pointer_v<S>) {
      using T = std::remove_cvref_t<decltype(Self(o).*set)>;
      Self(o).*set = static_cast<T>(v);
    } else if constexpr (std::is_member_function_pointer_v<S>) {
      Invoke(set, Self(o), v);
    } else {
      set(Self(o), v);
    }
  }
  // Calls a setter whose parameter may be any integral, enum, floating or string type.
  template <class R, class B, class A, class V>
  static void Invoke(R (B::*set)(A), C& c, const V& v) {
    (c.*set)(static_cast<std::remove_cvref_t<A>>(v));
  }

  template <class G, class S>
  static TPropInfo Ordinal(TPropKind kind, std::string name, G get, S set, std::optional<std::int64_t> def) {
    TPropInfo p;
    p.Name = std::move(name);
    p.Kind = kind;
    p.GetOrd = [get](const TObject& o) { return static_cast<std::int64_t>(std::invoke(get, Self(o))); };
    p.SetOrd = [set](TObject& o, std::int64_t v) { Assign(set, o, v); };
    if (def) { p.HasDefault = true; p.DefaultOrd = *def; }
    return p;
  }
};

}  // namespace tav
