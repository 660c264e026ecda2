#pragma once
// Common controls: progress bar, tab control, rich edit box, tree view, report list view.
#include <functional>
#include <string>
#include <vector>

#include "ui/stdctrls.h"

namespace tav {

class TProgressBar : public TWinControl {
public:
  explicit TProgressBar(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  int Min() const { return min_; }
  void SetMin(int v);
  int Max() const { return max_; }
  void SetMax(int v);
  // Kept within Min..Max.
  int Position() const { return position_; }
  void SetPosition(int v);
  bool Smooth() const { return smooth_; }
  void SetSmooth(bool v) { smooth_ = v; }
  void Loaded() override;
  // Named by its label; the value is the share done, "40%".
  int AccessibleRole() const override;
  std::string AccessibleName() const override { return LabelText(); }
  std::string AccessibleValue() const override;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;

private:
  void ApplyRange();

  int min_ = 0, max_ = 100, position_ = 0;
  bool smooth_ = false;
};

// Tabs along the top; the controls inside sit in the area below them.
class TTabControl : public TWinControl {
public:
  explicit TTabControl(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // The tabs follow every change of the list.
  TStringList& Tabs() { return tabs_; }
  const TStringList& Tabs() const { return tabs_; }
  // -1: none. Changes by code do not fire OnChange; the user's do.
  int TabIndex() const { return tabIndex_; }
  void SetTabIndex(int index);
  TLayoutRect ClientRect() const override;

  TNotifyEvent OnChange;
  void Loaded() override;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& message) override;

private:
  void FillTabs();

  TStringList tabs_;
  int tabIndex_ = -1;
};

// A rich edit box showing text (rich text when it starts as such), typically read-only.
class TRichEdit : public TCustomMemo {
public:
  explicit TRichEdit(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void ColorChanged() override;
};

// A tree of text rows, each carrying a pointer of its owner's. Nodes are the system's item handles.
class TTreeView : public TWinControl {
public:
  using TNode = HTREEITEM;
  explicit TTreeView(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Clear();
  // A last child of parent (nullptr: a root); the window is made if need be.
  TNode AddChild(TNode parent, const std::string& text, void* data);
  void* Data(TNode node) const;
  std::string Text(TNode node) const;
  TNode Parent(TNode node) const;
  void Expand(TNode node, bool expand);
  bool Expanded(TNode node) const;
  // Every node, depth first in display order.
  std::vector<TNode> AllNodes() const;
  // Every ancestor expanded.
  bool IsVisible(TNode node) const;
  // The node's row in client pixels; false when it has none (a collapsed branch).
  bool RowRect(TNode node, RECT& rect) const;
  TNode Selected() const;
  void Select(TNode node);
  // Redraws suspended between the two.
  void BeginUpdate();
  void EndUpdate();

  // The rows that are shown (every ancestor expanded) are its elements.
  int AccessibleRole() const override;
  std::string AccessibleName() const override { return LabelText(); }
  std::string AccessibleValue() const override;
  int AccessibleItemCount() const override;
  bool AccessibleItem(int index, TAccessibleItem& item) const override;

  TNotifyEvent OnChange;    // the selection moved
  TNotifyEvent OnExpanded;  // a node was expanded or collapsed
  TNotifyEvent OnScrolled;  // scrolled vertically
  TNotifyEvent OnClick;

protected:
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& message) override;
};

// A report view: rows of a caption and sub-items, with small and state pictures from image lists.
class TListView : public TWinControl {
public:
  explicit TListView(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void AddColumn(const std::string& caption, int width);
  int ColumnCount() const;
  std::string ColumnCaption(int column) const;
  void SetColumnCaption(int column, const std::string& caption);
  void Clear();
  // stateImage -1: none.
  void AddItem(const std::string& caption, const std::vector<std::string>& subItems, int image, int stateImage);
  int ItemCount() const;
  std::string ItemText(int item, int column) const;
  int ItemStateImage(int item) const;
  // Not owned; kept for the control's life.
  void SetImages(HIMAGELIST smallImages, HIMAGELIST stateImages);

  // The column headers, then the rows (each read with its sub-items), are its elements.
  int AccessibleRole() const override;
  std::string AccessibleName() const override { return LabelText(); }
  int AccessibleItemCount() const override;
  bool AccessibleItem(int index, TAccessibleItem& item) const override;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;

private:
  struct TColumn {
    std::string Caption;
    int Width;
  };
  void InsertColumn(int column);
  void ApplyImages();
  std::vector<TColumn> columns_;
  HIMAGELIST smallImages_ = nullptr;
  HIMAGELIST stateImages_ = nullptr;
};

}  // namespace tav
