#include "ui/dialog_template.h"

#include <cstring>
#include <cwchar>

namespace tav {

TDialogTemplate::TDialogTemplate(DWORD style, short cx, short cy, const wchar_t* font, WORD points) {
  DLGTEMPLATE t{};
  t.style = style;
  t.cx = cx;
  t.cy = cy;
  Append(&t, sizeof t);
  Word(0);  // menu
  Word(0);  // class
  Word(0);  // title, set at run time
  if (style & DS_SETFONT) {
    Word(points);
    Text(font);
  }
}

void TDialogTemplate::Item(TDialogItemClass windowClass, int id, DWORD style, short x, short y, short cx, short cy,
                           DWORD exStyle) {
  Align();
  DLGITEMTEMPLATE item{};
  item.style = style | WS_CHILD | WS_VISIBLE;
  item.dwExtendedStyle = exStyle;
  item.x = x;
  item.y = y;
  item.cx = cx;
  item.cy = cy;
  item.id = static_cast<WORD>(id);
  Append(&item, sizeof item);
  Word(0xFFFF);  // a predefined class by atom follows
  Word(windowClass);
  Word(0);  // text
  Word(0);  // creation data
  // The header counts the controls.
  WORD count = 0;
  unsigned char* at = bytes_.data() + offsetof(DLGTEMPLATE, cdit);
  std::memcpy(&count, at, sizeof count);
  ++count;
  std::memcpy(at, &count, sizeof count);
}

void TDialogTemplate::Append(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  bytes_.insert(bytes_.end(), p, p + size);
}

void TDialogTemplate::Text(const wchar_t* s) { Append(s, (std::wcslen(s) + 1) * sizeof(wchar_t)); }

void TDialogTemplate::Align() {
  while (bytes_.size() % 4) bytes_.push_back(0);
}

}  // namespace tav
