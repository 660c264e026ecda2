#pragma once
// Creating components from a form: classes looked up in the registry, properties set through their
// setters in stream order, references resolved by name once the whole root is read, then Loaded on
// every component in reading order, the root first.
#include <memory>
#include <string_view>

#include "config/form_tree.h"
#include "core/classes.h"

namespace tav::config {

// Reads record into root, an existing instance of the record's class. Components of the form are
// created owned by root. Errors: EReadError / EClassNotFound with the component and property concerned.
void LoadForm(TComponent& root, const ObjectRecord& record);
// The same from a binary stream ("TPF0...").
void LoadFormFromStream(TComponent& root, std::string_view bytes);
// Creates the root from the registered class the record names, then loads it.
std::unique_ptr<TComponent> CreateForm(const ObjectRecord& record);

// The syntactic form of a live root: every property that differs from its default, the components
// in the order GetChildren gives them.
ObjectRecord SaveForm(const TComponent& root);

}  // namespace tav::config
