#pragma once
// The language page: a flag for every language the project carries a table for; a click switches
// every page and dialog component to that language at once.
#include <array>

#include "dialogs/pages.h"
#include "ui/gdi.h"
#include "ui/grids.h"

namespace tav {

class TSelectLanguageForm : public TWizardPage {
public:
  explicit TSelectLanguageForm(TComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void Loaded() override;
  void PrepareShow() override;
  // Passed over when the project has no translator.
  bool SkipPage() override;

  TStringGrid* LanguageGrid() const { return grid_; }
  // Puts the listed languages into the grid, the current one selected.
  void FillGrid();
  // Switches the program to the language of the selected cell.
  void LanguageListClick();

private:
  void LanguageGridDrawCell(int col, int row, HDC dc, const RECT& rect);

  TStringGrid* grid_ = nullptr;
  // One flag per language ordinal, the blank flag until the language is listed.
  std::array<TGdiBitmap, 17> flags_;
  bool changing_ = false;
};

// Tells every dialog component and every page form that the language is now language.
void BroadcastLanguageChange(TTvrkLanguage language);

}  // namespace tav
