#include "net/cmp_TNetInstallLocation.h"

#include <windows.h>
#include <wininet.h>

#include <array>
#include <cstdlib>

#include "core/properties.h"
#include "core/routines_Strings.h"
#include "objects/cmp_TInstallContainer.h"
#include "sys/files.h"
#include "sys/pump.h"
#include "sys/run_state.h"

namespace tav {

// ---- the library, loaded at run time ----

struct TNetInstallLocation::TWinInet {
  using GetLastResponseInfo = BOOL(WINAPI*)(LPDWORD, LPSTR, LPDWORD);
  using Open = HINTERNET(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD);
  using Connect = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, INTERNET_PORT, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR);
  using FtpSetCurrentDirectory = BOOL(WINAPI*)(HINTERNET, LPCSTR);
  using CloseHandle = BOOL(WINAPI*)(HINTERNET);
  using QueryDataAvailable = BOOL(WINAPI*)(HINTERNET, LPDWORD, DWORD, DWORD_PTR);
  using ReadFile = BOOL(WINAPI*)(HINTERNET, LPVOID, DWORD, LPDWORD);
  using FtpOpenFile = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, DWORD, DWORD, DWORD_PTR);
  using HttpOpenRequest = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR*, DWORD, DWORD_PTR);
  using HttpSendRequest = BOOL(WINAPI*)(HINTERNET, LPCSTR, DWORD, LPVOID, DWORD);
  using HttpQueryInfo = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD);
  using FtpGetFileSize = DWORD(WINAPI*)(HINTERNET, LPDWORD);
  using FtpFindFirstFile = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, LPWIN32_FIND_DATAA, DWORD, DWORD_PTR);
  using QueryOption = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD);
  using SetOption = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, DWORD);

  HMODULE library = nullptr;
  GetLastResponseInfo getLastResponseInfo = nullptr;
  Open open = nullptr;
  Connect connect = nullptr;
  FtpSetCurrentDirectory ftpSetCurrentDirectory = nullptr;
  CloseHandle closeHandle = nullptr;
  QueryDataAvailable queryDataAvailable = nullptr;
  ReadFile readFile = nullptr;
  FtpOpenFile ftpOpenFile = nullptr;
  HttpOpenRequest httpOpenRequest = nullptr;
  HttpSendRequest httpSendRequest = nullptr;
  HttpQueryInfo httpQueryInfo = nullptr;
  // Optional: the size the FTP server reports for a file, from its listing or for the open file.
  FtpGetFileSize ftpGetFileSize = nullptr;
  FtpFindFirstFile ftpFindFirstFile = nullptr;
  // Optional: the security flags of a secure request.
  QueryOption queryOption = nullptr;
  SetOption setOption = nullptr;

  ~TWinInet() {
    if (library) FreeLibrary(library);
  }
};

