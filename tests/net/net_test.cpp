// Net installs against real servers on this machine (tests/net/run.sh starts them): a project is built
// as a web and as a hybrid distribution, its per-location folder is put on the HTTP, HTTPS and FTP
// servers as built, and it is installed from there under Wine. The failure paths (missing files, error
// pages, a server that is not there, wrong credentials, a cut connection, an untrusted certificate,
// Cancel during a download) end with the location's error or the user's abort, and leave nothing
// half-downloaded behind.
#include "ui/win32.h"

#include <wincrypt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <tuple>

#include "engine/install_record.h"
#include "install_support.h"
#include "net/cmp_TNetInstallLocation.h"
#include "objects/cmp_TInstallFile.h"
#include "spine_classes.h"
#include "sys/files.h"
#include "sys/registry.h"
#include "sys/unicode.h"
#include "ui/application.h"

using namespace tav;
using namespace tav::test;
namespace fs = std::filesystem;

namespace {

using TNetProjectForm = TProjectForm<"TNetProjectForm">;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The servers' folder as this Windows program sees it.
std::string ServerRoot() {
  std::string path = "Z:" + Env("TAV_NET_ROOT");
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string Host(const char* portVariable, const char* name = "127.0.0.1") {
  return std::string(name) + ":" + Env(portVariable);
}

// A file written at a second of the servers' test morning.
void WriteFile(const std::string& path, const std::string& text, int second) {
  test::WriteFile(path, text, DosTime({2022, 5, 1, 9, 0, second, 0}));
}

// Every file of a folder copied into another, as one uploads a built folder to a server.
void Deploy(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::create_directories(sys::Wide(to), ec);
  for (const auto& e : fs::directory_iterator(sys::Wide(from))) {
    fs::copy_file(e.path(), fs::path(sys::Wide(to)) / e.path().filename(), fs::copy_options::overwrite_existing, ec);
    ASSERT_FALSE(ec) << e.path().string();
  }
}

// The requests the servers saw since the last call, as "<server> <path>" lines.
class RequestLog {
public:
  std::vector<std::string> Take() {
    const std::string text = ReadAll(ServerRoot() + "\\requests.log");
    std::vector<std::string> lines;
    std::size_t start = seen_;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(text.substr(start, end - start));
    seen_ = start;
    return lines;
  }

private:
  std::size_t seen_ = 0;
};

std::string Payload() {
  std::string bytes;
  std::uint32_t x = 12345;
  for (int i = 0; i < 120000; ++i) {
    x = x * 1103515245u + 12345u;
    bytes += static_cast<char>(x >> 24);  // does not compress: the archive stays many blocks long
  }
  return bytes;
}

class NetInstall : public ProjectTest {
protected:
  void SetUp() override {
    ASSERT_FALSE(Env("TAV_NET_ROOT").empty()) << "run through tests/net/run.sh, which starts the servers";
    SetUpProject(TNetProjectForm::StaticClassInfo());
    RegisterNetClasses();
    RunFolders(sys::TempDirectory() + "\\tav-net-" + std::to_string(GetCurrentProcessId()));
    for (const std::string& d : {root, src, target, target + "\\Data"}) sys::MakeDir(d);
    WriteFile(src + "\\readme.txt", "Read me first.\r\n", 0);
    WriteFile(src + "\\payload.bin", Payload(), 0);
    WriteFile(src + "\\keep.txt", "new keep", 0);
    WriteFile(src + "\\fresh.txt", "fresh from the server", 0);
    log.Take();
  }

  void TearDown() override {
    ProjectTest::TearDown();
    std::error_code ec;
    fs::remove_all(sys::Wide(root), ec);
    fs::remove_all(sys::Wide(ServerRoot() + "\\http"), ec);
    fs::remove_all(sys::Wide(ServerRoot() + "\\ftp"), ec);
    fs::create_directories(sys::Wide(ServerRoot() + "\\http"), ec);
    fs::create_directories(sys::Wide(ServerRoot() + "\\ftp"), ec);
  }

  void Create() {
    Open<TNetProjectForm>();
    server = dynamic_cast<TNetInstallLocation*>(form->FindComponent("Server1"));
    group = dynamic_cast<TInstallFileGroup*>(form->FindComponent("Group1"));
    ASSERT_TRUE(server && group);
    InstallFrom(src, {"Readme", "Payload", "Keep", "Fresh"}, target);
  }

  void Login(TInternetProtocol protocol, const std::string& host, const std::string& directory = "",
             bool anonymous = true) {
    server->Disconnect();
    TLoginInformation& login = server->LoginInformation();
    login.Protocol = protocol;
    login.Hostname = host;
    login.Directory = directory;
    login.Anonymous = anonymous;
  }

  // Builds the distribution of the given type and returns the folder the server is to serve.
  void SetType(TDistributeType type) {
    install->SetState(csLoading);  // the type is a design-time choice
    install->SetDistributeType(type);
    install->ClearState(csLoading);
  }
  std::string Build(TDistributeType type) {
    SetType(type);
    install->Build(sys::ModuleFileName(), dist, false);
    return dist + "\\" + install->NetPath();
  }

  void Run() {
    shown.clear();
    badEnd = false;
    install->OnBeforeNotifyBadInstall = [this](TObject*) { badEnd = true; };
    tempBefore = TempEntries();
    install->StartHook(form);
  }

  static std::set<std::string> TempEntries() {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(sys::Wide(sys::TempDirectory()), ec))
      names.insert(e.path().filename().string());
    return names;
  }

  std::string Dest(const std::string& name) const { return target + "\\Data\\" + name; }

  // What a failed or cancelled run must leave: nothing of the files that were to come from the server,
  // and nothing new in the temporary folder (no partly downloaded archive, no working file).
  void ExpectNothingHalfDone() {
    for (const char* name : {"readme.txt", "payload.bin", "fresh.txt"})
      EXPECT_FALSE(sys::FileExists(Dest(name))) << name;
    for (const std::string& name : TempEntries()) EXPECT_TRUE(tempBefore.count(name)) << "left behind: " << name;
  }

  // A hybrid build fetched over FTP from "pub/app" on the server.
  void HybridOverFtp(bool anonymous) {
    Create();
    Login(TCustomNetInstallLocation::ipFTP, Host("TAV_NET_FTP"), "pub\\app", anonymous);
    server->LoginInformation().Username = "tav";
    server->LoginInformation().Password = "secret";
    const std::string built = Build(dtTraditionalNet);
    EXPECT_EQ(built, dist + "\\pubapp\\127.0.0.1" + Env("TAV_NET_FTP"));
    Deploy(built, ServerRoot() + "\\ftp\\pub\\app");
    // The file that is not fetched over the net is in the archive beside setup.
    ASSERT_TRUE(sys::FileExists(dist + "\\files.1"));

    Create();
    SetType(dtTraditionalNet);
    Login(TCustomNetInstallLocation::ipFTP, Host("TAV_NET_FTP"), "pub\\app", anonymous);
    server->LoginInformation().Username = "tav";
    server->LoginInformation().Password = "secret";
    std::vector<std::string> logins;
    server->OnBeforeLogin = [&](TObject*) { logins.push_back("before"); };
    server->OnAfterLogin = [&](TObject*) { logins.push_back("after"); };
    std::vector<std::string> downloads;
    server->OnBeforeDownload = [&](TObject*) { downloads.push_back(server->RemoteName()); };
    server->OnAfterDownload = [&](TObject*, bool aborted) { downloads.push_back(aborted ? "aborted" : "done"); };
    WriteFile(target + "\\Data\\keep.txt", "old keep", 30);
    log.Take();
    Run();
    ASSERT_TRUE(shown.empty()) << shown[0];
    for (const char* name : {"readme.txt", "payload.bin", "fresh.txt"})
      EXPECT_EQ(ReadAll(Dest(name)), ReadAll(src + "\\" + name)) << name;
    EXPECT_EQ(ReadAll(Dest("keep.txt")), "old keep");
    EXPECT_EQ(log.Take(), (std::vector<std::string>{"ftp /pub/app/filelist.lst", "ftp /pub/app/Group1.1",
                                                     "ftp /pub/app/Fresh.1"}));
    // One login serves every download of the run.
    EXPECT_EQ(logins, (std::vector<std::string>{"before", "after"}));
    EXPECT_EQ(downloads, (std::vector<std::string>{"filelist.lst", "done", "Group1.1", "done", "Fresh.1", "done"}));
  }

  TNetInstallLocation* server = nullptr;
  TInstallFileGroup* group = nullptr;
  bool badEnd = false;
  RequestLog log;
  std::set<std::string> tempBefore;
};

TEST_F(NetInstall, WebDistributionOverHttp) {
  Create();
  Login(TCustomNetInstallLocation::ipHTTP, Host("TAV_NET_HTTP"));
  const std::string built = Build(dtWeb);
  EXPECT_EQ(built, dist + "\\HTTP Root directory\\127.0.0.1" + Env("TAV_NET_HTTP"));
  Deploy(built, ServerRoot() + "\\http");
  // Everything of a web build is on the server: no archive beside setup.
  EXPECT_FALSE(sys::FileExists(dist + "\\files.1"));

  Create();
  Login(TCustomNetInstallLocation::ipHTTP, Host("TAV_NET_HTTP"));
  WriteFile(target + "\\Data\\keep.txt", "old keep, newer than the server's", 30);
  std::vector<int> percents;
  std::string recorded;
  std::int64_t largest = 0;
  group->OnDataReceived = [&](TObject*, const std::string& name, std::int64_t, std::int64_t total, std::int64_t size,
                              const char*) {
    if (name == "Group1.1" && size > 0) percents.push_back(static_cast<int>(total * 100 / size));
    largest = std::max(largest, total);
  };
  auto* recorder = new TRecorder(form);
  recorder->SetContainer(install);
  group->OnAfterInstallObjects = [&](TInstallContainer*, bool) {
    sys::RegKey key = sys::RegKey::Open(sys::RootKey::LocalMachine, InstallRecordKey() + "\\Group1", false);
    key.ReadString("LocalFile", recorded);
  };
  Run();
  ASSERT_TRUE(shown.empty()) << shown[0];
  EXPECT_FALSE(badEnd);
  for (const char* name : {"readme.txt", "payload.bin", "fresh.txt"})
    EXPECT_EQ(ReadAll(Dest(name)), ReadAll(src + "\\" + name)) << name;
  // Compared by the server's list, without being fetched.
  EXPECT_EQ(ReadAll(Dest("keep.txt")), "old keep, newer than the server's");
  EXPECT_EQ(files["Keep"]->FileSize(), 8);
  const std::vector<std::string> requests = log.Take();
  EXPECT_EQ(requests, (std::vector<std::string>{"http /filelist.lst", "http /Group1.1", "http /Fresh.1"}));
  // The group's archive arrived block by block, and its local copy was recorded while the run lasted
  // and went with the install record at the good end.
  ASSERT_GT(percents.size(), 3u);
  EXPECT_EQ(percents.back(), 100);
  EXPECT_GT(largest, 100000);
  // The progress window's phase hears every block.
  EXPECT_GE(std::count(recorder->codes.begin(), recorder->codes.end(), ncDownloadStatus),
            static_cast<std::ptrdiff_t>(percents.size()));
  EXPECT_FALSE(recorded.empty());
  EXPECT_FALSE(sys::FileExists(recorded)) << recorded;
  EXPECT_TRUE(InstallRecordKey().empty() ||
              !sys::RegKey::Open(sys::RootKey::LocalMachine, InstallRecordKey(), false).IsOpen());
}

TEST_F(NetInstall, HybridDistributionOverFtpWithPassword) { HybridOverFtp(false); }
TEST_F(NetInstall, HybridDistributionOverFtpAnonymous) { HybridOverFtp(true); }

// The test authority's certificate among the machine's trusted roots: the registry key from which
// Wine's certificate library reads them when a program first checks a chain. It is written as Windows
// keeps it there (the certificate as property 32 of a serialized property list, under its SHA-1
// thumbprint) before anything in this program has checked a certificate.
class TrustedTestAuthority {
public:
  TrustedTestAuthority() {
    const std::string der = ReadAll(ServerRoot() + "\\ca.der");
    BYTE hash[20];
    DWORD hashSize = sizeof hash;
    if (der.size() < 100 || !CryptHashCertificate(0, CALG_SHA1, 0, reinterpret_cast<const BYTE*>(der.data()),
                                                  static_cast<DWORD>(der.size()), hash, &hashSize))
      return;
    static const char kHex[] = "0123456789ABCDEF";
    std::string thumbprint;
    for (DWORD i = 0; i < hashSize; ++i) thumbprint += {kHex[hash[i] >> 4], kHex[hash[i] & 15]};
    key_ = std::string(kRootCertificates) + "\\" + thumbprint;
    std::string blob(12, '\0');
    const std::uint32_t header[3] = {32, 1, static_cast<std::uint32_t>(der.size())};
    std::memcpy(blob.data(), header, sizeof header);
    blob += der;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, sys::Wide(key_).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
      return;
    installed_ = RegSetValueExW(key, L"Blob", 0, REG_BINARY, reinterpret_cast<const BYTE*>(blob.data()),
                                static_cast<DWORD>(blob.size())) == ERROR_SUCCESS;
    RegCloseKey(key);
  }
  ~TrustedTestAuthority() {
    if (!key_.empty()) RegDeleteTreeW(HKEY_LOCAL_MACHINE, sys::Wide(key_).c_str());
  }
  bool Installed() const { return installed_; }

private:
  static constexpr const char* kRootCertificates = "Software\\Microsoft\\SystemCertificates\\Root\\Certificates";
  std::string key_;
  bool installed_ = false;
};

TEST_F(NetInstall, HttpsVerifiesTheServer) {
  TrustedTestAuthority authority;
  ASSERT_TRUE(authority.Installed());
  Create();
  Login(TCustomNetInstallLocation::ipHTTPS, Host("TAV_NET_HTTPS", "localhost"), "pub\\app");
  const std::string built = Build(dtWeb);
  EXPECT_EQ(built, dist + "\\pubapp\\localhost" + Env("TAV_NET_HTTPS"));
  Deploy(built, ServerRoot() + "\\http\\pub\\app");

  // A certificate nobody vouches for is refused before anything is fetched.
  Create();
  Login(TCustomNetInstallLocation::ipHTTPS, Host("TAV_NET_UNTRUSTED", "localhost"), "pub\\app");
  Run();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind("Cannot send request for file filelist.lst to the server. Error message "
                           "ERROR_INTERNET_INVALID_CA. Server localhost:",
                           0),
            0u)
      << shown[0];
  EXPECT_TRUE(badEnd);
  EXPECT_TRUE(log.Take().empty());
  ExpectNothingHalfDone();

