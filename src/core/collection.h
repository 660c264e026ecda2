#pragma once
// Collections: an owned, ordered list of items of one class, streamed as a Collection value.
#include <functional>
#include <memory>
#include <vector>

#include "core/classes.h"

namespace tav {

class TCollection;

class TCollectionItem : public TPersistent {
public:
  explicit TCollectionItem(TCollection* collection);
  ~TCollectionItem() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TCollection* Collection() const { return collection_; }
  int Index() const;
  void SetIndex(int index);
  int ID() const { return id_; }

private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
};

class TCollection : public TPersistent {
public:
  using ItemFactory = std::function<TCollectionItem*(TCollection*)>;
  // itemClass names the item class for streams; factory makes one item inside the collection.
  TCollection(const TClassInfo& itemClass, ItemFactory factory);
  ~TCollection() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  const TClassInfo& ItemClass() const { return *itemClass_; }
  int Count() const { return static_cast<int>(items_.size()); }
  TCollectionItem* Items(int index) const;
  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  void Delete(int index);
  void Clear();
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  void Assign(const TPersistent& source) override;

  // Fired after items are added, removed or moved (once at the end of an update).
  std::function<void(TCollection&)> OnChange;

private:
  friend class TCollectionItem;
  void Changed();
  void InsertItem(TCollectionItem* item, int index);
  void RemoveItem(TCollectionItem* item);

  const TClassInfo* itemClass_;
  ItemFactory factory_;
  std::vector<TCollectionItem*> items_;
  int nextId_ = 0;
  int updateCount_ = 0;
};

// Copies every published property of the same class from source to dest (used by Assign of items).
void CopyPublishedProperties(const TPersistent& source, TPersistent& dest);

}  // namespace tav
