// Throughput of adding to and extracting from an archive, against zlib alone on the same bytes.
//   bench_archive [none|fastest|default|max]   (default: default)
// Writes into a new folder under the temporary directory and deletes it at the end. Each phase runs
// three times and the best time counts, since the machines are shared.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "archive/cmp_TTvrkCompress.h"
#include "core/exceptions_Tavenrik.h"
#include "sys/files.h"
#include "sys/unicode.h"

namespace {

using namespace tav;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

struct Payload {
  std::string name;
  std::string bytes;
};

// A fixed mix: prose-like text, structured records, incompressible data and many small files.
std::vector<Payload> MakePayload() {
  std::mt19937 rng(20240517);
  std::vector<Payload> files;
  static const char* const words[] = {"install ", "component ", "registry ", "shortcut ", "the ", "of ",
                                      "version ", "archive ", "folder ", "file ", "\r\n", "setup "};
  for (int f = 0; f < 4; ++f) {
    std::string text;
    while (text.size() < 4u << 20) text += words[rng() % 12];
    files.push_back({"text" + std::to_string(f) + ".txt", std::move(text)});
  }
  for (int f = 0; f < 4; ++f) {
    std::string bin;
    std::uint32_t id = 0;
    while (bin.size() < 4u << 20) {
      std::uint32_t rec[8] = {++id, id * 7, static_cast<std::uint32_t>(rng() % 1000), 0x00400000u + (id & 0xFF) * 16,
                              static_cast<std::uint32_t>(rng()), 0, id % 3 == 0 ? 0xFFFFFFFFu : 0u, 0x12345678u};
      bin.append(reinterpret_cast<const char*>(rec), sizeof rec);
    }
    files.push_back({"data" + std::to_string(f) + ".bin", std::move(bin)});
  }
  for (int f = 0; f < 2; ++f) {
    std::string noise(4u << 20, '\0');
    for (auto& c : noise) c = static_cast<char>(rng());
    files.push_back({"noise" + std::to_string(f) + ".cab", std::move(noise)});
  }
  // TVARC_BENCH_NO_SMALL leaves the small files out, to see the per-file costs apart.
  const int smallFiles = std::getenv("TVARC_BENCH_NO_SMALL") ? 0 : 1500;
  for (int f = 0; f < smallFiles; ++f) {
    std::string small;
    const std::size_t n = 1000 + rng() % 7000;
    while (small.size() < n) small += words[rng() % 12];
    files.push_back({"small" + std::to_string(f) + ".ini", std::move(small)});
  }
  return files;
}

struct RawResult {
  double deflateSeconds = 0, inflateSeconds = 0;
  std::size_t compressed = 0;
};

RawResult RawZlib(const std::vector<Payload>& files, int level) {
  RawResult r;
  std::vector<unsigned char> out(65536);
  std::vector<std::string> streams;
  auto start = Clock::now();
  for (const auto& f : files) {
    z_stream z{};
    deflateInit(&z, level);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(f.bytes.data()));
    z.avail_in = static_cast<uInt>(f.bytes.size());
    std::string stream;
    int rc;
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      rc = deflate(&z, Z_FINISH);
      stream.append(reinterpret_cast<const char*>(out.data()), out.size() - z.avail_out);
    } while (rc != Z_STREAM_END);
    deflateEnd(&z);
    r.compressed += stream.size();
    streams.push_back(std::move(stream));
  }
  r.deflateSeconds = Seconds(start);
  start = Clock::now();
  std::size_t check = 0;
  for (const auto& s : streams) {
    z_stream z{};
    inflateInit(&z);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(s.data()));
    z.avail_in = static_cast<uInt>(s.size());
    int rc;
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      rc = inflate(&z, Z_NO_FLUSH);
      check += out.size() - z.avail_out;
    } while (rc == Z_OK);
    inflateEnd(&z);
  }
  r.inflateSeconds = Seconds(start);
  if (check == 0) std::puts("inflate produced nothing");
  return r;
}

// Writing the same bytes into new files without compression: what any extraction pays on top of
// inflating. One fresh folder per run.
double PlainWrites(const std::vector<Payload>& files, const std::string& dir) {
  sys::MakeDir(dir);
  const auto start = Clock::now();
  for (const auto& f : files) {
    sys::File out = sys::File::Open(IncludeTrailingPathDelimiter(dir) + f.name, sys::OpenMode::Create);
    for (std::size_t at = 0; at < f.bytes.size(); at += 256 * 1024)
      out.Write(f.bytes.data() + at, std::min<std::size_t>(256 * 1024, f.bytes.size() - at));
  }
  return Seconds(start);
}

}  // namespace

