#pragma once
// The abstract net install location: where archives are fetched from over HTTP or FTP. The concrete
// location lives in the net layer above; file-related objects only decide when and what to fetch.
#include <cstdint>
#include <functional>
#include <string>

#include "core/classes.h"
#include "core/properties.h"

namespace tav {

// (Sender, FileName, Bytes, TotalBytes, FileSize, Buffer): a block of a download arrived.
using TDataReceivedEvent = std::function<void(TObject* sender, const std::string& fileName, std::int64_t bytes,
                                              std::int64_t totalBytes, std::int64_t fileSize, const char* buffer)>;

class TCustomNetInstallLocation : public TComponent {
public:
  // ipHTTPS is HTTP over TLS, with the server's certificate verified.
  enum TProtocol { ipHTTP, ipFTP, ipHTTPS };

  static const TClassInfo& StaticClassInfo() {
    static constexpr TClassInfo info =
        MakeClassInfo<TCustomNetInstallLocation, TComponent>("TCustomNetInstallLocation");
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Whether the login information is complete enough to connect.
  virtual bool LoginFilledIn() const = 0;
  virtual TProtocol Protocol() const = 0;
  virtual std::string Hostname() const = 0;
  // The login's directory on the server; may be blank.
  virtual std::string Directory() const = 0;
  // Fetches remoteName into localPath, reporting every block to SecondDataReceived; raises on failure.
  virtual void Download(const std::string& remoteName, const std::string& localPath) = 0;
  // The user stopped the download in progress.
  virtual bool DownloadAborted() const = 0;

  // The second data-received handler: the object whose archive is being fetched.
  TDataReceivedEvent SecondDataReceived;

protected:
  explicit TCustomNetInstallLocation(TComponent* owner) : TComponent(owner) {}
};

}  // namespace tav
