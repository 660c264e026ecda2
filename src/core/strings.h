#pragma once
// String lists. TStrings is the interface the components publish (Lines, Items, FilesToProcess);
// TStringList keeps the strings and tells its owner about every change.
#include <functional>
#include <string>
#include <vector>

#include "core/classes.h"

namespace tav {

class TStrings : public TPersistent {
public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  virtual int Count() const = 0;
  virtual const std::string& Get(int index) const = 0;
  virtual void Put(int index, const std::string& s) = 0;
  virtual TObject* GetObject(int index) const = 0;
  virtual void PutObject(int index, TObject* object) = 0;
  virtual void Insert(int index, const std::string& s) = 0;
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  virtual int IndexOf(const std::string& s) const;

  const std::string& operator[](int index) const { return Get(index); }
  virtual int Add(const std::string& s);
  int AddObject(const std::string& s, TObject* object);
  void InsertObject(int index, const std::string& s, TObject* object);
  void AddStrings(const TStrings& other);
  void Move(int from, int to);
  void Exchange(int a, int b);
  // All items as one text, each followed by CR LF; setting splits at CR LF, LF or CR.
  std::string Text() const;
  void SetText(const std::string& text);
  // "Name=Value" lines.
  std::string Names(int index) const;
  std::string Values(const std::string& name) const;
  void SetValues(const std::string& name, const std::string& value);
  int IndexOfName(const std::string& name) const;
  std::vector<std::string> ToVector() const;
  void SetStrings(const std::vector<std::string>& items);

  // Updates bracketed by BeginUpdate/EndUpdate report one change at the end.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  void Assign(const TPersistent& source) override;

protected:
  virtual void SetUpdateState(bool updating) {}

private:
  int updateCount_ = 0;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  int Count() const override { return static_cast<int>(items_.size()); }
  const std::string& Get(int index) const override;
  void Put(int index, const std::string& s) override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* object) override;
  void Insert(int index, const std::string& s) override;
  void Delete(int index) override;
  void Clear() override;
  int IndexOf(const std::string& s) const override;
  // On a sorted list the index is where the string went (or already was).
  int Add(const std::string& s) override;

  // Sorted lists keep their order on Add and refuse Insert at a position.
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates d) { duplicates_ = d; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool c);
  void Sort();
  // Position where s is or would be in a sorted list; true when found.
  bool Find(const std::string& s, int& index) const;
  int AddSorted(const std::string& s);

  // Fired before and after every change (once for an update bracketed by BeginUpdate/EndUpdate).
  std::function<void(TStringList&)> OnChanging;
  std::function<void(TStringList&)> OnChange;

protected:
  void SetUpdateState(bool updating) override;
  void Changing();
  void Changed();

private:
  struct Item {
    std::string text;
    TObject* object = nullptr;
  };
  int Compare(const std::string& a, const std::string& b) const;
  void CheckIndex(int index, bool allowEnd) const;
  void InsertItem(int index, const std::string& s, TObject* object);

  std::vector<Item> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = dupIgnore;
};

}  // namespace tav