namespace {

constexpr DWORD kServiceFtp = 1, kServiceHttp = 3;
constexpr DWORD kHttpFlags = 0xA4000000;  // INTERNET_FLAG_RELOAD | _EXISTING_CONNECT | _NO_CACHE_WRITE
constexpr DWORD kBlockSize = 8192;

TRunSlot<TNetInstallLocation*>& CurrentNetLocationSlot() {
  static auto& slot = TRunSlot<TNetInstallLocation*>::Make("current net location");
  return slot;
}

std::string Specific(const std::string& text, const std::string& arg) { return Format(TranslateMessage(text), arg); }

// The agent name the server sees: the program's own name.
std::string AgentName() {
  std::string name = ExtractFileName(sys::ModuleFileName());
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

TNetLocationList& NetLocations() {
  static auto* list = new TNetLocationList;
  return *list;
}

void TNetLocationList::Add(TNetInstallLocation* location) {
  if (!location) throw IENetList(std::string(TranslateMessage("Cannot add a blank location to the global net location list")));
  items_.push_back(location);
}

void TNetLocationList::Remove(TNetInstallLocation* location) {
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (*it == location) {
      items_.erase(it);
      return;
    }
  }
}

TNetInstallLocation* CurrentNetLocation() { return CurrentNetLocationSlot().Get(); }

bool DownloadAbortFlag() { return UserAbortRequested(); }
void SetDownloadAbortFlag(bool value) { SetUserAbortRequested(value); }

// ---- TNetInstallLocation ----

const TClassInfo& TNetInstallLocation::StaticClassInfo() {
  using P = Props<TNetInstallLocation>;
  static constexpr TPropInfo props[] = {
      P::Object<[](TNetInstallLocation& l) { return &l.LoginInformation(); }>("LoginInformation"),
      P::Event<&TNetInstallLocation::OnAfterDownload>("OnAfterDownload"),
      P::Event<&TNetInstallLocation::OnAfterLogin>("OnAfterLogin"),
      P::Event<&TNetInstallLocation::OnBeforeDownload>("OnBeforeDownload"),
      P::Event<&TNetInstallLocation::OnBeforeLogin>("OnBeforeLogin"),
      P::Event<&TNetInstallLocation::OnDataReceived>("OnDataReceived"),
  };
  static constexpr TClassInfo info =
      MakeClassInfo<TNetInstallLocation, TCustomNetInstallLocation>("TNetInstallLocation", props);
  return info;
}

TNetInstallLocation::TNetInstallLocation(TComponent* owner) : TCustomNetInstallLocation(owner) {
  NetLocations().Add(this);
}

TNetInstallLocation::~TNetInstallLocation() {
  Destroying();
  Disconnect();
  inet_.reset();
  loaded_ = false;
  NetLocations().Remove(this);
  if (CurrentNetLocation() == this) CurrentNetLocationSlot().Set(nullptr);
}

bool TNetInstallLocation::DownloadAborted() const { return DownloadAbortFlag(); }

std::string TNetInstallLocation::LastResponse() const {
  if (!inet_ || !inet_->getLastResponseInfo) return std::string();
  DWORD error = 0;
  std::array<char, 3000> buffer{};
  DWORD length = static_cast<DWORD>(buffer.size());
  if (!inet_->getLastResponseInfo(&error, buffer.data(), &length)) return std::string();
  std::string text(buffer.data(), std::min<std::size_t>(length, buffer.size()));
  return Trim(text);
}

template <class E>
void TNetInstallLocation::Fail(const std::string& text, std::uint32_t error, const std::string& response) {
  TNetInstallLocation* current = CurrentNetLocation();
  throw E(NetErrorMessage(text, error, current ? current->Hostname() : std::string(),
                          response.empty() ? LastResponse() : response));
}

void TNetInstallLocation::LoadWinInet() {
  auto inet = std::make_unique<TWinInet>();
  inet->library = LoadLibraryW(L"WININET.DLL");
  if (!inet->library)
    throw ENIL_FailLoadWININET(TranslateMessage(
        "Failed to load the Wininet.dll. If this is a hybrid installation, you might want to include the WININET.DLL "
        "file in the PresetupFiles property of the TInstall component"));
  auto find = [&](auto& entry, const char* name) {
    entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
        reinterpret_cast<void*>(GetProcAddress(inet->library, name)));
    if (!entry) {
      std::string bare(name);
      bare.pop_back();  // named without its final A
      throw ENIL_FailLoadDLLProc(Format(TranslateMessage("Failed to load the procedure %s from WININET.DLL"), bare));
    }
  };
  find(inet->getLastResponseInfo, "InternetGetLastResponseInfoA");
  find(inet->open, "InternetOpenA");
  find(inet->connect, "InternetConnectA");
  find(inet->ftpSetCurrentDirectory, "FtpSetCurrentDirectoryA");
  find(inet->closeHandle, "InternetCloseHandle");
  find(inet->queryDataAvailable, "InternetQueryDataAvailable");
  find(inet->readFile, "InternetReadFile");
  find(inet->ftpOpenFile, "FtpOpenFileA");
  find(inet->httpOpenRequest, "HttpOpenRequestA");
  find(inet->httpSendRequest, "HttpSendRequestA");
  find(inet->httpQueryInfo, "HttpQueryInfoA");
  inet->ftpGetFileSize =
      reinterpret_cast<TWinInet::FtpGetFileSize>(reinterpret_cast<void*>(GetProcAddress(inet->library, "FtpGetFileSize")));
  inet->ftpFindFirstFile = reinterpret_cast<TWinInet::FtpFindFirstFile>(
      reinterpret_cast<void*>(GetProcAddress(inet->library, "FtpFindFirstFileA")));
  inet->queryOption =
      reinterpret_cast<TWinInet::QueryOption>(reinterpret_cast<void*>(GetProcAddress(inet->library, "InternetQueryOptionA")));
  inet->setOption =
      reinterpret_cast<TWinInet::SetOption>(reinterpret_cast<void*>(GetProcAddress(inet->library, "InternetSetOptionA")));
  inet_ = std::move(inet);
  loaded_ = true;
}

