#pragma once
// The binary component stream: "TPF0", one object record (the root), nothing after it.
//
// Reading checks every length against the bytes that remain before allocating and caps the nesting of
// objects, lists and collections at kMaxFormDepth, so hostile bytes fail with an EReadError that names
// what is wrong and the byte offset, never with a crash or an absurd allocation.
#include <functional>
#include <string>
#include <string_view>

#include "config/form_tree.h"

namespace tav::config {

// Objects, lists and collections nested inside each other, counted together.
inline constexpr int kMaxFormDepth = 200;

ObjectRecord ReadBinaryForm(std::string_view bytes);
// The same stream one child of the root at a time, so that a project of thousands of objects is never
// held whole: onRoot gets the root's record without its children, then onChild each child in turn,
// each record read and checked completely before it is handed on. An error after the first child
// leaves what the callbacks did with the earlier ones.
void ReadBinaryFormByChild(std::string_view bytes, const std::function<void(ObjectRecord&)>& onRoot,
                           const std::function<void(ObjectRecord&)>& onChild);

// Writes the tree as it is: every value keeps its tag (see form_values.h for the writer's rules).
// A prefix byte is written when the record has one, has flags or a position, and also when a child's
// class name is empty or a class name is 240 bytes or longer, which a reader would otherwise take for the
// end of the child list or for a prefix. So any stream that ReadBinaryForm accepts is written back
// byte for byte.
// Throws EWriteError for what the format cannot hold (names over 255 bytes, an empty property name or set
// member, a Null list item).
std::string WriteBinaryForm(const ObjectRecord& root);

}  // namespace tav::config
