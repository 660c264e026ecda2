#pragma once
// The exception tree. A failure is its class and its message; there are no error numbers.
#include <exception>
#include <functional>
#include <string>

#include "core/format.h"
#include "sys/run_state.h"

namespace tav {

// The run-time library's base exception: a message and nothing else.
class Exception : public std::exception {
public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  template <class Arg, class... Args>
  Exception(const std::string& format, const Arg& arg, const Args&... args)
      : message_(Format(format, arg, args...)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  virtual const char* ClassName() const { return "Exception"; }

private:
  std::string message_;
};

// Messages of the install family are looked up by their English wording in the current language.
// The translator installs the hook; without one the English text stays.
using TMessageTranslator = std::function<std::string(const std::string&)>;
TRunSlot<TMessageTranslator>& MessageTranslatorSlot();
void SetMessageTranslator(TMessageTranslator translator);
std::string TranslateMessage(const std::string& english);

}  // namespace tav

// Declares an exception class that adds nothing to its base but its name.
#define TAV_EXCEPTION(Name, Base)                                  \
  class Name : public Base {                                       \
  public:                                                          \
    using Base::Base;                                              \
    const char* ClassName() const override { return #Name; }       \
  }

namespace tav {

// Run-time library conditions the components rely on.
TAV_EXCEPTION(EAbort, Exception);  // skips the object being processed, never shown
TAV_EXCEPTION(EConvertError, Exception);
TAV_EXCEPTION(EStreamError, Exception);
TAV_EXCEPTION(EFilerError, EStreamError);
TAV_EXCEPTION(EReadError, EFilerError);
TAV_EXCEPTION(EWriteError, EFilerError);
TAV_EXCEPTION(EClassNotFound, EFilerError);
TAV_EXCEPTION(EFOpenError, EStreamError);
TAV_EXCEPTION(EFCreateError, EStreamError);
TAV_EXCEPTION(EComponentError, Exception);
TAV_EXCEPTION(EListError, Exception);
TAV_EXCEPTION(EStringListError, Exception);
TAV_EXCEPTION(EPropertyError, Exception);
TAV_EXCEPTION(EInOutError, Exception);

TAV_EXCEPTION(ECustomTavenrikAbnormal, Exception);
TAV_EXCEPTION(ETavenrikAbnormal, ECustomTavenrikAbnormal);
TAV_EXCEPTION(ETvrkCompress, ETavenrikAbnormal);
TAV_EXCEPTION(EtcDiskFull, ETvrkCompress);
TAV_EXCEPTION(EtcAborted, ETvrkCompress);
TAV_EXCEPTION(EAPIRoutines, ETavenrikAbnormal);

// Root of the install exceptions: the message (or format) passes through the translator first.
class IException : public ECustomTavenrikAbnormal {
public:
  explicit IException(const std::string& message) : ECustomTavenrikAbnormal(TranslateMessage(message)) {}
  template <class Arg, class... Args>
  IException(const std::string& format, const Arg& arg, const Args&... args)
      : ECustomTavenrikAbnormal(Format(TranslateMessage(format), arg, args...)) {}
  const char* ClassName() const override { return "IException"; }
};

TAV_EXCEPTION(IEInstall, IException);
TAV_EXCEPTION(IEInstallNetLocNil, IEInstall);
TAV_EXCEPTION(IEPathSpecifier, IException);
TAV_EXCEPTION(IEPathSpecifierList, IException);
TAV_EXCEPTION(IEInstallContainer, IException);
TAV_EXCEPTION(IEContainerList, IException);
TAV_EXCEPTION(IEFileRelated, IException);
TAV_EXCEPTION(IEFileRel_NoNetLocation, IEFileRelated);
TAV_EXCEPTION(IEFileContainer, IException);
TAV_EXCEPTION(IEfcDuplicateFile, IEFileContainer);
TAV_EXCEPTION(IECustomInstallFile, IException);
TAV_EXCEPTION(IECustomInstallFileList, IException);
TAV_EXCEPTION(IENoTavenrikPath, IException);
TAV_EXCEPTION(IEUninstallEXE, IException);
TAV_EXCEPTION(IEInstallShellLink, IException);
TAV_EXCEPTION(IEShellLinkGroup, IException);
TAV_EXCEPTION(IEInstallShellLinkList, IException);
TAV_EXCEPTION(IERegistryEntry, IException);
TAV_EXCEPTION(IERegistryEntries, IException);
TAV_EXCEPTION(IEInstallRegistry, IException);
TAV_EXCEPTION(IEInstallRegistryList, IException);
TAV_EXCEPTION(IEFileGroupSelectForm, IException);

// Run-time install conditions.
TAV_EXCEPTION(EAI, Exception);
class EAIUserAbort : public EAI {
public:
  EAIUserAbort() : EAI(std::string("Installation aborted by the user")) {}
  const char* ClassName() const override { return "EAIUserAbort"; }
};
TAV_EXCEPTION(EAICannotExpandContainerDirMV, EAI);
TAV_EXCEPTION(EAICannotExpandInstallDirMV, EAI);
TAV_EXCEPTION(EIRCannotWriteValue, Exception);

}  // namespace tav