void TNetInstallLocation::Connect() {
  CurrentNetLocationSlot().Set(this);
  if (!loaded_) LoadWinInet();
  if (!internet_) {
    internet_ = inet_->open(AgentName().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!internet_) Fail<ENIL_OpenSession>(TranslateMessage("Cannot open internet connection"), GetLastError());
  }
  const bool ftp = login_.Protocol == ipFTP;
  if (!connection_) {
    directorySet_ = false;
    if (OnBeforeLogin) OnBeforeLogin(this);
    std::string host;
    std::uint16_t port = 0;
    SplitHostPort(login_.Hostname, host, port);
    // Port 0 is the service's default, which for the HTTP service is plain HTTP's.
    if (port == 0 && login_.Protocol == ipHTTPS) port = INTERNET_DEFAULT_HTTPS_PORT;
    const char* user = nullptr;
    const char* password = nullptr;
    if (!login_.Anonymous) {
      user = login_.Username.c_str();
      password = login_.Password.c_str();
    } else if (!ftp) {
      user = password = "";
    }
    connection_ = inet_->connect(static_cast<HINTERNET>(internet_), host.c_str(), port, user, password,
                                 ftp ? kServiceFtp : kServiceHttp, 0, 0);
    if (!connection_) {
      const DWORD error = GetLastError();
      Fail<ENIL_OpenService>(Specific("Cannot connect to host %s", login_.Hostname), error);
    }
    if (OnAfterLogin) OnAfterLogin(this);
  }
  // A relative directory is relative to where the login starts: set again on a kept connection, it
  // would go one level deeper with every download.
  const std::string dir = ServerPath(login_.Directory);
  if (ftp && (!directorySet_ || dir[0] == '/')) {
    if (!inet_->ftpSetCurrentDirectory(static_cast<HINTERNET>(connection_), dir.c_str())) {
      const DWORD error = GetLastError();
      Fail<ENIL_FTPSetDir>(Specific("Cannot set directory on server to %s", dir), error);
    }
    directorySet_ = true;
  }
}

void TNetInstallLocation::Disconnect() {
  if (!inet_) return;
  if (connection_ && inet_->closeHandle(static_cast<HINTERNET>(connection_))) connection_ = nullptr;
  if (internet_ && inet_->closeHandle(static_cast<HINTERNET>(internet_))) internet_ = nullptr;
}

void TNetInstallLocation::Download(const std::string& remoteName, const std::string& localPath) {
  Connect();
  remoteName_ = remoteName;
  localPath_ = localPath;
  if (OnBeforeDownload) OnBeforeDownload(this);
  if (login_.Protocol == ipFTP)
    FtpDownload();
  else
    HttpDownload();
  if (OnAfterDownload) OnAfterDownload(this, DownloadAbortFlag());
}

void TNetInstallLocation::CloseFile(void*& handle) {
  const bool closed = inet_->closeHandle(static_cast<HINTERNET>(handle));
  const DWORD error = GetLastError();
  handle = nullptr;
  if (!closed) Fail<ENIL_FTPCloseFile>(Specific("Cannot close the file %s on the server", remoteName_), error);
}

namespace {
// Runs body with the open handle, then closes it whatever happened; a failed close is reported only
// when nothing failed before it.
template <class F, class C>
void WithOpenFile(void*& handle, C&& close, F&& body) {
  try {
    body();
  } catch (...) {
    try {
      close(handle);
    } catch (...) {
    }
    throw;
  }
  close(handle);
}
}  // namespace

