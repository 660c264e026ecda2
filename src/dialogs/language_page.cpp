#include "dialogs/language_page.h"

#include <algorithm>
#include <cmath>

#include "config/resources.h"
#include "core/properties.h"
#include "dialogs/dialog_components.h"
#include "dialogs/dlgcmp_TBaseContainer.h"
#include "lang/cmp_TTranslator.h"
#include "ui/application.h"

namespace tav {

// ---- the language of every page (here, away from the archive layer's TLanguage)

namespace {

// Texts go through English on their way: an entry the target lacks then shows in English rather than
// in the language the page was in before.
TTvrkLanguage TranslatePageTexts(TTranslator& t, TTvrkLanguage from, bool fixed, TTvrkLanguage into, TComponent* page) {
  const TTvrkLanguage target = fixed ? into : t.TranslateIntoLanguage();
  const TLanguage* english = t.FindLanguage(tvlEnglish);
  if (from != tvlEnglish && english && english->Strings().Count() > 0) {
    const TLanguage* source = from == tvlUser ? t.UserLanguage() : t.FindLanguage(from);
    if (source && source->Strings().Count() > 0) from = t.TranslateComponentAs(from, tvlEnglish, page);
  }
  return t.TranslateComponentAs(from, target, page);
}

}  // namespace

void TBaseTavenrikForm::ApplyLanguage() {
  if (TTranslator* t = Translator()) {
    if (UseLanguageFont) {
      if (UseFixedLanguage) {
        t->ApplyFontAs(FixedLanguage, this);
      } else {
        t->ApplyFont(this);
      }
    }
    if (TranslateTexts) TextLanguage = TranslatePageTexts(*t, TextLanguage, UseFixedLanguage, FixedLanguage, this);
    // The wizard window shows the caption of the page in front.
    if (auto* page = dynamic_cast<TBaseInstallForm*>(this)) {
      TBaseFormContainer* host = page->HostContainer();
      if (host && host->PageIndex() >= 0 && host->PageIndex() < host->PageCount() &&
          host->Page(host->PageIndex()) == page)
        host->SetCaption(Caption());
    }
  }
  Application().ProcessMessages();
}

void BroadcastLanguageChange(TTvrkLanguage language) {
  if (TInstallContainerList* containers = InstallContainers()) {
    for (int i = 0; i < containers->Count(); ++i) {
      TInstallContainer* c = containers->Items(i);
      c->LanguageChanged();
      // Copied: re-applying a language may not change the helpers, but nothing here relies on it.
      const std::vector<TInstallObject*> helpers = c->Helpers();
      for (TInstallObject* h : helpers) {
        if (auto* dlg = dynamic_cast<TCustomBaseInstallDlg*>(h)) dlg->LanguageChanged(language);
      }
    }
  }
  const std::vector<TBaseTavenrikForm*> forms = LiveTavenrikForms();
  for (TBaseTavenrikForm* f : forms) {
    // A form may go while another applies its language; only live ones are told.
    const auto& live = LiveTavenrikForms();
    if (std::find(live.begin(), live.end(), f) != live.end()) f->LanguageChanged(language);
  }
}

// ---- the language page

namespace {

constexpr int kLanguageOrdinals = 17;

TGdiBitmap FlagBitmap(const std::string& resource) {
  if (auto bmp = config::FindBitmapResource(resource)) return TGdiBitmap(*bmp);
  return TGdiBitmap();
}

// Rounding to the nearest integer, halves to even.
int Nearest(double value) { return static_cast<int>(std::nearbyint(value)); }

}  // namespace

TSelectLanguageForm::TSelectLanguageForm(TComponent* owner) : TWizardPage(owner, dmBeforeInstall, 0) {
  for (int i = 0; i < kLanguageOrdinals; ++i) flags_[i] = FlagBitmap("BM_LANG_NONE");
}

const TClassInfo& TSelectLanguageForm::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TSelectLanguageForm, TWizardPage>("TSelectLanguageForm");
  return info;
}

