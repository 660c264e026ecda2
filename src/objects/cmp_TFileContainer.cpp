#include "objects/cmp_TFileContainer.h"

#include "core/properties.h"
#include "core/routines_Strings.h"

namespace tav {

const std::vector<std::string>& InstallFileStateNames() {
  static const std::vector<std::string> names{"ifsNone", "ifsCompress", "ifsInstall", "ifsCopying"};
  return names;
}

// ---- TFileRelated ----

const TClassInfo& TFileRelated::StaticClassInfo() {
  static const TClassInfo info = MakeClassInfo<TFileRelated, TInstallObject>("TFileRelated", {});
  return info;
}

TFileRelated::TFileRelated(TComponent* owner, int kind) : TInstallObject(owner, kind) {
  SetInstallable(true);
  if (!DefaultContainerApplied()) return;
  // Placed in the installer by a designer: the archive defaults to the container's, as a design-time
  // default that Loaded withdraws unless the stream confirms it.
  archiveFileType_ = StandardSpecifier(srContainerArchiveFile);
  if (archiveFileType_) archiveFileType_->FreeNotification(this);
  archiveFile_.clear();
  defaultArchiveFileType_ = true;
}

bool TFileRelated::NamesArchiveItself(const TCustomPathSpecifier* specifier) {
  return HasRole(specifier, srContainerArchiveFile) || HasRole(specifier, srMainArchiveFile);
}

void TFileRelated::Loaded() {
  if (defaultArchiveFileType_ && !archiveFileTypeAssigned_) SetArchiveFileType(nullptr);
  defaultArchiveFileType_ = false;
  TInstallObject::Loaded();
}

void TFileRelated::Notification(TComponent* component, TOperation operation) {
  TInstallObject::Notification(component, operation);
  if (operation == opRemove && component && component == archiveFileType_) archiveFileType_ = nullptr;
}

void TFileRelated::SetContainer(TInstallContainer* value) {
  if (value == Container()) {
    TInstallObject::SetContainer(value);  // only marks the reference as assigned
    return;
  }
  TInstallObject::SetContainer(value);
  if (Loading()) return;
  if (dynamic_cast<TFileRelated*>(value)) {
    SetArchiveFileType(StandardSpecifier(srContainerArchiveFile));
    SetArchiveFile("");
  } else if (HasRole(archiveFileType_, srContainerArchiveFile)) {
    SetArchiveFileType(nullptr);
  }
}

void TFileRelated::SetArchiveFile(const std::string& value) {
  if (!Loading() && NamesArchiveItself(archiveFileType_)) {
    archiveFile_.clear();
    return;
  }
  archiveFile_ = value;
}

void TFileRelated::SetArchiveFileType(TCustomPathSpecifier* value) {
  archiveFileTypeAssigned_ = true;
  if (!Loading() && value) {
    value->Validate(this);
    if (NamesArchiveItself(value)) archiveFile_.clear();
  }
  archiveFileType_ = value;
  if (value) value->FreeNotification(this);
}

std::string TFileRelated::FullArchiveFile() {
  const std::string path = archiveFileType_ ? archiveFileType_->GetPath(this) + archiveFile_ : archiveFile_;
  return ExcludeTrailingBackslash(path);
}

// ---- TFileContainer ----

const TClassInfo& TFileContainer::StaticClassInfo() {
  static const TClassInfo info = MakeClassInfo<TFileContainer, TFileRelated>("TFileContainer", {});
  return info;
}

TFileContainer::TFileContainer(TComponent* owner)
    : TFileRelated(owner, kindFileContainer), description_(std::make_unique<TStringList>()) {}

void TFileContainer::ReadArchiveInfo() {
  for (int i = 0; i < FileContainerCount(); ++i) FileContainerAt(i)->ReadArchiveInfo();
  SetArchiveInfoRead(true);
}

}  // namespace tav