// The size of a remote file as the server lists it; false when it does not say. Asked before the
// file is opened, since an FTP connection carries one transfer at a time.
bool TNetInstallLocation::FtpListedSize(std::int64_t& size) {
  if (!inet_->ftpFindFirstFile) return false;
  WIN32_FIND_DATAA found{};
  HINTERNET find = inet_->ftpFindFirstFile(static_cast<HINTERNET>(connection_), remoteName_.c_str(), &found,
                                           INTERNET_FLAG_RELOAD, 0);
  if (!find) return false;
  inet_->closeHandle(find);
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  size = (static_cast<std::int64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  return true;
}

void TNetInstallLocation::FtpDownload() {
  // The size the server reports is what must arrive; without one, the bytes available at first only
  // show progress.
  std::int64_t expected = 0;
  bool reported = FtpListedSize(expected);
  file_ = inet_->ftpOpenFile(static_cast<HINTERNET>(connection_), remoteName_.c_str(), GENERIC_READ,
                             FTP_TRANSFER_TYPE_BINARY, 0x80000000);
  if (!file_) {
    const DWORD error = GetLastError();
    Fail<ENIL_FTPOpenFile>(Specific("Cannot open file %s on server", remoteName_), error);
  }
  WithOpenFile(file_, [this](void*& h) { CloseFile(h); }, [&] {
    if (!reported && inet_->ftpGetFileSize) {
      DWORD high = 0;
      const DWORD low = inet_->ftpGetFileSize(static_cast<HINTERNET>(file_), &high);
      // Some libraries answer 0 for a size they do not know; an empty file fails as missing anyway.
      if (low != INVALID_FILE_SIZE && (low != 0 || high != 0)) {
        expected = (static_cast<std::int64_t>(high) << 32) | low;
        reported = true;
      }
    }
    if (!reported) {
      DWORD available = 0;
      if (!inet_->queryDataAvailable(static_cast<HINTERNET>(file_), &available, 0, 0)) {
        const DWORD error = GetLastError();
        Fail<ENIL_FailDataQuery>(Specific("Could not query file %s on server", remoteName_), error);
      }
      expected = available;
    }
    TransferLoop(file_, expected, reported);
  });
}

void TNetInstallLocation::HttpDownload() {
  std::string object = ServerPath(login_.Directory);
  if (object.back() != '/') object += '/';
  if (object.front() != '/') object.insert(0, 1, '/');  // a request names its object from the server's root
  object += remoteName_;
  DWORD flags = kHttpFlags;
  // A secure request: WinInet verifies the server's certificate and refuses one that does not verify.
  if (login_.Protocol == ipHTTPS) flags |= INTERNET_FLAG_SECURE;
  file_ = inet_->httpOpenRequest(static_cast<HINTERNET>(connection_), "GET", object.c_str(), nullptr, nullptr,
                                 nullptr, flags, 0);
  if (!file_) {
    const DWORD error = GetLastError();
    Fail<ENIL_HTTPOpenFile>(Specific("Cannot open file %s on server", remoteName_), error);
  }
  WithOpenFile(file_, [this](void*& h) { CloseFile(h); }, [this] {
    static const char kHeaders[] = "Accept: */*\r\n\r\n";
    auto send = [&] { return inet_->httpSendRequest(static_cast<HINTERNET>(file_), kHeaders, sizeof kHeaders - 1, nullptr, 0); };
    BOOL sent = send();
    DWORD error = sent ? NO_ERROR : GetLastError();
    // A revocation list nobody can reach does not stop the download (as in browsers); a certificate
    // that is revoked, expired, for another name or from an unknown authority still does.
    if (!sent && error == ERROR_INTERNET_SEC_CERT_REV_FAILED && inet_->queryOption && inet_->setOption) {
      DWORD security = 0;
      DWORD size = sizeof security;
      if (inet_->queryOption(static_cast<HINTERNET>(file_), INTERNET_OPTION_SECURITY_FLAGS, &security, &size)) {
        security |= SECURITY_FLAG_IGNORE_REVOCATION;
        if (inet_->setOption(static_cast<HINTERNET>(file_), INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security)) {
          sent = send();
          error = sent ? NO_ERROR : GetLastError();
        }
      }
    }
    if (!sent) {
      Fail<ENIL_HTTPSendRequest>(Specific("Cannot send request for file %s to the server", remoteName_), error);
    }
    // Only a 200 carries the file: an error page (missing file, no access, a server or proxy fault) is
    // refused by its status, whatever its body says.
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!inet_->httpQueryInfo(static_cast<HINTERNET>(file_), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                              &status, &size, nullptr)) {
      const DWORD error = GetLastError();
      Fail<ENIL_FailDataQuery>(Specific("Could not query file %s on server", remoteName_), error);
    }
    if (status != 200) {
      std::array<char, 256> reason{};
      DWORD length = static_cast<DWORD>(reason.size() - 1);
      std::string line = std::to_string(status);
      if (inet_->httpQueryInfo(static_cast<HINTERNET>(file_), HTTP_QUERY_STATUS_TEXT, reason.data(), &length,
                               nullptr))
        line += " " + std::string(reason.data(), std::min<std::size_t>(length, reason.size() - 1));
      const std::string response = "HTTP status " + Trim(line);
      if (status == 404 || status == 410)
        Fail<ENIL_FileNotFound>(Specific("Could not find the file %s on the server", remoteName_), 0, response);
      Fail<ENIL_HTTPSendRequest>(Specific("Cannot send request for file %s to the server", remoteName_), 0,
                                 response);
    }
    std::array<char, 33> text{};
    DWORD length = static_cast<DWORD>(text.size());
    std::int64_t expected = 0;
    bool reported = false;
    if (inet_->httpQueryInfo(static_cast<HINTERNET>(file_), HTTP_QUERY_CONTENT_LENGTH, text.data(), &length,
                             nullptr)) {
      char* end = nullptr;
      const long long value = std::strtoll(text.data(), &end, 10);
      if (end != text.data() && value >= 0) {
        expected = value;
        reported = true;
      }
    } else {
      const DWORD error = GetLastError();
      if (error != ERROR_HTTP_HEADER_NOT_FOUND)
        Fail<ENIL_FailDataQuery>(Specific("Could not query file %s on server", remoteName_), error);
    }
    TransferLoop(file_, expected, reported);
  });
}

