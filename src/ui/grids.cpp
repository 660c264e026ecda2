#include "ui/grids.h"

#include <algorithm>

#include "core/properties.h"
#include "sys/unicode.h"

namespace tav {

const TClassInfo& TStringGrid::StaticClassInfo() {
  using P = Props<TStringGrid>;
  static constexpr TPropInfo props[] = {
      P::Integer<&TStringGrid::ColCount, &TStringGrid::SetColCount>("ColCount", 5),
      P::Integer<&TStringGrid::DefaultColWidth, &TStringGrid::SetDefaultColWidth>("DefaultColWidth", 64),
      P::Integer<&TStringGrid::DefaultRowHeight, &TStringGrid::SetDefaultRowHeight>("DefaultRowHeight", 24),
      P::Integer<&TStringGrid::FixedCols, &TStringGrid::SetFixedCols>("FixedCols", 1),
      P::Integer<&TStringGrid::FixedRows, &TStringGrid::SetFixedRows>("FixedRows", 1),
      P::Integer<&TStringGrid::RowCount, &TStringGrid::SetRowCount>("RowCount", 5),
  };
  static constexpr TClassInfo info = MakeClassInfo<TStringGrid, TWinControl>("TStringGrid", props);
  return info;
}

TStringGrid::TStringGrid(TComponent* owner) : TWinControl(owner) {
  StoreBounds(0, 0, 320, 120);
  SetTabStop(true);
  SetColor(clWindow);
  Resize();
}

// The selection and the scroll position stay inside the grid.
void TStringGrid::Resize() {
  col_ = std::clamp(col_, std::min(fixedCols_, colCount_ - 1), colCount_ - 1);
  row_ = std::clamp(row_, std::min(fixedRows_, rowCount_ - 1), rowCount_ - 1);
  topRow_ = std::clamp(topRow_, 0, std::max(0, rowCount_ - fixedRows_ - 1));
  UpdateScrollBar();
  Invalidate();
}

void TStringGrid::SetColCount(int value) {
  const int old = colCount_;
  std::vector<std::string> cells = std::move(cells_);
  std::vector<TObject*> objects = std::move(objects_);
  colCount_ = std::max(1, value);
  cells_.assign(static_cast<std::size_t>(colCount_) * rowCount_, std::string());
  objects_.assign(cells_.size(), nullptr);
  for (int r = 0; r < rowCount_; ++r) {
    for (int c = 0; c < std::min(old, colCount_); ++c) {
      const std::size_t from = static_cast<std::size_t>(r) * old + c;
      if (from < cells.size()) {
        cells_[Index(c, r)] = std::move(cells[from]);
        objects_[Index(c, r)] = objects[from];
      }
    }
  }
  Resize();
}

void TStringGrid::SetRowCount(int value) {
  rowCount_ = std::max(1, value);
  cells_.resize(static_cast<std::size_t>(colCount_) * rowCount_);
  objects_.resize(cells_.size(), nullptr);
  Resize();
}

void TStringGrid::SetDefaultColWidth(int value) {
  colWidth_ = std::max(1, value);
  UpdateScrollBar();
  Invalidate();
}

void TStringGrid::SetDefaultRowHeight(int value) {
  rowHeight_ = std::max(1, value);
  UpdateScrollBar();
  Invalidate();
}

void TStringGrid::SetFixedCols(int value) {
  fixedCols_ = std::clamp(value, 0, colCount_ - 1);
  Resize();
}

void TStringGrid::SetFixedRows(int value) {
  fixedRows_ = std::clamp(value, 0, rowCount_ - 1);
  Resize();
}

const std::string& TStringGrid::Cells(int col, int row) const {
  static const std::string none;
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return none;
  return cells_[Index(col, row)];
}

void TStringGrid::SetCells(int col, int row, const std::string& text) {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return;
  cells_[Index(col, row)] = text;
  Invalidate();
}

TObject* TStringGrid::Objects(int col, int row) const {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return nullptr;
  return objects_[Index(col, row)];
}

void TStringGrid::SetObjects(int col, int row, TObject* object) {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return;
  objects_[Index(col, row)] = object;
  Invalidate();
}

int TStringGrid::VisibleRowCount() {
  const int height = HandleAllocated() ? [&] {
    RECT r{};
    GetClientRect(WindowHandle(), &r);
    return ScaleToLogical(r.bottom, Dpi());
  }() : ClientHeight();
  return std::max(1, height / (rowHeight_ + 1) - fixedRows_);
}

void TStringGrid::SetTopRow(int row) {
  const int last = std::max(0, rowCount_ - fixedRows_ - VisibleRowCount());
  row = std::clamp(row, 0, last);
  if (row == topRow_) return;
  topRow_ = row;
  UpdateScrollBar();
  Invalidate();
}

void TStringGrid::SetSelection(int col, int row) {
  col = std::clamp(col, std::min(fixedCols_, colCount_ - 1), colCount_ - 1);
  row = std::clamp(row, std::min(fixedRows_, rowCount_ - 1), rowCount_ - 1);
  col_ = col;
  row_ = row;
  // Into view.
  const int scrollRow = row_ - fixedRows_;
  if (scrollRow >= 0) {
    if (scrollRow < topRow_) SetTopRow(scrollRow);
    else if (scrollRow >= topRow_ + VisibleRowCount()) SetTopRow(scrollRow - VisibleRowCount() + 1);
  }
  Invalidate();
}

RECT TStringGrid::CellRect(int col, int row) {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return RECT{};
  int shownRow = row;
  if (row >= fixedRows_) {
    shownRow = row - topRow_;
    if (shownRow < fixedRows_) return RECT{};
  }
  const int dpi = Dpi();
  const int left = col * (colWidth_ + 1), top = shownRow * (rowHeight_ + 1);
  RECT r{ScaleToDevice(left, dpi), ScaleToDevice(top, dpi), ScaleToDevice(left + colWidth_, dpi),
         ScaleToDevice(top + rowHeight_, dpi)};
  if (HandleAllocated()) {
    RECT client{};
    GetClientRect(WindowHandle(), &client);
    if (r.top >= client.bottom || r.left >= client.right) return RECT{};
  }
  return r;
}

bool TStringGrid::CellAt(int x, int y, int& col, int& row) {
  const int dpi = Dpi();
  const int lx = ScaleToLogical(x, dpi), ly = ScaleToLogical(y, dpi);
  if (lx < 0 || ly < 0) return false;
  col = lx / (colWidth_ + 1);
  int shown = ly / (rowHeight_ + 1);
  row = shown < fixedRows_ ? shown : shown + topRow_;
  return col < colCount_ && row < rowCount_;
}

void TStringGrid::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style |= WS_VSCROLL | WS_TABSTOP;
  params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TStringGrid::CreateWnd() { UpdateScrollBar(); }

void TStringGrid::UpdateScrollBar() {
  if (!HandleAllocated()) return;
  SCROLLINFO si{sizeof si};
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = std::max(0, rowCount_ - fixedRows_ - 1);
  si.nPage = static_cast<UINT>(VisibleRowCount());
  si.nPos = topRow_;
  SetScrollInfo(WindowHandle(), SB_VERT, &si, TRUE);
}

void TStringGrid::Scrolled(int code) {
  int row = topRow_;
  switch (code) {
    case SB_LINEUP: --row; break;
    case SB_LINEDOWN: ++row; break;
    case SB_PAGEUP: row -= VisibleRowCount(); break;
    case SB_PAGEDOWN: row += VisibleRowCount(); break;
    case SB_TOP: row = 0; break;
    case SB_BOTTOM: row = rowCount_; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO si{sizeof si};
      si.fMask = SIF_TRACKPOS;
      GetScrollInfo(WindowHandle(), SB_VERT, &si);
      row = si.nTrackPos;
      break;
    }
    default: return;
  }
  SetTopRow(row);
}

