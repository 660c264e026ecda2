#pragma once
// Builders for property tables, evaluated at compile time: a class's information is constant data.
// Accessors are template arguments: member function pointers, data member pointers, functions or
// captureless lambdas taking the object (const C& for getters, C& and the value for setters).
//
//   const TClassInfo& TMyComponent::StaticClassInfo() {
//     using P = Props<TMyComponent>;
//     static constexpr TPropInfo props[] = {
//         P::Integer<&TMyComponent::Offset, &TMyComponent::SetOffset>("Offset", 0),
//         P::Enum<&TMyComponent::Overwrite, &TMyComponent::SetOverwrite>("Overwrite", OverwriteNames),  // always
//         written
//     };
//     static constexpr TClassInfo info = MakeClassInfo<TMyComponent, TComponent>("TMyComponent", props);
//     return info;
//   }
//
// A member of a TObject descendant is reached through a pointer to a member of TObject, so one thunk
// serves every property whose accessor has the same signature, whatever class declares it.
#include <optional>
#include <type_traits>

#include "core/classes.h"

namespace tav {

namespace props_detail {

template <class A>
struct TMemberOf {
  static constexpr bool kShared = false;
};
template <class T, class B>
struct TMemberOf<T B::*> {
  static constexpr bool kShared = std::is_base_of_v<TObject, B>;
  using Shared = T TObject::*;
};

// The accessor M of a property of class C as a constant: Type is what the thunks are made for, Self the
// class they cast the object to.
template <class C, auto M, bool = TMemberOf<decltype(M)>::kShared>
struct TAccessor {
  using Self = C;
  using Type = decltype(M);
  static constexpr Type kValue = M;
};
template <class C, auto M>
struct TAccessor<C, M, true> {
  using Self = TObject;
  using Type = typename TMemberOf<decltype(M)>::Shared;
  static constexpr Type kValue = static_cast<Type>(M);
};

template <class Self, class A>
decltype(auto) Get(const TPropInfo& p, const TObject& o) {
  const A& get = *static_cast<const A*>(p.Reader);
  Self& self = static_cast<Self&>(const_cast<TObject&>(o));
  if constexpr (std::is_member_function_pointer_v<A>) {
    return (self.*get)();
  } else if constexpr (std::is_member_object_pointer_v<A>) {
    return (self.*get);
  } else {
    return get(self);
  }
}

template <class F>
struct TSetterArg;
template <class R, class B, class Arg>
struct TSetterArg<R (B::*)(Arg)> {
  using Type = std::remove_cvref_t<Arg>;
};
template <class R, class B, class Arg>
struct TSetterArg<R (B::*)(Arg) noexcept> {
  using Type = std::remove_cvref_t<Arg>;
};

// Calls the setter with the value converted to its parameter's type (any integral, enum, floating or
// string type).
template <class Self, class A, class V>
void Set(const TPropInfo& p, TObject& o, const V& v) {
  const A& set = *static_cast<const A*>(p.Writer);
  Self& self = static_cast<Self&>(o);
  if constexpr (std::is_member_function_pointer_v<A>) {
    using Arg = typename TSetterArg<A>::Type;
    if constexpr (std::is_same_v<Arg, V>) {
      (self.*set)(v);
    } else {
      (self.*set)(static_cast<Arg>(v));
    }
  } else if constexpr (std::is_member_object_pointer_v<A>) {
    using T = std::remove_cvref_t<decltype(self.*set)>;
    self.*set = static_cast<T>(v);
  } else {
    set(self, v);
  }
}

template <class Self, class A>
std::int64_t GetOrd(const TPropInfo& p, const TObject& o) {
  return static_cast<std::int64_t>(Get<Self, A>(p, o));
}
template <class Self, class A>
void SetOrd(const TPropInfo& p, TObject& o, std::int64_t v) {
  Set<Self, A>(p, o, v);
}
template <class Self, class A>
long double GetFloat(const TPropInfo& p, const TObject& o) {
  return static_cast<long double>(Get<Self, A>(p, o));
}
template <class Self, class A>
void SetFloat(const TPropInfo& p, TObject& o, long double v) {
  Set<Self, A>(p, o, v);
}
template <class Self, class A>
std::string GetText(const TPropInfo& p, const TObject& o) {
  return std::string(Get<Self, A>(p, o));
}
template <class Self, class A>
void SetText(const TPropInfo& p, TObject& o, const std::string& v) {
  Set<Self, A>(p, o, v);
}
template <class Self, class A>
TPersistent* GetObject(const TPropInfo& p, const TObject& o) {
  decltype(auto) nested = Get<Self, A>(p, o);
  if constexpr (std::is_pointer_v<std::remove_cvref_t<decltype(nested)>>) {
    return nested;
  } else {
    return &nested;
  }
}
template <class Self, class A>
TComponent* GetRef(const TPropInfo& p, const TObject& o) {
  return Get<Self, A>(p, o);
}
template <class Self, class A, class R>
void SetRef(const TPropInfo& p, TObject& o, TComponent* v) {
  Set<Self, A>(p, o, static_cast<R*>(v));
}
template <class Self, class A>
std::vector<std::string> GetList(const TPropInfo& p, const TObject& o) {
  return Get<Self, A>(p, o);
}
template <class Self, class A>
void SetList(const TPropInfo& p, TObject& o, const std::vector<std::string>& v) {
  Set<Self, A>(p, o, v);
}
template <class Self, class A>
bool EventAssigned(const TPropInfo& p, const TObject& o) {
  return static_cast<bool>(Get<Self, A>(p, o));
}
template <class Self, class A, class F>
void SetEvent(const TPropInfo& p, TObject& o, const std::any& handler) {
  const A& member = *static_cast<const A*>(p.Reader);
  Self& self = static_cast<Self&>(o);
  if (!handler.has_value()) {
    self.*member = nullptr;
    return;
  }
  const F* f = std::any_cast<F>(&handler);
  if (!f) throw EPropertyError("The handler for %s has the wrong type", p.Name);
  self.*member = *f;
}

// What the getter of class C's accessor G returns, with references and cv removed.
template <class C, auto G>
using TValueOf = std::remove_cvref_t<decltype(Get<typename TAccessor<C, G>::Self, typename TAccessor<C, G>::Type>(
    std::declval<const TPropInfo&>(), std::declval<const TObject&>()))>;

}  // namespace props_detail

template <class C, class Parent>
constexpr TClassInfo MakeClassInfo(const char* name, std::span<const TPropInfo> properties = {}) {
  TClassInfo info;
  info.Name = name;
  info.ParentOf = &Parent::StaticClassInfo;
  info.Properties = properties;
  if constexpr (std::is_base_of_v<TComponent, C> && !std::is_abstract_v<C> &&
                std::is_constructible_v<C, TComponent*>) {
    info.Create = [](TComponent* owner) -> TComponent* { return new C(owner); };
  }
  return info;
}

template <class C>
struct Props {
  template <auto G, auto S>
  static constexpr TPropInfo Integer(const char* name, std::optional<std::int64_t> def = std::nullopt,
                                     const TIdentList* idents = nullptr) {
    TPropInfo p = Ordinal<G, S>(pkInteger, name, def);
    p.Idents = idents;
    return p;
  }
  template <auto G, auto S>
  static constexpr TPropInfo Boolean(const char* name, std::optional<bool> def = std::nullopt) {
    return Ordinal<G, S>(pkBoolean, name, def ? std::optional<std::int64_t>(*def ? 1 : 0) : std::nullopt);
  }
  template <auto G, auto S>
  static constexpr TPropInfo Enum(const char* name, const TNameList& names,
                                  std::optional<std::int64_t> def = std::nullopt) {
    TPropInfo p = Ordinal<G, S>(pkEnum, name, def);
    p.Names = &names;
    return p;
  }
  // The value is a bit mask: bit i set when names[i] is a member.
  template <auto G, auto S>
  static constexpr TPropInfo Set(const char* name, const TNameList& names,
                                 std::optional<std::int64_t> def = std::nullopt) {
    TPropInfo p = Ordinal<G, S>(pkSet, name, def);
    p.Names = &names;
    return p;
  }
  template <auto G, auto S>
  static constexpr TPropInfo Float(const char* name, std::optional<double> def = std::nullopt) {
    TPropInfo p = Accessors<G, S>(pkFloat, name);
    p.Read.Float = &props_detail::GetFloat<Self<G>, Type<G>>;
    p.Write.Float = &props_detail::SetFloat<Self<S>, Type<S>>;
    if (def) {
      p.HasDefault = true;
      p.DefaultFloat = *def;
    }
    return p;
  }
  // Without a default argument the default is the empty string; std::nullopt: always written.
  template <auto G, auto S>
  static constexpr TPropInfo String(const char* name, std::optional<const char*> def = "") {
    TPropInfo p = Accessors<G, S>(pkString, name);
    p.Read.Text = &props_detail::GetText<Self<G>, Type<G>>;
    p.Write.Text = &props_detail::SetText<Self<S>, Type<S>>;
    if (def) {
      p.HasDefault = true;
      p.DefaultText = *def;
    }
    return p;
  }
  template <auto G, auto S>
  static constexpr TPropInfo Binary(const char* name) {
    TPropInfo p = String<G, S>(name);
    p.Kind = pkBinary;
    return p;
  }
  // G gives the nested object, which the component owns (a pointer or a reference).
  template <auto G>
  static constexpr TPropInfo Object(const char* name) {
    using T = std::remove_pointer_t<props_detail::TValueOf<C, G>>;
    TPropInfo p;
    p.Name = name;
    p.Kind = pkPersistent;
    p.Reader = &Accessor<G>::kValue;
    p.Read.Object = &props_detail::GetObject<Self<G>, Type<G>>;
    p.ClassOf = &T::StaticClassInfo;
    return p;
  }
  // Item is the class of the collection's items.
  template <class Item, auto G>
  static constexpr TPropInfo Collection(const char* name) {
    TPropInfo p = Object<G>(name);
    p.Kind = pkCollection;
    p.ClassOf = &Item::StaticClassInfo;
    return p;
  }
  template <class R, auto G, auto S>
  static constexpr TPropInfo Reference(const char* name) {
    TPropInfo p = Accessors<G, S>(pkComponent, name);
    p.ClassOf = &R::StaticClassInfo;
    p.Read.Ref = &props_detail::GetRef<Self<G>, Type<G>>;
    p.Write.Ref = &props_detail::SetRef<Self<S>, Type<S>, R>;
    p.HasDefault = true;  // nil
    return p;
  }
  template <auto G, auto S>
  static constexpr TPropInfo StringList(const char* name) {
    TPropInfo p = Accessors<G, S>(pkStringList, name);
    p.Read.List = &props_detail::GetList<Self<G>, Type<G>>;
    p.Write.List = &props_detail::SetList<Self<S>, Type<S>>;
    p.HasDefault = true;  // empty
    return p;
  }
  // M points to a std::function data member of C or of one of its bases.
  template <auto M>
  static constexpr TPropInfo Event(const char* name) {
    using F = std::remove_cvref_t<decltype(std::declval<C&>().*M)>;
    TPropInfo p = Accessors<M, M>(pkEvent, name);
    p.Handler = &typeid(F);
    p.Read.Assigned = &props_detail::EventAssigned<Self<M>, Type<M>>;
    p.Write.Event = &props_detail::SetEvent<Self<M>, Type<M>, F>;
    p.HasDefault = true;  // unassigned
    return p;
  }

private:
 template <auto M>
 using Accessor = props_detail::TAccessor<C, M>;
 template <auto M>
 using Self = typename Accessor<M>::Self;
 template <auto M>
 using Type = typename Accessor<M>::Type;

 template <auto G, auto S>
 static constexpr TPropInfo Accessors(TPropKind kind, const char* name) {
   TPropInfo p;
   p.Name = name;
   p.Kind = kind;
   p.Reader = &Accessor<G>::kValue;
   p.Writer = &Accessor<S>::kValue;
   return p;
 }
 template <auto G, auto S>
 static constexpr TPropInfo Ordinal(TPropKind kind, const char* name, std::optional<std::int64_t> def) {
   TPropInfo p = Accessors<G, S>(kind, name);
   p.Read.Ord = &props_detail::GetOrd<Self<G>, Type<G>>;
   p.Write.Ord = &props_detail::SetOrd<Self<S>, Type<S>>;
   if (def) {
     p.HasDefault = true;
     p.DefaultOrd = *def;
   }
   return p;
 }
};

}  // namespace tav
