#pragma once
// The page registries: which page classes the dialog managers show, one list per kind of window.
#include <deque>

#include "core/classes.h"

namespace tav {

class TCustomBaseInstallDlg;

// Registry entries: the page class, the dialog component that configures it (none in this program)
// and a reserved integer that nothing reads. An entry whose dialog component was destroyed is
// withdrawn: it is passed over instead of pointing at nothing.
struct TBIFEntry {
  const TClassInfo* FormClass = nullptr;
  TCustomBaseInstallDlg* InstallDlg = nullptr;
  int Reserved = 0;
  bool Withdrawn = false;
};
using TDCFEntry = TBIFEntry;
using TBCDFEntry = TBIFEntry;

// The process-wide registries, in registration order: wizard pages, progress windows, disk prompts.
// Entries stay where they are, so a returned entry stays valid until ResetRunState.
const std::deque<TBIFEntry>& BIFList();
const std::deque<TDCFEntry>& DCFList();
const std::deque<TBCDFEntry>& ChangeDiskList();
TBIFEntry& RegisterInstallPage(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog = nullptr,
                               int reserved = 0);
TDCFEntry& RegisterDuringCopyPage(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog = nullptr,
                                  int reserved = 0);
TBCDFEntry& RegisterChangeDiskPage(const TClassInfo& formClass, TCustomBaseInstallDlg* dialog = nullptr,
                                   int reserved = 0);
int InstallPageCount();
const TBIFEntry& InstallPage(int index);

// The registrations made so far are the program's own, made at start-up before any dialog component
// exists: ResetRunState keeps them and drops only what was registered later.
void KeepPageRegistrations();
// A dialog component that goes withdraws its entries from every registry.
void WithdrawPages(const TCustomBaseInstallDlg* dialog);

}  // namespace tav