void TStringGrid::MoveSelection(int col, int row) {
  if (col == col_ && row == row_) return;
  SetSelection(col, row);
  if (OnClick) OnClick(this);
}

void TStringGrid::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    case WM_LBUTTONDOWN: {
      if (GetFocus() != WindowHandle()) SetFocus();
      int col = 0, row = 0;
      if (CellAt(static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam)), col, row) && col >= fixedCols_ &&
          row >= fixedRows_) {
        SetSelection(col, row);
        if (OnClick) OnClick(this);
      }
      m.Result = 0;
      return;
    }
    case WM_KEYDOWN:
      switch (m.WParam) {
        case VK_LEFT: MoveSelection(col_ - 1, row_); return;
        case VK_RIGHT: MoveSelection(col_ + 1, row_); return;
        case VK_UP: MoveSelection(col_, row_ - 1); return;
        case VK_DOWN: MoveSelection(col_, row_ + 1); return;
        case VK_PRIOR: MoveSelection(col_, row_ - VisibleRowCount()); return;
        case VK_NEXT: MoveSelection(col_, row_ + VisibleRowCount()); return;
        default: break;
      }
      break;
    case WM_CHAR:
      if (OnKeyPress) {
        wchar_t key = static_cast<wchar_t>(m.WParam);
        OnKeyPress(this, key);
        m.Result = 0;
        return;
      }
      break;
    case WM_VSCROLL:
      Scrolled(LOWORD(m.WParam));
      m.Result = 0;
      return;
    case WM_MOUSEWHEEL:
      SetTopRow(topRow_ - static_cast<short>(HIWORD(m.WParam)) / WHEEL_DELTA);
      m.Result = 0;
      return;
    case WM_SIZE:
      TWinControl::WndProc(m);
      UpdateScrollBar();
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      break;
    default:
      break;
  }
  TWinControl::WndProc(m);
}

