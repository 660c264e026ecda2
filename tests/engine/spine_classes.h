#pragma once
// A small project for run-sequence tests: a form with an installer, a kind-9000 recorder of every
// broadcast (a test may also watch each one as it comes), and install objects whose Install can be
// made to fail.
#include <functional>
#include <string>
#include <vector>

#include "core/properties.h"
#include "engine/cmp_TInstall.h"
#include "paths/cmp_TPathSpecifier.h"
#include "project_form.h"
#include "ui/application.h"

namespace tav::test {

using TSpineForm = TProjectForm<"TSpineForm">;

// Records the requests to end the program instead of ending the test program.
class TTestInstall : public TInstall {
public:
  using TInstall::TInstall;
  static const TClassInfo& StaticClassInfo() {
    static constexpr TClassInfo info = MakeClassInfo<TTestInstall, TInstall>("TTestInstall");
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  int endRequests = 0;

protected:
  void EndProgram() override { ++endRequests; }
};

class TRecorder : public TInstallObject {
public:
  explicit TRecorder(TComponent* owner) : TInstallObject(owner, kindDialog) {}
  static const TClassInfo& StaticClassInfo() {
    static constexpr TPropInfo props[] = {
        Props<TRecorder>::Reference<TInstallContainer, &TRecorder::Container, &TRecorder::SetContainer>("Container"),
    };
    static constexpr TClassInfo info = MakeClassInfo<TRecorder, TInstallObject>("TRecorder", props);
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  int HandleNotification(TObject*, int code, TObject* po) override {
    codes.push_back(code);
    if (auto* m = dynamic_cast<TMessageParameter*>(po)) texts.push_back(m->Text);
    if (onNotify) onNotify(code, po);
    return 0;
  }
  std::vector<int> codes;
  std::vector<std::string> texts;
  std::function<void(int code, TObject* po)> onNotify;
};

class TTestItem : public TInstallObject {
public:
  explicit TTestItem(TComponent* owner) : TInstallObject(owner, kindInstallFile) { SetInstallable(true); }
  static const TClassInfo& StaticClassInfo() {
    using P = Props<TTestItem>;
    static constexpr TPropInfo props[] = {
        P::Reference<TInstallContainer, &TTestItem::Container, &TTestItem::SetContainer>("Container"),
        P::Set<&TTestItem::InstallTypesMask, &TTestItem::SetInstallTypesMask>("InstallTypes", InstallTypeNames,
                                                                              1 << itAlways),
        P::Boolean<&TTestItem::Include, &TTestItem::SetInclude>("Include", true),
    };
    static constexpr TClassInfo info = MakeClassInfo<TTestItem, TInstallObject>("TTestItem", props);
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void Install() override {
    if (onInstall) onInstall();
    ++installs;
    TInstallObject::Install();
  }
  void ResumeAfterReboot() override { ++resumes; }
  std::function<void()> onInstall;
  int installs = 0;
  int resumes = 0;
};

inline void RegisterSpineClasses() {
  RegisterUiClasses();
  RegisterPathClasses();
  RegisterEngineClasses();
  for (const TClassInfo* c : {&TSpineForm::StaticClassInfo(), &TTestInstall::StaticClassInfo(),
                              &TRecorder::StaticClassInfo(), &TTestItem::StaticClassInfo()})
    RegisterClass(*c);
}

}  // namespace tav::test
