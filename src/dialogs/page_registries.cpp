#include "dialogs/page_registries.h"

#include <array>

#include "core/exceptions_Tavenrik.h"
#include "core/format.h"
#include "sys/run_state.h"

namespace tav {

namespace {

using TPageList = std::deque<TBIFEntry>;

TRunSlot<TPageList>& InstallPages() {
  static auto& slot = TRunSlot<TPageList>::Make("install pages");
  return slot;
}
TRunSlot<TPageList>& DuringCopyPages() {
  static auto& slot = TRunSlot<TPageList>::Make("during-copy pages");
  return slot;
}
TRunSlot<TPageList>& ChangeDiskPages() {
  static auto& slot = TRunSlot<TPageList>::Make("change-disk pages");
  return slot;
}

std::array<TRunSlot<TPageList>*, 3> Registries() { return {&InstallPages(), &DuringCopyPages(), &ChangeDiskPages()}; }

TBIFEntry& Enter(TRunSlot<TPageList>& list, const TClassInfo& formClass, TCustomBaseInstallDlg* dialog,
                 int reserved) {
  return list.Value().emplace_back(TBIFEntry{&formClass, dialog, reserved});
}

}  // namespace

const std::deque<TBIFEntry>& BIFList() { return InstallPages().Get(); }
const std::deque<TDCFEntry>& DCFList() { return DuringCopyPages().Get(); }
const std::deque<TBCDFEntry>& ChangeDiskList() { return ChangeDiskPages().Get(); }

TBIFEntry& RegisterInstallPage(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog, int reserved) {
  return Enter(InstallPages(), formClass, dialog, reserved);
}
TDCFEntry& RegisterDuringCopyPage(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog, int reserved) {
  return Enter(DuringCopyPages(), formClass, dialog, reserved);
}
TBCDFEntry& RegisterChangeDiskPage(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog, int reserved) {
  return Enter(ChangeDiskPages(), formClass, dialog, reserved);
}

int InstallPageCount() { return static_cast<int>(BIFList().size()); }

const TBIFEntry& InstallPage(int index) {
  if (index < 0 || index >= InstallPageCount())
    throw Exception(Format(TranslateMessage("%d is an invalid index in the BIFList"), index));
  const TBIFEntry& entry = BIFList()[static_cast<size_t>(index)];
  if (!entry.FormClass) throw Exception(Format(TranslateMessage("The %d 'th entry in the BIFList is NIL"), index));
  return entry;
}

void KeepPageRegistrations() {
  for (TRunSlot<TPageList>* list : Registries()) list->KeepAsStart();
}

void WithdrawPages(const TCustomBaseInstallDlg* dialog) {
  for (TRunSlot<TPageList>* list : Registries()) {
    for (TBIFEntry& entry : list->Value()) {
      if (entry.InstallDlg != dialog) continue;
      entry.InstallDlg = nullptr;
      entry.Withdrawn = true;
    }
  }
}

}  // namespace tav
