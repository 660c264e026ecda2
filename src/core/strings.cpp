#include "core/strings.h"

#include <algorithm>

#include "core/properties.h"
#include "core/routines_Strings.h"

namespace tav {

const TClassInfo& TStrings::StaticClassInfo() {
  static constexpr TPropInfo props[] = {
      Props<TStrings>::StringList<&TStrings::ToVector, &TStrings::SetStrings>("Strings"),
  };
  static constexpr TClassInfo info = MakeClassInfo<TStrings, TPersistent>("TStrings", props);
  return info;
}

int TStrings::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i) {
    if (SameText(Get(i), s)) return i;
  }
  return -1;
}

int TStrings::Add(const std::string& s) {
  const int index = Count();
  Insert(index, s);
  return index;
}

int TStrings::AddObject(const std::string& s, TObject* object) {
  const int index = Add(s);
  PutObject(index, object);
  return index;
}

void TStrings::InsertObject(int index, const std::string& s, TObject* object) {
  Insert(index, s);
  PutObject(index, object);
}

void TStrings::AddStrings(const TStrings& other) {
  BeginUpdate();
  try {
    for (int i = 0; i < other.Count(); ++i) AddObject(other.Get(i), other.GetObject(i));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Move(int from, int to) {
  if (from == to) return;
  BeginUpdate();
  try {
    const std::string s = Get(from);
    TObject* o = GetObject(from);
    Delete(from);
    InsertObject(to, s, o);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Exchange(int a, int b) {
  BeginUpdate();
  try {
    const std::string sa = Get(a);
    TObject* oa = GetObject(a);
    Put(a, Get(b));
    PutObject(a, GetObject(b));
    Put(b, sa);
    PutObject(b, oa);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::string TStrings::Text() const {
  std::string text;
  for (int i = 0; i < Count(); ++i) {
    text += Get(i);
    text += "\r\n";
  }
  return text;
}

void TStrings::SetText(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  SetStrings(lines);
}

std::string TStrings::Names(int index) const {
  const std::string& s = Get(index);
  const auto eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

int TStrings::IndexOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    const std::string& s = Get(i);
    const auto eq = s.find('=');
    if (eq != std::string::npos && SameText(std::string_view(s).substr(0, eq), name)) return i;
  }
  return -1;
}

std::string TStrings::Values(const std::string& name) const {
  const int i = IndexOfName(name);
  return i < 0 ? std::string() : Get(i).substr(name.size() + 1);
}

void TStrings::SetValues(const std::string& name, const std::string& value) {
  const int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
  } else if (i < 0) {
    Add(name + "=" + value);
  } else {
    Put(i, name + "=" + value);
  }
}

std::vector<std::string> TStrings::ToVector() const {
  std::vector<std::string> v;
  v.reserve(Count());
  for (int i = 0; i < Count(); ++i) v.push_back(Get(i));
  return v;
}

void TStrings::SetStrings(const std::vector<std::string>& items) {
  BeginUpdate();
  try {
    Clear();
    for (const std::string& s : items) Add(s);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::BeginUpdate() {
  if (updateCount_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) SetUpdateState(false);
}

void TStrings::Assign(const TPersistent& source) {
  if (auto* other = dynamic_cast<const TStrings*>(&source)) {
    if (other == this) return;
    BeginUpdate();
    try {
      Clear();
      AddStrings(*other);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  TPersistent::Assign(source);
}

const TClassInfo& TStringList::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TStringList, TStrings>("TStringList");
  return info;
}

void TStringList::CheckIndex(int index, bool allowEnd) const {
  if (index < 0 || index > Count() || (!allowEnd && index == Count()))
    throw EStringListError("List index out of bounds (%d)", index);
}

const std::string& TStringList::Get(int index) const {
  CheckIndex(index, false);
  return items_[index].text;
}

void TStringList::Put(int index, const std::string& s) {
  if (sorted_) throw EStringListError("Operation not allowed on sorted string list");
  CheckIndex(index, false);
  Changing();
  items_[index].text = s;
  Changed();
}

TObject* TStringList::GetObject(int index) const {
  CheckIndex(index, false);
  return items_[index].object;
}

void TStringList::PutObject(int index, TObject* object) {
  CheckIndex(index, false);
  Changing();
  items_[index].object = object;
  Changed();
}

void TStringList::Insert(int index, const std::string& s) {
  if (sorted_) {
    // Add on a sorted list goes through here with index == Count(); keep the order instead.
    if (index != Count()) throw EStringListError("Operation not allowed on sorted string list");
    AddSorted(s);
    return;
  }
  CheckIndex(index, true);
  InsertItem(index, s, nullptr);
}

int TStringList::Add(const std::string& s) { return sorted_ ? AddSorted(s) : TStrings::Add(s); }

int TStringList::AddSorted(const std::string& s) {
  int index;
  if (Find(s, index)) {
    if (duplicates_ == dupIgnore) return index;
    if (duplicates_ == dupError) throw EStringListError("String list does not allow duplicates");
  }
  InsertItem(index, s, nullptr);
  return index;
}

void TStringList::InsertItem(int index, const std::string& s, TObject* object) {
  Changing();
  items_.insert(items_.begin() + index, Item{s, object});
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index, false);
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

int TStringList::Compare(const std::string& a, const std::string& b) const {
  return caseSensitive_ ? a.compare(b) : CompareText(a, b);
}

int TStringList::IndexOf(const std::string& s) const {
  if (!sorted_) {
    for (int i = 0; i < Count(); ++i) {
      if (Compare(items_[i].text, s) == 0) return i;
    }
    return -1;
  }
  int index;
  return Find(s, index) ? index : -1;
}

bool TStringList::Find(const std::string& s, int& index) const {
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    const int c = Compare(items_[mid].text, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

void TStringList::Sort() {
  Changing();
  std::stable_sort(items_.begin(), items_.end(),
                   [this](const Item& a, const Item& b) { return Compare(a.text, b.text) < 0; });
  Changed();
}

void TStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool c) {
  if (c == caseSensitive_) return;
  caseSensitive_ = c;
  if (sorted_) Sort();
}

void TStringList::SetUpdateState(bool updating) {
  if (updating) {
    if (OnChanging) OnChanging(*this);
  } else {
    if (OnChange) OnChange(*this);
  }
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(*this);
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(*this);
}

}  // namespace tav
