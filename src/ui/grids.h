#pragma once
// A grid of text cells, each able to carry an object, drawn by the program when it asks to. Cells
// are all of one width and height; the grid scrolls by rows.
#include <functional>
#include <string>
#include <vector>

#include "ui/controls.h"

namespace tav {

class TStringGrid : public TWinControl {
public:
  explicit TStringGrid(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  int ColCount() const { return colCount_; }
  void SetColCount(int value);
  // A grid keeps at least one row.
  int RowCount() const { return rowCount_; }
  void SetRowCount(int value);
  int DefaultColWidth() const { return colWidth_; }
  void SetDefaultColWidth(int value);
  int DefaultRowHeight() const { return rowHeight_; }
  void SetDefaultRowHeight(int value);
  // Fixed rows and columns are not selectable and are drawn as buttons.
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int value);
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int value);

  const std::string& Cells(int col, int row) const;
  void SetCells(int col, int row, const std::string& text);
  TObject* Objects(int col, int row) const;
  void SetObjects(int col, int row, TObject* object);

  // The selected cell.
  int Col() const { return col_; }
  int Row() const { return row_; }
  // Selects a cell and brings it into view; OnClick is not fired.
  void SetSelection(int col, int row);
  int TopRow() const { return topRow_; }
  void SetTopRow(int row);
  // How many whole rows the window shows.
  int VisibleRowCount();
  // The cell's rectangle in the window's client area, in device pixels; empty when out of view.
  RECT CellRect(int col, int row);
  // The cell under a point of the client area (device pixels); false outside every cell.
  bool CellAt(int x, int y, int& col, int& row);

  // A click on a cell, or the selection moved by the keyboard.
  TNotifyEvent OnClick;
  std::function<void(TObject* sender, wchar_t& key)> OnKeyPress;
  // Draws a cell; without a handler the cell's text is drawn.
  std::function<void(TObject* sender, int col, int row, HDC dc, const RECT& rect)> OnDrawCell;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void WndProc(TMessage& message) override;
  bool PaintsItself() const override { return true; }
  void PaintWindow(HDC dc) override;

private:
  void Resize();
  void UpdateScrollBar();
  void Scrolled(int code);
  void MoveSelection(int col, int row);
  int Index(int col, int row) const { return row * colCount_ + col; }

  int colCount_ = 5, rowCount_ = 5, colWidth_ = 64, rowHeight_ = 24, fixedCols_ = 1, fixedRows_ = 1;
  int col_ = 1, row_ = 1, topRow_ = 0;
  std::vector<std::string> cells_;
  std::vector<TObject*> objects_;
};

}  // namespace tav
