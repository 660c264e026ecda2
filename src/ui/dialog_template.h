#pragma once
// A dialog template built in memory, for the small system dialogs that have no resource of their own.
#include <cstddef>
#include <vector>

#include "ui/win32.h"

namespace tav {

// The system's predefined control classes, named by atom in a template.
enum TDialogItemClass : WORD { dicButton = 0x0080, dicEdit = 0x0081, dicStatic = 0x0082 };

// The header, then one DWORD-aligned entry per control; positions and sizes in dialog units. The
// caption and the controls' texts are left empty: the dialog sets them when it starts.
class TDialogTemplate {
public:
  // With DS_SETFONT in style the dialog uses the named font at that point size.
  TDialogTemplate(DWORD style, short cx, short cy, const wchar_t* font, WORD points);
  // Adds a visible child control.
  void Item(TDialogItemClass windowClass, int id, DWORD style, short x, short y, short cx, short cy,
            DWORD exStyle = 0);
  // Valid until the next Item.
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

private:
  void Append(const void* data, std::size_t size);
  void Word(WORD w) { Append(&w, sizeof w); }
  void Text(const wchar_t* s);
  void Align();

  std::vector<unsigned char> bytes_;
};

}  // namespace tav