void TSelectLanguageForm::Loaded() {
  TWizardPage::Loaded();
  grid_ = &LayoutChild<TStringGrid>(*this, "LanguageGrid");
  grid_->OnClick = [this](TObject*) { LanguageListClick(); };
  grid_->OnKeyPress = [this](TObject*, wchar_t&) { LanguageListClick(); };
  grid_->OnDrawCell = [this](TObject*, int col, int row, HDC dc, const RECT& rect) {
    LanguageGridDrawCell(col, row, dc, rect);
  };
}

bool TSelectLanguageForm::SkipPage() { return Translator() == nullptr; }

void TSelectLanguageForm::PrepareShow() {
  TWizardPage::PrepareShow();
  FillGrid();
  if (NextBtn() && NextBtn()->Visible() && Visible()) {
    if (TForm* form = GetParentForm(NextBtn())) form->SetActiveControl(NextBtn());
  }
}

void TSelectLanguageForm::FillGrid() {
  TTranslator* t = Translator();
  if (!t || !grid_) return;
  const int columns = grid_->ColCount();
  int listed = 0;
  for (int i = 0; i < t->LanguageCount(); ++i) listed += t->Languages(i)->Strings().Count() > 1;
  grid_->SetRowCount(Nearest(static_cast<double>(listed) / columns + 0.1));
  for (int r = 0; r < grid_->RowCount(); ++r) {
    for (int c = 0; c < columns; ++c) {
      grid_->SetObjects(c, r, nullptr);
      grid_->SetCells(c, r, "");
    }
  }
  const TLanguage* current = t->CurrentLanguage();
  int col = columns, row = -1;
  for (int i = 0; i < t->LanguageCount(); ++i) {
    TLanguage* language = t->Languages(i);
    if (language->Strings().Count() <= 1) continue;
    flags_[language->LanguageIdent()] = FlagBitmap(language->BitmapName());
    if (col == columns) {
      ++row;
      col = 0;
    }
    grid_->SetCells(col, row, LangIdToString(language->LanguageIdent()));
    grid_->SetObjects(col, row, language);
    if (language == current) {
      changing_ = true;
      grid_->SetSelection(col, row);
      changing_ = false;
    }
    ++col;
  }
}

void TSelectLanguageForm::LanguageListClick() {
  if (changing_ || !grid_) return;
  auto* language = dynamic_cast<TLanguage*>(grid_->Objects(grid_->Col(), grid_->Row()));
  TTranslator* t = Translator();
  if (!language || !t) return;
  // The hourglass and a disabled grid while every page changes; both come back however it ends.
  struct TBusy {
    TSelectLanguageForm& page;
    explicit TBusy(TSelectLanguageForm& p) : page(p) {
      page.SetCursor(crHourGlass);
      page.grid_->SetEnabled(false);
    }
    ~TBusy() {
      page.grid_->SetEnabled(true);
      page.SetCursor(crDefault);
    }
  } busy(*this);
  t->SetTranslateIntoLanguage(language->LanguageIdent());
  BroadcastLanguageChange(language->LanguageIdent());
  if (grid_->HandleAllocated()) {
    ShowScrollBar(grid_->WindowHandle(), SB_VERT, FALSE);
    ShowScrollBar(grid_->WindowHandle(), SB_VERT, TRUE);
    grid_->Invalidate();
  }
  if (CancelBtn()) CancelBtn()->Repaint();
}

void TSelectLanguageForm::LanguageGridDrawCell(int col, int row, HDC dc, const RECT& rect) {
  try {
    FillRect(dc, &rect, GetSysColorBrush(COLOR_WINDOW));
    auto* language = dynamic_cast<TLanguage*>(grid_->Objects(col, row));
    if (!language) return;
    const TGdiBitmap& flag = flags_[language->LanguageIdent()];
    if (!flag) return;
    const int dpi = grid_->Dpi();
    const int width = ScaleToDevice(flag.Width(), dpi), height = ScaleToDevice(flag.Height(), dpi);
    const int left = rect.left + ScaleToDevice(2, dpi);
    const int top = rect.top + Nearest((rect.bottom - rect.top) / 2.0 - height / 2.0);
    flag.Draw(dc, RECT{left, top, left + width, top + height}, RECT{0, 0, flag.Width(), flag.Height()}, true);
  } catch (...) {
    // A flag that cannot be drawn leaves its cell blank.
  }
}

}  // namespace tav
