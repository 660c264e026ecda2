#pragma once
// The component selection page: the tree of file groups with a check-box column and a size column
// lined up beside its rows, the selected group's description and destination, and the drives the
// chosen groups need with the space each has.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/pages.h"
#include "ui/comctrls.h"

namespace tav {

class TFileContainer;
class TFileGroupSelectForm;

// Sizes as people read them: bytes below 1 KB, else KB, MB or GB with one decimal.
std::string FormatSpace(std::int64_t bytes, const std::string& bytesWord);

struct TDriveSpace {
  char Drive = 0;
  std::int64_t Required = 0;
  std::int64_t Available = -1;  // -1: the drive cannot be read
};
// The drives the containers below root need, in order of first appearance; freeSpace(drive) is asked
// once per drive. Only containers that will be installed add their own files and are descended into.
std::vector<TDriveSpace> DriveTable(TFileContainer* root, const std::function<std::int64_t(char)>& freeSpace);
// The free space of a drive through the system, -1 when it cannot be read.
std::int64_t DriveFreeSpace(char drive);

class TGroupTreeView : public TTreeView {
public:
  TGroupTreeView(TComponent* owner, TFileGroupSelectForm* page);
  void Fill(TComponent* container);
  TFileContainer* SelectedContainer() const;
  TFileContainer* ContainerOf(TNode node) const { return static_cast<TFileContainer*>(Data(node)); }
  void ShowScrollBars();
  // The row the columns were last placed for.
  void ColumnsRefreshed();

protected:
  void WndProc(TMessage& message) override;

private:
  TFileGroupSelectForm* page_;
  TNode firstVisible_ = nullptr;
};

class TDriveSpaceListView : public TListView {
public:
  using TListView::TListView;
};

class TIncludeCheckBox : public TCheckBox {
public:
  TIncludeCheckBox(TComponent* owner, TFileGroupSelectForm* page) : TCheckBox(owner), Page(page) {}
  // Read as the group it includes: the box itself shows no text.
  std::string AccessibleName() const override;
  TFileGroupSelectForm* Page;
  TFileContainer* Container = nullptr;
  bool Updating = false;
};

class TSizeLabel : public TLabel {
public:
  using TLabel::TLabel;
  TFileContainer* FileContainer = nullptr;
};

// One control per visible tree row in a column panel, made on demand and reused.
class TFGSFList {
public:
  TFGSFList(TFileGroupSelectForm* page, TPanel* column) : page_(page), column_(column) {}
  virtual ~TFGSFList() = default;
  void Refresh();
  int Count() const { return static_cast<int>(slots_.size()); }
  TControl* Slot(int i) const { return slots_[i]; }

protected:
  virtual TControl* MakeSlot() = 0;
  // Binds slot to the row's container and places it.
  virtual void Bind(TControl* slot, TFileContainer* container, int top, int height, int width) = 0;
  TFileGroupSelectForm* page_;
  TPanel* column_;
  std::vector<TControl*> slots_;
};

class TIncludeList : public TFGSFList {
public:
  using TFGSFList::TFGSFList;

protected:
  TControl* MakeSlot() override;
  void Bind(TControl* slot, TFileContainer* container, int top, int height, int width) override;
};

class TSizeList : public TFGSFList {
public:
  using TFGSFList::TFGSFList;

protected:
  TControl* MakeSlot() override;
  void Bind(TControl* slot, TFileContainer* container, int top, int height, int width) override;
};

class TFileGroupSelectForm : public TWizardPage {
public:
  explicit TFileGroupSelectForm(TComponent* owner);
  ~TFileGroupSelectForm() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Loaded() override;
  void PrepareShow() override;
  bool SkipPage() override;

  void ShowGroupInfo();
  void FillDriveList(TDriveSpaceListView* list, TComponent* container);
  // Both columns anew from the tree's visible rows.
  void RefreshColumns();
  void IncludeClicked(TIncludeCheckBox* box);
  void Browse();

  TGroupTreeView* Tree() const { return tree_; }
  TDriveSpaceListView* Drives() const { return drives_; }
  TIncludeList* Includes() const { return includes_.get(); }
  TSizeList* Sizes() const { return sizes_.get(); }
  TEdit* DirectoryEdit() const { return directory_; }
  // The browser's answer; by default the folder browser. Tests answer it themselves.
  std::function<bool(std::string& folder)> OnBrowse;
  // Free space per drive; the system's by default.
  std::function<std::int64_t(char)> FreeSpace = DriveFreeSpace;

private:
  TGroupTreeView* tree_ = nullptr;
  TDriveSpaceListView* drives_ = nullptr;
  std::unique_ptr<TIncludeList> includes_;
  std::unique_ptr<TSizeList> sizes_;
  TEdit* directory_ = nullptr;
  TBitBtn* browse_ = nullptr;
  TPanel* driveSpace_ = nullptr;
  HIMAGELIST images_ = nullptr;
  bool updating_ = false;
};

}  // namespace tav
