#include "core/collection.h"

#include <algorithm>

#include "core/properties.h"

namespace tav {

TCollectionItem::TCollectionItem(TCollection* collection) {
  if (collection) collection->InsertItem(this, collection->Count());
}

TCollectionItem::~TCollectionItem() {
  if (collection_) collection_->RemoveItem(this);
}

const TClassInfo& TCollectionItem::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TCollectionItem, TPersistent>("TCollectionItem");
  return info;
}

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  const auto& items = collection_->items_;
  return static_cast<int>(std::find(items.begin(), items.end(), this) - items.begin());
}

void TCollectionItem::SetIndex(int index) {
  const int current = Index();
  if (current < 0 || index == current) return;
  auto& items = collection_->items_;
  index = std::clamp(index, 0, static_cast<int>(items.size()) - 1);
  items.erase(items.begin() + current);
  items.insert(items.begin() + index, this);
  collection_->Changed();
}

TCollection::TCollection(const TClassInfo& itemClass, ItemFactory factory)
    : itemClass_(&itemClass), factory_(std::move(factory)) {}

TCollection::~TCollection() {
  updateCount_ = 1;  // no change events while going away
  Clear();
}

const TClassInfo& TCollection::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TCollection, TPersistent>("TCollection");
  return info;
}

TCollectionItem* TCollection::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (%d)", index);
  return items_[index];
}

TCollectionItem* TCollection::Add() { return factory_(this); }

TCollectionItem* TCollection::Insert(int index) {
  TCollectionItem* item = Add();
  item->SetIndex(index);
  return item;
}

void TCollection::Delete(int index) { delete Items(index); }

void TCollection::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  while (!items_.empty()) delete items_.back();
  EndUpdate();
}

void TCollection::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

void TCollection::InsertItem(TCollectionItem* item, int index) {
  item->collection_ = this;
  item->id_ = nextId_++;
  items_.insert(items_.begin() + index, item);
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* item) {
  items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
  item->collection_ = nullptr;
  Changed();
}

void TCollection::Changed() {
  if (updateCount_ == 0 && OnChange) OnChange(*this);
}

void TCollection::Assign(const TPersistent& source) {
  auto* other = dynamic_cast<const TCollection*>(&source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  if (other == this) return;
  BeginUpdate();
  try {
    Clear();
    for (const TCollectionItem* item : other->items_) Add()->Assign(*item);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void CopyPublishedProperties(const TPersistent& source, TPersistent& dest) {
  if (&source.ClassInfo() != &dest.ClassInfo())
    throw EConvertError("Cannot assign a %s to a %s", source.ClassName(), dest.ClassName());
  for (const TPropInfo* p : source.ClassInfo().AllProperties()) {
    switch (p->Kind) {
      case pkInteger:
      case pkBoolean:
      case pkEnum:
      case pkSet:
        p->SetOrd(dest, p->GetOrd(source));
        break;
      case pkFloat:
        p->SetFloat(dest, p->GetFloat(source));
        break;
      case pkString:
      case pkBinary:
        p->SetText(dest, p->GetText(source));
        break;
      case pkComponent:
        p->SetRef(dest, p->GetRef(source));
        break;
      case pkStringList:
        p->SetList(dest, p->GetList(source));
        break;
      case pkPersistent:
      case pkCollection:
        p->GetObject(dest)->Assign(*p->GetObject(source));
        break;
      case pkEvent:
        break;  // handlers belong to the code that set them
    }
  }
}

}  // namespace tav
