#pragma once
// What the Windows benchmark programs (this one and bench_tree) share: their clock, and the root
// form a project is loaded into.
#include <chrono>

#include "core/properties.h"
#include "ui/forms.h"

namespace tav::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

class TBenchForm : public TForm {
public:
  using TForm::TForm;
  static const TClassInfo& StaticClassInfo() {
    static constexpr TClassInfo info = MakeClassInfo<TBenchForm, TForm>("TBenchForm");
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

}  // namespace tav::bench