int Run(const std::string& levelName) {
  const TCompressionLevel level = levelName == "none"      ? colNone
                                  : levelName == "fastest" ? colFastest
                                  : levelName == "max"     ? colMax
                                                           : colDefault;
  const std::string base = sys::CreateUniqueFile(sys::TempDirectory(), "tvb");
  sys::RemoveFile(base);
  const std::string dir = base + ".bench";
  if (!sys::MakeDir(dir)) {
    std::fprintf(stderr, "cannot create %s\n", dir.c_str());
    return 1;
  }
  const std::string src = IncludeTrailingPathDelimiter(dir) + "src";
  const std::string out = IncludeTrailingPathDelimiter(dir) + "out";
  sys::MakeDir(src);

  int rc = 0;
  try {
    const std::vector<Payload> files = MakePayload();
    std::size_t total = 0;
    TStringList list;
    for (const auto& f : files) {
      const std::string path = IncludeTrailingPathDelimiter(src) + f.name;
      std::ofstream(std::filesystem::path(path), std::ios::binary).write(f.bytes.data(), static_cast<std::streamsize>(f.bytes.size()));
      list.Add(path);
      total += f.bytes.size();
    }
    constexpr int kRuns = 3;
    RawResult raw;
    for (int run = 0; run < kRuns; ++run) {
      const RawResult r = RawZlib(files, ZlibLevel(level));
      if (run == 0 || r.deflateSeconds < raw.deflateSeconds) raw.deflateSeconds = r.deflateSeconds;
      if (run == 0 || r.inflateSeconds < raw.inflateSeconds) raw.inflateSeconds = r.inflateSeconds;
      raw.compressed = r.compressed;
    }

    TTvrkCompress c(nullptr);
    c.SetCompressionLevel(level);
    c.SetCompressedFile(IncludeTrailingPathDelimiter(dir) + "files.1");
    double addSeconds = 0, extractSeconds = 0;
    for (int run = 0; run < kRuns; ++run) {
      TStringList work;
      work.Assign(list);
      c.SetFilesToProcess(work);
      const auto start = Clock::now();
      c.AddFiles(lzcOverwrite, 1);
      const double s = Seconds(start);
      if (run == 0 || s < addSeconds) addSeconds = s;
    }
    const std::int64_t archiveSize = sys::FileSizeOf(c.CompressedFile());
    double writeSeconds = 0;
    for (int run = 0; run < kRuns; ++run) {
      const double s = PlainWrites(files, IncludeTrailingPathDelimiter(dir) + "plain" + std::to_string(run));
      if (run == 0 || s < writeSeconds) writeSeconds = s;
    }
    for (int run = 0; run < kRuns; ++run) {
      // A fresh folder per run: files created where others were just deleted are much slower.
      c.SetExtractDirectory(out + std::to_string(run));
      TStringList work;
      work.Assign(list);
      c.SetFilesToProcess(work);
      const auto start = Clock::now();
      c.ExtractFiles();
      const double s = Seconds(start);
      if (run == 0 || s < extractSeconds) extractSeconds = s;
    }

    const double mb = static_cast<double>(total) / (1 << 20);
    std::printf("payload: %zu files, %.1f MB, level %s\n", files.size(), mb,
                std::string(CompressionLevelNames[level]).c_str());
    std::printf("raw deflate   %8.1f MB/s   ratio %.3f\n", mb / raw.deflateSeconds,
                static_cast<double>(raw.compressed) / static_cast<double>(total));
    std::printf("AddFiles      %8.1f MB/s   ratio %.3f (archive incl. headers)   %.1f %% of raw deflate\n",
                mb / addSeconds, static_cast<double>(archiveSize) / static_cast<double>(total),
                100.0 * raw.deflateSeconds / addSeconds);
    std::printf("raw inflate   %8.1f MB/s\n", mb / raw.inflateSeconds);
    std::printf("plain writes  %8.1f MB/s   (the same bytes into new files, no compression)\n", mb / writeSeconds);
    std::printf("ExtractFiles  %8.1f MB/s   %.1f %% of raw inflate, %.1f %% of raw inflate plus plain writes\n",
                mb / extractSeconds, 100.0 * raw.inflateSeconds / extractSeconds,
                100.0 * (raw.inflateSeconds + writeSeconds) / extractSeconds);
  } catch (const Exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    rc = 1;
  }
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(dir), ec);
  return rc;
}

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) { return Run(argc > 1 ? sys::Narrow(argv[1]) : std::string()); }
#else
int main(int argc, char** argv) { return Run(argc > 1 ? argv[1] : ""); }
#endif