  Create();
  Login(TCustomNetInstallLocation::ipHTTPS, Host("TAV_NET_HTTPS", "localhost"), "pub\\app");
  Run();
  ASSERT_TRUE(shown.empty()) << shown[0];
  for (const char* name : {"readme.txt", "payload.bin", "fresh.txt", "keep.txt"})
    EXPECT_EQ(ReadAll(Dest(name)), ReadAll(src + "\\" + name)) << name;
  EXPECT_EQ(log.Take(), (std::vector<std::string>{"https /pub/app/filelist.lst", "https /pub/app/Group1.1",
                                                   "https /pub/app/Keep.1", "https /pub/app/Fresh.1"}));
}

TEST_F(NetInstall, FailuresLeaveNothingHalfDone) {
  Create();
  Login(TCustomNetInstallLocation::ipHTTP, Host("TAV_NET_HTTP"));
  const std::string built = Build(dtWeb);
  Deploy(built, ServerRoot() + "\\http");
  Deploy(built, ServerRoot() + "\\ftp");
  const std::string host = "127.0.0.1:" + Env("TAV_NET_HTTP");
  auto expectFailure = [&](const std::string& start, const std::string& contains) {
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind(start, 0), 0u) << shown[0];
    EXPECT_NE(shown[0].find(contains), std::string::npos) << shown[0];
    EXPECT_TRUE(badEnd);
    ExpectNothingHalfDone();
  };

  // An error page is refused by its status, whatever it holds.
  WriteFile(ServerRoot() + "\\http\\Group1.1.status", "500", 0);
  Create();
  Login(TCustomNetInstallLocation::ipHTTP, host);
  Run();
  expectFailure("Cannot send request for file Group1.1 to the server. Error message ",
                ". Server " + host + ". Response from server HTTP status 500");
  sys::RemoveFile(ServerRoot() + "\\http\\Group1.1.status");

  // A missing file: the group's archive came, the one-by-one file did not. The failed run keeps its
  // record and the local copy, which the next start finds instead of fetching it again.
  sys::RemoveFile(ServerRoot() + "\\http\\Fresh.1");
  Create();
  Login(TCustomNetInstallLocation::ipHTTP, host);
  log.Take();
  Run();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Could not find the file Fresh.1 on the server. Error message Unregistered error code. Server " +
                          host + ". Response from server HTTP status 404 File not found");
  EXPECT_FALSE(sys::FileExists(Dest("fresh.txt")));
  EXPECT_EQ(ReadAll(Dest("payload.bin")), ReadAll(src + "\\payload.bin"));
  sys::RemoveFile(Dest("payload.bin"));
  sys::RemoveFile(Dest("readme.txt"));
  EXPECT_EQ(log.Take(),
            (std::vector<std::string>{"http /filelist.lst", "http /Group1.1", "http /Keep.1", "http /Fresh.1"}));
  Deploy(built, ServerRoot() + "\\http");
  Create();
  Login(TCustomNetInstallLocation::ipHTTP, host);
  EXPECT_FALSE(group->LocalArchive().empty());
  Run();
  ASSERT_TRUE(shown.empty()) << shown[0];
  EXPECT_EQ(log.Take(), (std::vector<std::string>{"http /filelist.lst", "http /Fresh.1"}));
  EXPECT_EQ(ReadAll(Dest("payload.bin")), ReadAll(src + "\\payload.bin"));
  EXPECT_EQ(ReadAll(Dest("fresh.txt")), ReadAll(src + "\\fresh.txt"));
  for (const char* name : {"readme.txt", "payload.bin", "fresh.txt", "keep.txt"}) sys::RemoveFile(Dest(name));

  // The FTP server's missing file.
  sys::RemoveFile(ServerRoot() + "\\ftp\\Group1.1");
  Create();
  Login(TCustomNetInstallLocation::ipFTP, Host("TAV_NET_FTP"));
  Run();
  expectFailure("Cannot open file Group1.1 on server. Error message ", "Response from server 550");

  // Wrong credentials.
  Create();
  Login(TCustomNetInstallLocation::ipFTP, Host("TAV_NET_FTP"), "", false);
  server->LoginInformation().Username = "tav";
  server->LoginInformation().Password = "wrong";
  Run();
  expectFailure("Cannot connect to host " + Host("TAV_NET_FTP") + ". Error message ERROR_INTERNET_",
                "Response from server 530");

  // Nobody listening, over either protocol.
  Create();
  Login(TCustomNetInstallLocation::ipHTTP, Host("TAV_NET_CLOSED"));
  Run();
  expectFailure("Cannot send request for file filelist.lst to the server. Error message ERROR_INTERNET_CANNOT_CONNECT",
                "Server " + Host("TAV_NET_CLOSED"));
  Create();
  Login(TCustomNetInstallLocation::ipFTP, Host("TAV_NET_CLOSED"));
  Run();
  expectFailure("Cannot connect to host " + Host("TAV_NET_CLOSED") + ". Error message ERROR_INTERNET_CANNOT_CONNECT",
                "Server " + Host("TAV_NET_CLOSED"));

  // A connection that ends halfway through: the announced length tells.
  Create();
  Login(TCustomNetInstallLocation::ipHTTP, Host("TAV_NET_CUT"));
  Run();
  expectFailure("Only 146 of the 292 bytes of the file filelist.lst arrived from the server", "Server " +
                                                                                                   Host("TAV_NET_CUT"));
  log.Take();

  // Cancel during the download of the group's archive: the user's abort, quietly.
  Create();
  Login(TCustomNetInstallLocation::ipHTTP, host);
  bool aborted = false;
  int blocks = 0;
  server->OnAfterDownload = [&](TObject*, bool a) { aborted = a; };
  group->OnDataReceived = [&](TObject*, const std::string&, std::int64_t, std::int64_t, std::int64_t, const char*) {
    if (++blocks == 2) SetUserAbortRequested(true);  // what the progress window's Cancel does
  };
  Run();
  EXPECT_TRUE(shown.empty()) << shown[0];
  EXPECT_TRUE(badEnd);
  EXPECT_TRUE(aborted);
  EXPECT_EQ(blocks, 2);
  ExpectNothingHalfDone();
  // A cancelled run removes its record, and with it any local copy.
  EXPECT_TRUE(InstallRecordKey().empty() ||
              !sys::RegKey::Open(sys::RootKey::LocalMachine, InstallRecordKey(), false).IsOpen());
}

