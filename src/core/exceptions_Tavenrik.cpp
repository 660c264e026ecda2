#include "core/exceptions_Tavenrik.h"

namespace tav {

TRunSlot<TMessageTranslator>& MessageTranslatorSlot() {
  static auto& slot = TRunSlot<TMessageTranslator>::Make("message translator");
  return slot;
}

void SetMessageTranslator(TMessageTranslator translator) { MessageTranslatorSlot().Set(std::move(translator)); }

std::string TranslateMessage(const std::string& english) {
  const TMessageTranslator& t = MessageTranslatorSlot().Get();
  return t ? t(english) : english;
}

}  // namespace tav
