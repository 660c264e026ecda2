#include "net/cmp_TNetInstallLocation.h"

#include <cstdlib>
#include <utility>

#include "core/properties.h"
#include "core/routines_Strings.h"

namespace tav {

constexpr std::string_view kInternetProtocolNames[] = {"ipHTTP", "ipFTP", "ipHTTPS"};
constinit const TNameList InternetProtocolNames(kInternetProtocolNames);

std::string WindowsErrorName(std::uint32_t code) {
  static const char* const kInternet[] = {
      "ERROR_INTERNET_OUT_OF_HANDLES", "ERROR_INTERNET_TIMEOUT", "ERROR_INTERNET_EXTENDED_ERROR",
      "ERROR_INTERNET_INTERNAL_ERROR", "ERROR_INTERNET_INVALID_URL", "ERROR_INTERNET_UNRECOGNIZED_SCHEME",
      "ERROR_INTERNET_NAME_NOT_RESOLVED", "ERROR_INTERNET_PROTOCOL_NOT_FOUND", "ERROR_INTERNET_INVALID_OPTION",
      "ERROR_INTERNET_BAD_OPTION_LENGTH", "ERROR_INTERNET_OPTION_NOT_SETTABLE", "ERROR_INTERNET_SHUTDOWN",
      "ERROR_INTERNET_INCORRECT_USER_NAME", "ERROR_INTERNET_INCORRECT_PASSWORD", "ERROR_INTERNET_LOGIN_FAILURE",
      "ERROR_INTERNET_INVALID_OPERATION", "ERROR_INTERNET_OPERATION_CANCELLED",
      "ERROR_INTERNET_INCORRECT_HANDLE_TYPE", "ERROR_INTERNET_INCORRECT_HANDLE_STATE",
      "ERROR_INTERNET_NOT_PROXY_REQUEST", "ERROR_INTERNET_REGISTRY_VALUE_NOT_FOUND",
      "ERROR_INTERNET_BAD_REGISTRY_PARAMETER", "ERROR_INTERNET_NO_DIRECT_ACCESS", "ERROR_INTERNET_NO_CONTEXT",
      "ERROR_INTERNET_NO_CALLBACK", "ERROR_INTERNET_REQUEST_PENDING", "ERROR_INTERNET_INCORRECT_FORMAT",
      "ERROR_INTERNET_ITEM_NOT_FOUND", "ERROR_INTERNET_CANNOT_CONNECT", "ERROR_INTERNET_CONNECTION_ABORTED",
      "ERROR_INTERNET_CONNECTION_RESET"};  // 12001 to 12031
  static const char* const kGopher[] = {
      "ERROR_GOPHER_PROTOCOL_ERROR",   "ERROR_GOPHER_NOT_FILE",          "ERROR_GOPHER_DATA_ERROR",
      "ERROR_GOPHER_END_OF_DATA",      "ERROR_GOPHER_INVALID_LOCATOR",   "ERROR_GOPHER_INCORRECT_LOCATOR_TYPE",
      "ERROR_GOPHER_NOT_GOPHER_PLUS",  "ERROR_GOPHER_ATTRIBUTE_NOT_FOUND", "ERROR_GOPHER_UNKNOWN_LOCATOR"};  // 12130
  static const char* const kHttp[] = {
      "ERROR_HTTP_HEADER_NOT_FOUND", "ERROR_HTTP_DOWNLEVEL_SERVER", "ERROR_HTTP_INVALID_SERVER_RESPONSE",
      "ERROR_HTTP_INVALID_HEADER",   "ERROR_HTTP_INVALID_QUERY_REQUEST", "ERROR_HTTP_HEADER_ALREADY_EXISTS"};  // 12150
  if (code >= 12001 && code <= 12031) return kInternet[code - 12001];
  if (code >= 12130 && code <= 12138) return kGopher[code - 12130];
  if (code >= 12150 && code <= 12155) return kHttp[code - 12150];
  switch (code) {
    case 6: return "ERROR_INVALID_HANDLE";
    case 12032: return "ERROR_INTERNET_FORCE_RETRY";
    case 12036: return "ERROR_INTERNET_HANDLE_EXISTS";
    case 12041: return "ERROR_INTERNET_MIXED_SECURITY";
    case 12110: return "ERROR_FTP_TRANSFER_IN_PROGRESS";
    case 12111: return "ERROR_FTP_DROPPED";
    // The certificate failures of a secure connection.
    case 12037: return "ERROR_INTERNET_SEC_CERT_DATE_INVALID";
    case 12038: return "ERROR_INTERNET_SEC_CERT_CN_INVALID";
    case 12044: return "ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED";
    case 12045: return "ERROR_INTERNET_INVALID_CA";
    case 12055: return "ERROR_INTERNET_SEC_CERT_ERRORS";
    case 12057: return "ERROR_INTERNET_SEC_CERT_REV_FAILED";
    case 12157: return "ERROR_INTERNET_SECURITY_CHANNEL_ERROR";
    case 12169: return "ERROR_INTERNET_SEC_INVALID_CERT";
    case 12170: return "ERROR_INTERNET_SEC_CERT_REVOKED";
    default: return "Unregistered error code";
  }
}

std::string NetErrorMessage(const std::string& text, std::uint32_t errorCode, const std::string& host,
                            const std::string& response) {
  return Format(TranslateMessage("%s. Error message %s. Server %s. Response from server %s"), text,
                WindowsErrorName(errorCode), host,
                Trim(response).empty() ? TranslateMessage("No server response") : response);
}

std::string ServerPath(const std::string& directory) {
  if (Trim(directory).empty()) return "/";
  std::string path = directory;
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

void SplitHostPort(const std::string& hostname, std::string& host, std::uint16_t& port) {
  host = Trim(hostname);
  port = 0;
  std::size_t colon = std::string::npos;
  if (!host.empty() && host[0] == '[') {
    const std::size_t close = host.find(']');
    if (close != std::string::npos && close + 1 < host.size() && host[close + 1] == ':') colon = close + 1;
  } else if (host.find(':') == host.rfind(':')) {
    colon = host.find(':');  // more than one colon is a bare IPv6 address
  }
  if (colon == std::string::npos) return;
  const std::string digits = host.substr(colon + 1);
  char* end = nullptr;
  const long value = std::strtol(digits.c_str(), &end, 10);
  if (digits.empty() || *end != '\0' || value <= 0 || value > 65535) return;  // not a port: the name stays whole
  port = static_cast<std::uint16_t>(value);
  host = host.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
}

// ---- login information ----

const TClassInfo& TCustomLoginInformation::StaticClassInfo() {
  static constexpr TClassInfo info = MakeClassInfo<TCustomLoginInformation, TPersistent>("TCustomLoginInformation");
  return info;
}

void TCustomLoginInformation::Assign(const TPersistent& source) {
  if (auto* other = dynamic_cast<const TCustomLoginInformation*>(&source)) {
    Anonymous = other->Anonymous;
    Directory = other->Directory;
    Hostname = other->Hostname;
    Password = other->Password;
    Protocol = other->Protocol;
    Username = other->Username;
    return;
  }
  TPersistent::Assign(source);
}

bool TCustomLoginInformation::FilledIn() const {
  if (Anonymous) return !Trim(Hostname).empty();
  return !Trim(Hostname).empty() || !Trim(Password).empty() || !Trim(Username).empty();
}

const TClassInfo& TLoginInformation::StaticClassInfo() {
  using P = Props<TLoginInformation>;
  static constexpr TPropInfo props[] = {
      P::Boolean<&TLoginInformation::Anonymous, &TLoginInformation::Anonymous>("Anonymous", true),
      P::String<&TLoginInformation::Directory, &TLoginInformation::Directory>("Directory"),
      P::String<&TLoginInformation::Hostname, &TLoginInformation::Hostname>("Hostname"),
      P::String<&TLoginInformation::Password, &TLoginInformation::Password>("Password"),
      P::Enum<&TLoginInformation::Protocol, &TLoginInformation::Protocol>("Protocol", InternetProtocolNames,
                                                                          TCustomNetInstallLocation::ipHTTP),
      P::String<&TLoginInformation::Username, &TLoginInformation::Username>("Username"),
  };
  static constexpr TClassInfo info =
      MakeClassInfo<TLoginInformation, TCustomLoginInformation>("TLoginInformation", props);
  return info;
}

void RegisterNetClasses() { RegisterClass(TNetInstallLocation::StaticClassInfo()); }

}  // namespace tav
