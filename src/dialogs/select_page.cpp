#include "dialogs/select_page.h"

#include <cstdio>

#include "archive/cmp_TVersion.h"
#include "core/exceptions_Tavenrik.h"
#include "core/properties.h"
#include "core/routines_Strings.h"
#include "dialogs/routines_FileSystem.h"
#include "engine/cmp_TInstall.h"
#include "lang/languages.h"
#include "objects/cmp_TFileContainer.h"
#include "sys/files.h"
#include "ui/application.h"
#include "ui/common_controls.h"

namespace tav {

namespace {

TFileContainer* CheckedContainer(TComponent* container, const std::string& controlName) {
  if (!container)
    throw IEFileGroupSelectForm(std::string("Cannot show the install file groups dialog for blank container property"));
  auto* files = dynamic_cast<TFileContainer*>(container);
  if (!files) throw IEFileGroupSelectForm("Container is not a TFileContainer for %s", controlName);
  return files;
}

bool RefreshKey(WPARAM key) { return key == VK_PRIOR || key == VK_NEXT || (key >= VK_LEFT && key <= VK_DOWN); }

}  // namespace

std::string FormatSpace(std::int64_t bytes, const std::string& bytesWord) {
  char text[64];
  if (bytes < 1024) {
    std::snprintf(text, sizeof text, "%lld %s", static_cast<long long>(bytes < 0 ? 0 : bytes), bytesWord.c_str());
    return text;
  }
  static const char* const units[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024;
  int unit = 0;
  while (value >= 1024 && unit < 3) value /= 1024, ++unit;
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

std::int64_t DriveFreeSpace(char drive) {
  const wchar_t root[] = {static_cast<wchar_t>(drive), L':', L'\\', 0};
  ULARGE_INTEGER available{};
  const UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const BOOL ok = GetDiskFreeSpaceExW(root, &available, nullptr, nullptr);
  SetErrorMode(mode);
  return ok ? static_cast<std::int64_t>(available.QuadPart) : -1;
}

std::vector<TDriveSpace> DriveTable(TFileContainer* root, const std::function<std::int64_t(char)>& freeSpace) {
  std::vector<TDriveSpace> table;
  std::function<void(TFileContainer*)> walk = [&](TFileContainer* c) {
    const std::string dest = UpperCase(c->FullDestDir());
    const bool will = c->WillInstall();
    if (!dest.empty() && dest[0] != '\\') {
      auto it = std::find_if(table.begin(), table.end(), [&](const TDriveSpace& d) { return d.Drive == dest[0]; });
      if (it == table.end()) {
        table.push_back({dest[0], 0, freeSpace(dest[0])});
        it = table.end() - 1;
      }
      if (will) it->Required += c->OwnSize(false);
    }
    if (!will) return;
    for (int i = 0; i < c->FileContainerCount(); ++i) walk(c->FileContainerAt(i));
  };
  walk(root);
  return table;
}

// --- the tree ---

TGroupTreeView::TGroupTreeView(TComponent* owner, TFileGroupSelectForm* page) : TTreeView(owner), page_(page) {
  SetName("GroupTree");
}

void TGroupTreeView::Fill(TComponent* container) {
  TFileContainer* root = CheckedContainer(container, Name());
  BeginUpdate();
  Clear();
  std::function<void(TNode, TFileContainer*)> add = [&](TNode parent, TFileContainer* c) {
    TNode node = AddChild(parent, TranslateMessage(c->GroupName()), c);
    for (int i = 0; i < c->FileContainerCount(); ++i) add(node, c->FileContainerAt(i));
  };
  add(nullptr, root);
  EndUpdate();
  const std::vector<TNode> nodes = AllNodes();
  if (nodes.empty()) return;
  Expand(nodes.front(), true);
  ShowScrollBars();
  Select(nodes.front());
}

TFileContainer* TGroupTreeView::SelectedContainer() const {
  TNode node = Selected();
  return node ? ContainerOf(node) : nullptr;
}

void TGroupTreeView::ShowScrollBars() {
  ShowScrollBar(WindowHandle(), SB_HORZ, TRUE);
  const int bar = ScaleToLogical(GetSystemMetrics(SM_CYHSCROLL), Dpi());
  for (const char* name : {"pnlIncludeSpacer", "pnlSizeSpacer"}) {
    if (auto* spacer = dynamic_cast<TControl*>(page_->FindComponent(name))) {
      spacer->SetHeight(bar);
      spacer->SetVisible(true);
    }
  }
}

void TGroupTreeView::WndProc(TMessage& m) {
  const bool key = m.Msg == WM_KEYDOWN && RefreshKey(m.WParam);
  TTreeView::WndProc(m);
  if (key) {
    page_->RefreshColumns();
    if (SelectedContainer()) page_->ShowGroupInfo();
  }
  // The tree also scrolls by itself (Home, End, collapsing near the end, the wheel): a check box
  // left beside the wrong row would include the wrong group, so the columns follow every scroll.
  if (m.Msg == WM_PAINT && HandleAllocated()) {
    const auto first = reinterpret_cast<TNode>(Perform(TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
    if (first != firstVisible_) page_->RefreshColumns();
  }
}

void TGroupTreeView::ColumnsRefreshed() {
  firstVisible_ = reinterpret_cast<TNode>(Perform(TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
}

// --- the columns ---

void TFGSFList::Refresh() {
  TGroupTreeView* tree = page_->Tree();
  const int dpi = tree->Dpi();
  RECT client{};
  GetClientRect(tree->WindowHandle(), &client);
  std::size_t i = 0;
  for (TTreeView::TNode node : tree->AllNodes()) {
    if (!tree->IsVisible(node)) continue;
    RECT row{};
    if (!tree->RowRect(node, row)) continue;
    if (row.top < 0) continue;
    if (row.top > client.bottom) break;
    if (i == slots_.size()) slots_.push_back(MakeSlot());
    TControl* slot = slots_[i];
    const int width = column_->ClientWidth();
    Bind(slot, tree->ContainerOf(node), ScaleToLogical(row.top, dpi), ScaleToLogical(row.bottom - row.top, dpi),
         width);
    slot->SetVisible(true);
    ++i;
  }
  for (; i < slots_.size(); ++i) slots_[i]->SetVisible(false);
}

namespace {
// The column's divider belongs to the page's layout.
int DividerWidth(TFileGroupSelectForm* page, const char* name) {
  auto* divider = dynamic_cast<TControl*>(page->FindComponent(name));
  return divider ? divider->Width() : 3;
}
}  // namespace

std::string TIncludeCheckBox::AccessibleName() const {
  return Container ? TranslateMessage(Container->GroupName()) : std::string();
}

TControl* TIncludeList::MakeSlot() {
  auto* box = new TIncludeCheckBox(page_, page_);
  box->SetParent(column_);
  box->OnClick = [this, box](TObject*) { page_->IncludeClicked(box); };
  return box;
}

void TIncludeList::Bind(TControl* slot, TFileContainer* container, int top, int height, int width) {
  auto* box = static_cast<TIncludeCheckBox*>(slot);
  box->SetBounds(3, top, width - DividerWidth(page_, "pnIncludeRightDivider") - 3, height);
  box->Container = container;
  box->Updating = true;
  box->SetChecked(container->WillInstall());
  box->Updating = false;
  box->SetEnabled(container->AllowChoice());
}

TControl* TSizeList::MakeSlot() {
  auto* label = new TSizeLabel(page_);
  label->SetAutoSize(false);
  label->SetAlignment(taRightJustify);
  label->SetParent(column_);
  return label;
}

void TSizeList::Bind(TControl* slot, TFileContainer* container, int top, int height, int width) {
  auto* label = static_cast<TSizeLabel*>(slot);
  label->SetBounds(1, top, width - DividerWidth(page_, "pnlSizeRightDivider") - 1, height);
  label->FileContainer = container;
  label->SetCaption(FormatSpace(container->TotalSize(false), TranslateMessage("Bytes")));
}

// --- the page ---

const TClassInfo& TFileGroupSelectForm::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TFileGroupSelectForm, TWizardPage>("TFileGroupSelectForm");
  return info;
}

TFileGroupSelectForm::TFileGroupSelectForm(TComponent* owner) : TWizardPage(owner, dmBeforeInstall, 50) {
  InstallObject = RunningInstaller();
}

TFileGroupSelectForm::~TFileGroupSelectForm() {
  if (images_) comctl::ImageListDestroy(images_);
}

void TFileGroupSelectForm::Loaded() {
  TWizardPage::Loaded();
  auto& groups = LayoutChild<TPanel>(*this, "pnlGroups");
  tree_ = new TGroupTreeView(this, this);
  tree_->SetParent(&groups);
  // Between the check boxes on its left and the sizes on its right, in Tab and reading order.
  tree_->SetTabOrder(1);
  tree_->SetAlign(alClient);
  tree_->OnExpanded = [this](TObject*) {
    RefreshColumns();
    tree_->ShowScrollBars();
  };
  tree_->OnScrolled = [this](TObject*) { RefreshColumns(); };
  tree_->OnChange = [this](TObject*) {
    if (tree_->SelectedContainer()) ShowGroupInfo();
  };
  tree_->OnClick = tree_->OnChange;
  includes_ = std::make_unique<TIncludeList>(this, &LayoutChild<TPanel>(*this, "pnlInclude"));
  sizes_ = std::make_unique<TSizeList>(this, &LayoutChild<TPanel>(*this, "pnlSize"));

  driveSpace_ = &LayoutChild<TPanel>(*this, "pnlDriveSpace");
  drives_ = new TDriveSpaceListView(this);
  drives_->SetName("DriveList");
  drives_->SetParent(driveSpace_);
  drives_->SetAlign(alClient);
  drives_->AddColumn("", 50);
  drives_->AddColumn(TranslateMessage("Space Required:"), 120);
  drives_->AddColumn(TranslateMessage("Space Available:"), 120);

  directory_ = &LayoutChild<TEdit>(*this, "DirectoryLabel");
  directory_->OnChange = [this](TObject*) {
    if (updating_) return;
    if (TFileContainer* c = tree_->SelectedContainer()) {
      c->SetDestDirType(nullptr);
      c->SetDestDir(directory_->Text());
    }
  };
  browse_ = &LayoutChild<TBitBtn>(*this, "BrowseBtn");
  browse_->OnClick = [this](TObject*) { Browse(); };
}

bool TFileGroupSelectForm::SkipPage() {
  auto* install = dynamic_cast<TInstallContainer*>(InstallObject);
  return !install || (install->CurrentInstallType() != itAlways && install->CurrentInstallType() != itCustom);
}

void TFileGroupSelectForm::PrepareShow() {
  TWizardPage::PrepareShow();
  // Made for the first showing only: a page that is never shown loads no common controls.
  if (!images_) {
    images_ = comctl::ImageListCreate(16, 16, ILC_COLOR24 | ILC_MASK, 2, 0);
    for (const wchar_t* name : {L"TAVDRIVE", L"TAVSHORTAGE"}) {
      HBITMAP bmp = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), name, IMAGE_BITMAP, 0, 0, 0));
      if (bmp) {
        comctl::ImageListAddMasked(images_, bmp, RGB(0xF0, 0xF0, 0xF0));
        DeleteObject(bmp);
      }
    }
    drives_->SetImages(images_, images_);
  }
  tree_->Fill(InstallObject);
  RefreshColumns();
  FillDriveList(drives_, InstallObject);
  ShowGroupInfo();
  if (NextBtn() && NextBtn()->Visible() && Visible()) SetActiveControl(NextBtn());
}

void TFileGroupSelectForm::RefreshColumns() {
  includes_->Refresh();
  sizes_->Refresh();
  tree_->ColumnsRefreshed();
}

void TFileGroupSelectForm::IncludeClicked(TIncludeCheckBox* box) {
  if (box->Updating || !box->Container) return;
  box->Container->SetInclude(box->Checked());
  sizes_->Refresh();
  ShowGroupInfo();
  FillDriveList(drives_, InstallObject);
}

void TFileGroupSelectForm::ShowGroupInfo() {
  TFileContainer* c = tree_->SelectedContainer();
  if (!c) return;
  updating_ = true;
  directory_->SetText(c->FullDestDir());
  browse_->SetEnabled(c->AllowChangeDir());
  auto* label = dynamic_cast<TControl*>(FindComponent("GroupDescLabel"));
  auto* panel = dynamic_cast<TControl*>(FindComponent("pnlDescriptionMemo"));
  auto* memo = dynamic_cast<TMemo*>(FindComponent("DescriptionMemo"));
  const bool lines = c->Description().Count() > 0;
  for (TControl* control : {label, panel, static_cast<TControl*>(memo)}) {
    if (control) control->SetVisible(lines);
  }
  if (memo) {
    TStringList translated;
    TranslateLinesFrom(tvlEnglish, c->Description(), translated);
    memo->Lines().Assign(translated);
  }
  Application().ProcessMessages();
  tree_->Invalidate();
  updating_ = false;
}

void TFileGroupSelectForm::FillDriveList(TDriveSpaceListView* list, TComponent* container) {
  TFileContainer* root = CheckedContainer(container, list->Name());
  list->Clear();
  const std::string bytes = TranslateMessage("Bytes");
  const std::vector<TDriveSpace> table = DriveTable(root, FreeSpace);
  for (const TDriveSpace& d : table) {
    // A drive that cannot be read has no space to offer.
    const std::int64_t available = d.Available < 0 ? 0 : d.Available;
    list->AddItem(std::string(1, d.Drive), {FormatSpace(d.Required, bytes), FormatSpace(available, bytes)}, 0,
                  d.Required < d.Available ? -1 : 1);
  }
  const int rows = static_cast<int>(table.size());
  driveSpace_->SetHeight(rows > 2 ? 61 : rows * 18 + 25);
}

void TFileGroupSelectForm::Browse() {
  TFileContainer* c = tree_->SelectedContainer();
  if (!c) return;
  const std::string dest = Trim(c->FullDestDir());
  const bool existed = !dest.empty() && DirectoryExists(dest);
  if (!existed) CreateDirectories(dest);
  std::string folder = dest;
  bool chosen = false;
  if (OnBrowse) {
    chosen = OnBrowse(folder);
  } else {
    TOpenFolderDialog dialog(nullptr);
    dialog.SetDirectory(dest);
    chosen = dialog.Execute();
    folder = dialog.Directory();
  }
  if (chosen) {
    c->SetDestDirType(nullptr);
    c->SetDestDir(IncludeTrailingBackslash(folder));
  }
  if (!existed) sys::RemoveEmptyDir(dest);
  ShowGroupInfo();
  FillDriveList(drives_, InstallObject);
}

}  // namespace tav
