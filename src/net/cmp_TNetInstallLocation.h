#pragma once
// The net install location: a server that archives are fetched from over FTP, HTTP or HTTPS, one file
// at a time, through the Windows internet library, which is loaded only when the first download
// starts (a distribution that fetches nothing never needs it).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/exceptions_Tavenrik.h"
#include "objects/cmp_TNetInstallLocation_base.h"

namespace tav {

using TInternetProtocol = TCustomNetInstallLocation::TProtocol;
extern const TNameList InternetProtocolNames;

// The failures of a location. Each message is the specific text followed by the name of the last
// Windows error, the host in use and the server's last response (see NetErrorMessage).
TAV_EXCEPTION(ENIL, Exception);
TAV_EXCEPTION(ENIL_OpenSession, ENIL);
TAV_EXCEPTION(ENIL_OpenService, ENIL);
TAV_EXCEPTION(ENIL_FailDataQuery, ENIL);
TAV_EXCEPTION(ENIL_ReadFile, ENIL);
TAV_EXCEPTION(ENIL_FileNotFound, ENIL);
TAV_EXCEPTION(ENIL_FTP, ENIL);
TAV_EXCEPTION(ENIL_FTPSetDir, ENIL_FTP);
TAV_EXCEPTION(ENIL_FTPOpenFile, ENIL_FTP);
TAV_EXCEPTION(ENIL_FTPCloseFile, ENIL_FTP);
TAV_EXCEPTION(ENIL_HTTP, ENIL);
TAV_EXCEPTION(ENIL_HTTPOpenFile, ENIL_HTTP);
TAV_EXCEPTION(ENIL_HTTPSendRequest, ENIL_HTTP);
TAV_EXCEPTION(IENetList, ENIL);
TAV_EXCEPTION(ENIL_WriteDestFile, Exception);
TAV_EXCEPTION(ENIL_FailLoadWININET, Exception);
TAV_EXCEPTION(ENIL_FailLoadDLLProc, Exception);

// The name under which the internet library publishes an error code; "Unregistered error code" for
// codes it does not name.
std::string WindowsErrorName(std::uint32_t code);
// "<text>. Error message <error name>. Server <host>. Response from server <response>"; the text is
// translated first, a blank response reads "No server response".
std::string NetErrorMessage(const std::string& text, std::uint32_t errorCode, const std::string& host,
                            const std::string& response);
// The directory as the server names it: blank is "/", backslashes become slashes.
std::string ServerPath(const std::string& directory);
// Splits "host:port" (a port after the last colon of a name that is no bare IPv6 address; "[v6]:port"
// too); port 0 when none is given.
void SplitHostPort(const std::string& hostname, std::string& host, std::uint16_t& port);

class TCustomLoginInformation : public TPersistent {
public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  // Copies all six values from another login information.
  void Assign(const TPersistent& source) override;
  // Complete enough to connect: a host for an anonymous login, otherwise any of host, user, password.
  bool FilledIn() const;

  bool Anonymous = true;
  std::string Directory;
  std::string Hostname;
  std::string Password;
  TInternetProtocol Protocol = TCustomNetInstallLocation::ipHTTP;
  std::string Username;
};

class TLoginInformation : public TCustomLoginInformation {
public:
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

// (Sender, Aborted)
using TNotifyWithAbortFlag = std::function<void(TObject* sender, bool aborted)>;
using TLoginEvent = std::function<void(TObject* sender)>;
using TNetNotifyEvent = std::function<void(TObject* sender)>;

class TNetInstallLocation : public TCustomNetInstallLocation {
public:
  explicit TNetInstallLocation(TComponent* owner);
  ~TNetInstallLocation() override;

  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // TCustomNetInstallLocation
  bool LoginFilledIn() const override { return login_.FilledIn(); }
  TProtocol Protocol() const override { return login_.Protocol; }
  std::string Hostname() const override { return login_.Hostname; }
  std::string Directory() const override { return login_.Directory; }
  // Connects, then fetches remoteName into localPath: the bytes go to a temporary file beside
  // localPath, which takes its place only once the whole file has arrived, so a failed or cancelled
  // download leaves localPath as it was.
  void Download(const std::string& remoteName, const std::string& localPath) override;
  bool DownloadAborted() const override;

  // Makes this the location in use; loads the library, opens the session and the connection when
  // they are not open yet; for FTP sets the server directory every time.
  virtual void Connect();
  virtual void LoadWinInet();
  // Closes the connection, then the session; each handle is forgotten once it closed.
  void Disconnect();

  TLoginInformation& LoginInformation() { return login_; }
  const TLoginInformation& LoginInformation() const { return login_; }
  void SetLoginInformation(const TLoginInformation& value) { login_.Assign(value); }
  bool Loaded() const { return loaded_; }
  const std::string& RemoteName() const { return remoteName_; }
  const std::string& LocalPath() const { return localPath_; }

  TNotifyWithAbortFlag OnAfterDownload;
  TLoginEvent OnAfterLogin;
  TNetNotifyEvent OnBeforeDownload;
  TLoginEvent OnBeforeLogin;
  TDataReceivedEvent OnDataReceived;

  struct TWinInet;  // the library and its entry points

private:
  void FtpDownload();
  bool FtpListedSize(std::int64_t& size);
  void HttpDownload();
  // Reads the open file or request into the temporary file beside LocalPath and puts it in place;
  // with checkLength, what arrived must be exactly the expected size the server announced.
  void TransferLoop(void* handle, std::int64_t expected, bool checkLength);
  void CloseFile(void*& handle);
  template <class E>
  [[noreturn]] void Fail(const std::string& text, std::uint32_t error, const std::string& response = std::string());
  std::string LastResponse() const;

  TLoginInformation login_;
  std::unique_ptr<TWinInet> inet_;
  bool loaded_ = false;
  void* internet_ = nullptr;
  void* connection_ = nullptr;
  void* file_ = nullptr;
  bool directorySet_ = false;  // the FTP directory was set on this connection
  std::string remoteName_;
  std::string localPath_;
};

// Every live net install location, in creation order.
class TNetLocationList {
public:
  // nullptr raises IENetList.
  void Add(TNetInstallLocation* location);
  void Remove(TNetInstallLocation* location);
  int Count() const { return static_cast<int>(items_.size()); }
  TNetInstallLocation* Items(int index) const { return items_.at(static_cast<std::size_t>(index)); }

private:
  std::vector<TNetInstallLocation*> items_;
};
TNetLocationList& NetLocations();
// The location whose server is being talked to (named in error messages); nullptr when none.
TNetInstallLocation* CurrentNetLocation();

// The download abort flag: set when the user cancels a download, polled by the transfer loop after
// every block. It is the run's user-abort flag, which the progress window's Cancel sets.
bool DownloadAbortFlag();
void SetDownloadAbortFlag(bool value);

void RegisterNetClasses();

}  // namespace tav