TEST_F(NetInstall, ProjectStreamAndInstallerLocation) {
  Create();
  // The location as the project stream describes it.
  const TLoginInformation& login = server->LoginInformation();
  EXPECT_EQ(login.Directory, "pub\\app");
  EXPECT_EQ(login.Hostname, "files.example:2121");
  EXPECT_EQ(login.Password, "secret");
  EXPECT_EQ(login.Username, "tav");
  EXPECT_EQ(login.Protocol, TCustomNetInstallLocation::ipFTP);
  EXPECT_FALSE(login.Anonymous);
  EXPECT_EQ(install->DistributeType(), dtWeb);
  // The installer's location serves every object without one of its own.
  EXPECT_EQ(GetNetLocation(group), server);
  EXPECT_EQ(GetNetLocation(files["Readme"]), server);
  EXPECT_EQ(group->NetPath(), "pubapp\\files.example2121");
  // Nothing is fetched for a location whose login says nowhere.
  server->LoginInformation().Anonymous = true;
  server->LoginInformation().Hostname = " ";
  try {
    group->DownloadArchive();
    ADD_FAILURE() << "downloaded without a host";
  } catch (const IEFileRelated& e) {
    EXPECT_EQ(e.Message(), "Group1 could not install itself because the LoginInformation property of the TInstall "
                           "component has not been properly filled in");
  }
  EXPECT_TRUE(group->LocalArchive().empty());
  // Without it the distribution can only be traditional, and nothing has a location any more.
  delete server;
  server = nullptr;
  EXPECT_EQ(install->NetLocation(), nullptr);
  EXPECT_EQ(install->DistributeType(), dtTraditional);
  EXPECT_EQ(GetNetLocation(files["Readme"]), nullptr);
  install->SetState(csDesigning);
  EXPECT_THROW(install->SetDistributeType(dtWeb), IEInstallNetLocNil);
  auto* other = new TNetInstallLocation(form);
  install->SetNetLocation(other);
  install->SetDistributeType(dtTraditionalNet);
  EXPECT_EQ(install->DistributeType(), dtTraditionalNet);
  install->ClearState(csDesigning);
}