void TNetInstallLocation::TransferLoop(void* handle, std::int64_t expected, bool checkLength) {
  const auto writeFailed = [this] {
    return ENIL_WriteDestFile(Format(TranslateMessage("%s could not write to the local dest file %s"), Name(), localPath_));
  };
  // The bytes gather in a temporary file beside the destination, which takes its place only once the
  // whole file has arrived.
  sys::ReplacementFile out(localPath_);
  if (!out.IsOpen()) throw writeFailed();
  std::vector<char> buffer(kBlockSize);
  DWORD read = 0;
  auto readBlock = [&] {
    if (!inet_->readFile(static_cast<HINTERNET>(handle), buffer.data(), kBlockSize, &read)) {
      const DWORD error = GetLastError();
      Fail<ENIL_ReadFile>(Specific("Could not read from file %s on the server", remoteName_), error);
    }
  };
  readBlock();
  std::int64_t total = 0;
  while (read > 0) {
    total += read;
    if (OnDataReceived) OnDataReceived(this, remoteName_, read, total, expected, buffer.data());
    if (SecondDataReceived) SecondDataReceived(this, remoteName_, read, total, expected, buffer.data());
    sys::PumpMessages();
    if (DownloadAbortFlag()) {
      out.Discard();
      return;
    }
    if (!out.Write(buffer.data(), read)) throw writeFailed();
    readBlock();
  }
  if (total == 0) Fail<ENIL_FileNotFound>(Specific("Could not find the file %s on the server", remoteName_), 0);
  // A connection that ends early looks like the end of the file: only the announced size tells.
  if (checkLength && total != expected)
    Fail<ENIL_ReadFile>(Format(TranslateMessage("Only %d of the %d bytes of the file %s arrived from the server"),
                               total, expected, remoteName_),
                        0);
  if (!out.Commit()) throw writeFailed();
}

}  // namespace tav
