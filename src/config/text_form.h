#pragma once
// The text form of a component stream: a readable, editable equivalent of the binary stream.
//
//   object Form1: TForm1
//     Caption = 'Setup'
//     Font.Style = [fsBold]
//     object Install1: TInstall
//       Lines.Strings = (
//         'first'
//         'second')
//     end
//   end
//
// The conversion is purely syntactic. Writing a tree and reading the text back gives the same values;
// for a tree that follows the writer's rules (form_values.h) it gives the same binary stream, with every
// float exact to the bit. Text written by WriteTextForm reads back and writes to the same text.
// The syntax is described in docs/text-form.md.
#include <string>
#include <string_view>

#include "config/form_tree.h"

namespace tav::config {

// Throws EReadError with the line and column (1-based; columns count characters) of the fault.
ObjectRecord ReadTextForm(std::string_view text);

// Throws EWriteError for what the binary stream cannot hold either (see WriteBinaryForm).
std::string WriteTextForm(const ObjectRecord& root);

}  // namespace tav::config