TEST(NetLocation, PiecesAndErrors) {
  // The message form and the names of the library's errors.
  EXPECT_EQ(NetErrorMessage("Cannot open internet connection", 12029, "files.example", ""),
            "Cannot open internet connection. Error message ERROR_INTERNET_CANNOT_CONNECT. Server files.example. "
            "Response from server No server response");
  EXPECT_EQ(WindowsErrorName(6), "ERROR_INVALID_HANDLE");
  EXPECT_EQ(WindowsErrorName(12001), "ERROR_INTERNET_OUT_OF_HANDLES");
  EXPECT_EQ(WindowsErrorName(12031), "ERROR_INTERNET_CONNECTION_RESET");
  EXPECT_EQ(WindowsErrorName(12111), "ERROR_FTP_DROPPED");
  EXPECT_EQ(WindowsErrorName(12138), "ERROR_GOPHER_UNKNOWN_LOCATOR");
  EXPECT_EQ(WindowsErrorName(12155), "ERROR_HTTP_HEADER_ALREADY_EXISTS");
  EXPECT_EQ(WindowsErrorName(12045), "ERROR_INTERNET_INVALID_CA");
  for (std::uint32_t code : {0u, 12000u, 12033u, 12139u, 12156u}) EXPECT_EQ(WindowsErrorName(code), "Unregistered error code");

  EXPECT_EQ(ServerPath(""), "/");
  EXPECT_EQ(ServerPath("  "), "/");
  EXPECT_EQ(ServerPath("pub\\app\\"), "pub/app/");
  std::string host;
  std::uint16_t port = 1;
  for (const auto& [text, h, p] : std::vector<std::tuple<std::string, std::string, int>>{
           {"files.example", "files.example", 0}, {"127.0.0.1:8080", "127.0.0.1", 8080}, {"[::1]:21", "::1", 21},
           {"fe80::1", "fe80::1", 0}, {"host:99999", "host:99999", 0}, {"host:", "host:", 0}}) {
    SplitHostPort(text, host, port);
    EXPECT_EQ(host, h) << text;
    EXPECT_EQ(port, p) << text;
  }

  TLoginInformation a;
  EXPECT_FALSE(a.FilledIn());
  a.Hostname = " ";
  EXPECT_FALSE(a.FilledIn());
  a.Anonymous = false;
  a.Username = "me";
  EXPECT_TRUE(a.FilledIn());
  a.Protocol = TCustomNetInstallLocation::ipFTP;
  a.Directory = "d";
  a.Password = "p";
  TLoginInformation b;
  b.Assign(a);
  EXPECT_EQ(std::tie(b.Anonymous, b.Directory, b.Hostname, b.Password, b.Protocol, b.Username),
            std::tie(a.Anonymous, a.Directory, a.Hostname, a.Password, a.Protocol, a.Username));

  // The global list, and the library's entry points.
  EXPECT_THROW(NetLocations().Add(nullptr), IENetList);
  const int before = NetLocations().Count();
  {
    TNetInstallLocation location(nullptr);
    EXPECT_EQ(NetLocations().Count(), before + 1);
    location.LoadWinInet();
    EXPECT_TRUE(location.Loaded());
    // A download that never reaches its server names the host it tried.
    location.LoginInformation().Hostname = "127.0.0.1:" + Env("TAV_NET_CLOSED");
    const std::string local = sys::TempDirectory() + "\\tav-net-unreached.bin";
    ASSERT_TRUE(sys::WriteFileReplacing(local, "kept"));
    try {
      location.Download("x.1", local);
      ADD_FAILURE() << "downloaded from a closed port";
    } catch (const ENIL_HTTPSendRequest& e) {
      EXPECT_NE(std::string(e.Message()).find("Server 127.0.0.1:"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(CurrentNetLocation(), &location);
    // What stood at the local path before stays.
    EXPECT_EQ(ReadAll(local), "kept");

    // A file that merely says 404 near its start is a file like any other; an empty one is missing; a
    // destination that cannot be written is the location's own failure.
    location.Disconnect();
    location.LoginInformation().Hostname = "127.0.0.1:" + Env("TAV_NET_HTTP");
    const std::string served = ServerRoot() + "\\http\\";
    const std::string says404 = "HTTP/1.0 404 Not Found -- but this is the file's own content";
    ASSERT_TRUE(sys::WriteFileReplacing(served + "says404.bin", says404));
    ASSERT_TRUE(sys::WriteFileReplacing(served + "empty.bin", ""));
    std::vector<std::int64_t> totals;
    location.OnDataReceived = [&](TObject*, const std::string& name, std::int64_t, std::int64_t total,
                                  std::int64_t size, const char*) {
      EXPECT_EQ(name, "says404.bin");
      EXPECT_EQ(size, static_cast<std::int64_t>(says404.size()));
      totals.push_back(total);
    };
    location.Download("says404.bin", local);
    EXPECT_EQ(ReadAll(local), says404);
    EXPECT_EQ(totals, std::vector<std::int64_t>{static_cast<std::int64_t>(says404.size())});
    location.OnDataReceived = nullptr;
    EXPECT_THROW(location.Download("empty.bin", local), ENIL_FileNotFound);
    EXPECT_EQ(ReadAll(local), says404);
    EXPECT_THROW(location.Download("says404.bin", sys::TempDirectory() + "\\no such folder\\x.1"),
                 ENIL_WriteDestFile);

    // A login the server refuses is refused by its status; the right one fetches.
    fs::create_directories(sys::Wide(served + "private"));
    ASSERT_TRUE(sys::WriteFileReplacing(served + "private\\p.bin", "private bytes"));
    location.Disconnect();
    location.LoginInformation().Directory = "private";
    location.LoginInformation().Anonymous = false;
    location.LoginInformation().Username = "tav";
    location.LoginInformation().Password = "wrong";
    try {
      location.Download("p.bin", local);
      ADD_FAILURE() << "fetched with a wrong password";
    } catch (const ENIL_HTTPSendRequest& e) {
      EXPECT_NE(e.Message().find("Response from server HTTP status 401"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(ReadAll(local), says404);
    location.Disconnect();
    location.LoginInformation().Password = "secret";
    location.Download("p.bin", local);
    EXPECT_EQ(ReadAll(local), "private bytes");
    sys::RemoveFile(served + "says404.bin");
    sys::RemoveFile(served + "empty.bin");
    sys::RemoveFile(local);
  }
  EXPECT_EQ(NetLocations().Count(), before);
  EXPECT_EQ(CurrentNetLocation(), nullptr);
}

}  // namespace