void TStringGrid::PaintWindow(HDC dc) {
  RECT client{};
  GetClientRect(WindowHandle(), &client);
  const int line = std::max(1, ScaleToDevice(1, Dpi()));
  const TGdiBrush lines(CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW)));
  const TSelectedObject font(dc, FontHandle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Font().Color()));
  for (int row = 0; row < rowCount_; ++row) {
    if (row >= fixedRows_ && row < fixedRows_ + topRow_) continue;
    for (int col = 0; col < colCount_; ++col) {
      const RECT r = CellRect(col, row);
      if (r.right <= r.left) continue;
      const bool fixed = col < fixedCols_ || row < fixedRows_;
      FillRect(dc, &r, fixed ? GetSysColorBrush(COLOR_BTNFACE) : BrushHandle());
      if (!fixed && OnDrawCell) {
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
        OnDrawCell(this, col, row, dc, r);
        RestoreDC(dc, saved);
      } else {
        RECT text = r;
        InflateRect(&text, -2, -2);
        const std::wstring w = sys::Wide(cells_[Index(col, row)]);
        DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
      }
      // The lines right of and below the cell.
      const RECT right{r.right, r.top, r.right + line, r.bottom + line};
      const RECT below{r.left, r.bottom, r.right + line, r.bottom + line};
      FillRect(dc, &right, lines.Get());
      FillRect(dc, &below, lines.Get());
      if (!fixed && col == col_ && row == row_) {
        // The selected cell: a frame in the highlight colour, and the focus rectangle inside it.
        RECT frame = r;
        const TGdiBrush highlight(CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT)));
        for (int i = 0; i < 2 * line; ++i) {
          FrameRect(dc, &frame, highlight.Get());
          InflateRect(&frame, -1, -1);
        }
        if (GetFocus() == WindowHandle()) DrawFocusRect(dc, &frame);
      }
    }
  }
}

}  // namespace tav
