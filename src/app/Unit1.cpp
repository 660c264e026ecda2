#include "app/Unit1.h"

namespace tav {

const TClassInfo& TForm1::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TForm1, TForm>("TForm1");
  return info;
}

void RegisterAppClasses() { RegisterClass(TForm1::StaticClassInfo()); }

}  // namespace tav
