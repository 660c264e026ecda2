// TTvrkCompress against real files and real zlib: round trips, layout, volumes, damage, overwrite
// rules, interrupted runs, and the tvarc tool.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <any>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cstdlib>
#include <memory>
#include <filesystem>
#include <functional>
#include <utility>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "archive/block_deflate.h"
#include "archive/cmp_TTvrkCompress.h"
#include "archive/volume_set.h"
#include "archive/write_behind.h"
#include "archive_fixture.h"
#include "pe_builder.h"
#include "core/exceptions_Tavenrik.h"
#include "core/properties.h"
#include "sys/dates.h"

namespace tav {
namespace {

using archive_test::Int32At;
using archive_test::Join;
using archive_test::kDos2024;
using archive_test::RandomBytes;
using archive_test::ReadAll;
using archive_test::Text;
using archive_test::WriteAll;

const char* const kCorrupt =
    "Could not read the file headers for the compressed file. The Archive file could possible be corrupt";

std::string Inflate(const std::string& data, std::size_t size) {
  std::string out(size, '\0');
  uLongf len = static_cast<uLongf>(size);
  if (uncompress(reinterpret_cast<Bytef*>(out.data()), &len, reinterpret_cast<const Bytef*>(data.data()),
                 static_cast<uLong>(data.size())) != Z_OK)
    return "<invalid zlib stream>";
  out.resize(len);
  return out;
}

// Gives the header at `at` another stored name.
void PatchName(std::string& bytes, std::size_t at, const std::string& name) {
  bytes.at(at + 20) = static_cast<char>(name.size());
  bytes.replace(at + 21, 100, name + std::string(100 - name.size(), '\0'));
}

std::vector<std::string> Listing(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(dir)))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class CompressTest : public archive_test::ScratchTest {
protected:
  void Add(TTvrkCompress& c, const std::string& archive, const std::vector<std::string>& files,
           TlzhCommand command = lzcOverwrite, int uniqueID = 7) {
    c.SetCompressedFile(archive);
    TStringList list;
    for (const auto& f : files) list.Add(f);
    c.SetFilesToProcess(list);
    c.AddFiles(command, uniqueID);
  }
  void Extract(TTvrkCompress& c, const std::string& dir, const std::vector<std::string>& names) {
    c.SetExtractDirectory(dir);
    TStringList list;
    for (const auto& n : names) list.Add(n);
    c.SetFilesToProcess(list);
    c.ExtractFiles();
  }
  std::string MessageOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const Exception& e) {
      return e.what();
    }
    return "<no error>";
  }
};

TEST_F(CompressTest, SingleFileArchiveLayoutAndRoundTrip) {
  const std::string text = Text(300000, 1), noise = RandomBytes(70000, 2);
  const std::vector<std::string> sources = {MakeFile("text.txt", text, kDos2024),
                                            MakeFile("noise.bin", noise, kDos2024 + 1),
                                            MakeFile("empty.dat", "", kDos2024)};
  TTvrkCompress c(nullptr);
  const std::string archive = Path("out/files.1");  // the folder is created on the way
  Add(c, archive, sources, lzcOverwrite, 42);
  EXPECT_EQ(c.FilesToProcess()->Count(), 0);
  EXPECT_FALSE(c.DirectoryLoaded());

  // Walk the bytes as the format describes them, without the reader under test.
  const std::string bytes = ReadAll(archive);
  ASSERT_GE(bytes.size(), 5u);
  EXPECT_EQ(Int32At(bytes, 0), 3);
  EXPECT_EQ(bytes[4], 0);
  const std::string payloads[] = {text, noise, ""};
  std::size_t at = 5;
  for (int i = 0; i < 3; ++i) {
    ASSERT_LE(at + 172, bytes.size());
    const std::int32_t dataStart = Int32At(bytes, at + 132), compressed = Int32At(bytes, at + 136);
    EXPECT_EQ(Int32At(bytes, at + 0), i + 1) << "FileNumber";
    EXPECT_EQ(dataStart, static_cast<std::int32_t>(at + 172));
    EXPECT_EQ(Int32At(bytes, at + 16), dataStart + compressed - 1) << "EndPosition";
    EXPECT_EQ(Int32At(bytes, at + 124), dataStart + compressed) << "NextHeader";
    EXPECT_EQ(Int32At(bytes, at + 128), static_cast<std::int32_t>(payloads[i].size()));
    EXPECT_EQ(Int32At(bytes, at + 144), 42);
    EXPECT_EQ(bytes[at + 12], 0);
    EXPECT_EQ(bytes[at + 140], 0);
    EXPECT_EQ(bytes.substr(at + 21, static_cast<unsigned char>(bytes[at + 20])), sources[i]);
    EXPECT_EQ(Inflate(bytes.substr(static_cast<std::size_t>(dataStart), static_cast<std::size_t>(compressed)),
                      payloads[i].size()),
              payloads[i]);
    at = static_cast<std::size_t>(dataStart + compressed);
  }
  EXPECT_EQ(at, bytes.size());

  TTvrkCompress reader(nullptr);
  reader.SetCompressedFile(archive);
  ASSERT_EQ(reader.GetFileCount(), 3);
  TlzhFileStats stats;
  reader.GetFileStats(1, stats);
  EXPECT_EQ(stats.FileName, sources[1]);
  EXPECT_EQ(stats.Header.FileDate, sys::DosDateTimeToDateTime(kDos2024 + 1));
  EXPECT_EQ(stats.TotalFileSize, static_cast<std::int64_t>(text.size() + noise.size()));
  EXPECT_EQ(MessageOf([&] { reader.GetFileStats(3, stats); }),
            "Tried to access the 3th file. This file is not defined");

  const std::string out = Path("extracted/deeper");
  Extract(reader, out, {sources[0], sources[1], sources[2]});
  EXPECT_EQ(ReadAll(Join(out, "text.txt")), text);
  EXPECT_EQ(ReadAll(Join(out, "noise.bin")), noise);
  EXPECT_TRUE(sys::FileExists(Join(out, "empty.dat")));
  EXPECT_EQ(sys::File::Open(Join(out, "noise.bin"), sys::OpenMode::Read).DosDateTime(), kDos2024 + 1);
  EXPECT_EQ(Listing(out), (std::vector<std::string>{"empty.dat", "noise.bin", "text.txt"}));  // no leftovers
}

// Large members are deflated in blocks on several threads: each is still one zlib stream with its checksum,
// whatever the number of threads, as small as a single-threaded stream within a fraction of a percent.
TEST_F(CompressTest, LargeMembersDeflatedInBlocks) {
  constexpr std::size_t kBlock = TBlockDeflate::kBlock;
  const std::string text = Text(3 * 1024 * 1024 + 777, 11), noise = RandomBytes(kBlock * 5 + 3, 12);
  const std::string even = Text(kBlock * 8, 13);  // ends exactly with a round of blocks
  for (unsigned parallel : {1u, 3u}) {
    TBlockDeflate d(9, parallel);
    std::string stream;
    const auto append = [&](const std::vector<unsigned char>& b) { stream.append(b.begin(), b.end()); };
    append(d.Start());
    for (std::size_t at = 0, n = 0;; at += n) {
      n = std::min(d.Capacity(), even.size() - at);
      std::copy_n(even.data() + at, n, d.Input());
      const bool last = n < d.Capacity();
      ASSERT_TRUE(d.Deflate(n, last));
      for (std::size_t k = 0; k < d.Blocks(); ++k) append(d.Output(k));
      if (last) break;
    }
    append(d.Trailer());
    EXPECT_TRUE(Inflate(stream, even.size()) == even) << parallel;
    static std::string first;
    if (parallel == 1) first = stream;
    else EXPECT_TRUE(stream == first) << "the stream depends on the number of threads";
  }

  const std::vector<std::string> sources = {MakeFile("text.txt", text), MakeFile("noise.bin", noise),
                                            MakeFile("even.txt", even)};
  TTvrkCompress c(nullptr);
  Add(c, Path("big.1"), sources);
  const std::string bytes = ReadAll(Path("big.1"));
  const std::string payloads[] = {text, noise, even};
  std::size_t at = 5;
  for (const std::string& payload : payloads) {
    const auto start = static_cast<std::size_t>(Int32At(bytes, at + 132));
    const auto size = static_cast<std::size_t>(Int32At(bytes, at + 136));
    const std::string member = bytes.substr(start, size);
    EXPECT_TRUE(Inflate(member, payload.size()) == payload);  // zlib checks the Adler-32 at the end
    uLongf bound = compressBound(static_cast<uLong>(payload.size()));
    std::string single(bound, '\0');
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(single.data()), &bound,
                        reinterpret_cast<const Bytef*>(payload.data()), static_cast<uLong>(payload.size()), 9),
              Z_OK);
    EXPECT_LE(size, bound + bound / 200 + 64);
    at = start + size;
  }
  TTvrkCompress r(nullptr);
  r.SetCompressedFile(Path("big.1"));
  for (int i = 0; i < 3; ++i) r.TestMember(i);
  Extract(r, Path("x"), sources);
  EXPECT_TRUE(ReadAll(Join(Path("x"), "text.txt")) == text);
  EXPECT_TRUE(ReadAll(Join(Path("x"), "even.txt")) == even);
}

TEST_F(CompressTest, LevelsMapToZlibLevels) {
  const std::string text = Text(50000, 3);
  const std::string src = MakeFile("t.txt", text);
  // zlib's FLEVEL bits in the stream header tell the level the stream was made with.
  const std::pair<TCompressionLevel, unsigned char> expected[] = {
      {colNone, 0x01}, {colFastest, 0x01}, {colDefault, 0x9C}, {colMax, 0xDA}};
  for (const auto& [level, flg] : expected) {
    TTvrkCompress c(nullptr);
    c.SetCompressionLevel(level);
    Add(c, Path("l.1"), {src});
    const std::string bytes = ReadAll(Path("l.1"));
    EXPECT_EQ(static_cast<unsigned char>(bytes[177]), 0x78);
    EXPECT_EQ(static_cast<unsigned char>(bytes[178]), flg) << "level " << level;
    if (level == colNone) {
      EXPECT_GT(Int32At(bytes, 5 + 136), static_cast<std::int32_t>(text.size()));
    }
  }
}

TEST_F(CompressTest, EmptyListAndAppendingRuns) {
  TTvrkCompress c(nullptr);
  Add(c, Path("a.1"), {});
  EXPECT_EQ(ReadAll(Path("a.1")), std::string(5, '\0'));

  const std::string one = MakeFile("one.txt", Text(1000, 4)), two = MakeFile("two.txt", Text(2000, 5));
  Add(c, Path("a.1"), {one, two}, lzcOnlyAdd, 1);
  const std::string afterFirst = ReadAll(Path("a.1"));
  Add(c, Path("a.1"), {}, lzcOnlyAdd, 2);  // rewrites the count of an existing archive, nothing else
  EXPECT_EQ(ReadAll(Path("a.1")), afterFirst);
  WriteAll(one, "changed");
  Add(c, Path("a.1"), {one}, lzcOnlyAdd, 1);  // the same source again: a second member of that name
  EXPECT_EQ(ReadAll(Path("a.1")).substr(0, afterFirst.size()).substr(5), afterFirst.substr(5));

  TTvrkCompress r(nullptr);
  r.SetCompressedFile(Path("a.1"));
  ASSERT_EQ(r.GetFileCount(), 3);
  EXPECT_EQ(r.Headers().Get(2).FileNumber, 1);  // numbering restarts in every run
  EXPECT_EQ(r.GetHeaderIndex(1), 2);            // the later of two equal IDs wins
  EXPECT_EQ(r.GetHeaderIndex(2), 0);
  Extract(r, Path("x"), {one});  // lookups by name find the first member
  EXPECT_EQ(ReadAll(Join(Path("x"), "one.txt")), Text(1000, 4));
}

// Adds within a batch keep the archive open with its directory: the result is the archive that separate
// adds make, readable by others after every member, and neither a failed add nor a read in between upsets it.
TEST_F(CompressTest, AddsInABatchMakeTheSameArchive) {
  std::vector<std::string> files;
  for (int i = 0; i < 5; ++i) files.push_back(MakeFile("f" + std::to_string(i) + ".txt", Text(3000 + 500 * i, i)));
  TTvrkCompress plain(nullptr);
  Add(plain, Path("plain.1"), {files[0]}, lzcOverwrite, 1);
  for (int i = 1; i < 5; ++i) Add(plain, Path("plain.1"), {files[i]}, lzcOnlyAdd, i + 1);

  TTvrkCompress c(nullptr);
  c.BeginBatch();
  Add(c, Path("batch.1"), {files[0]}, lzcOverwrite, 1);
  for (int i = 1; i < 5; ++i) {
    if (i == 2) {
      EXPECT_NE(MessageOf([&] { Add(c, Path("batch.1"), {Path("missing.txt")}, lzcOnlyAdd, 9); }), "<no error>");
      Add(c, Path("other.1"), {files[0]}, lzcOnlyAdd, 1);  // another archive in between
    }
    if (i == 3) {
      Extract(c, Path("x"), {files[1]});  // the same compressor reads the archive in between
      EXPECT_EQ(ReadAll(Join(Path("x"), "f1.txt")), Text(3500, 1));
    }
    Add(c, Path("batch.1"), {files[i]}, lzcOnlyAdd, i + 1);
    TTvrkCompress reader(nullptr);
    reader.SetCompressedFile(Path("batch.1"));
    EXPECT_EQ(reader.GetFileCount(), i + 1);
  }
  c.EndBatch();
  EXPECT_EQ(ReadAll(Path("batch.1")), ReadAll(Path("plain.1")));
  TTvrkCompress other(nullptr);
  other.SetCompressedFile(Path("other.1"));
  EXPECT_EQ(other.GetFileCount(), 1);
  EXPECT_TRUE(std::filesystem::remove(std::filesystem::path(Path("batch.1"))));  // closed at the batch's end
  // A failed add to an existing archive outside a batch leaves it closed too.
  EXPECT_NE(MessageOf([&] { Add(plain, Path("other.1"), {Path("missing.txt")}, lzcOnlyAdd, 9); }), "<no error>");
  EXPECT_TRUE(std::filesystem::remove(std::filesystem::path(Path("other.1"))));
}

TEST_F(CompressTest, ArchiveInsideALargerFile) {
  const std::string data = Text(40000, 6);
  const std::string src = MakeFile("payload.txt", data, kDos2024);
  TTvrkCompress c(nullptr);
  Add(c, Path("plain.1"), {src}, lzcOverwrite, 1999);
  const std::string exe = std::string(12345, 'M') + ReadAll(Path("plain.1"));
  WriteAll(Path("setup.exe"), exe);

  TTvrkCompress r(nullptr);
  r.SetCompressedFile(Path("setup.exe"));
  r.SetOffset(12345);
  ASSERT_EQ(r.GetFileCount(), 1);
  EXPECT_EQ(r.GetHeaderIndex(1999), 0);
  r.TestMember(0);
  Extract(r, Path("out"), {src});
  EXPECT_EQ(ReadAll(Join(Path("out"), "payload.txt")), data);

  TTvrkCompress wrong(nullptr);
  wrong.SetCompressedFile(Path("setup.exe"));  // read at 0 it is not an archive
  EXPECT_EQ(MessageOf([&] { wrong.GetFileCount(); }), kCorrupt);
}

TEST_F(CompressTest, IdsOutsideTheTableAndLongNames) {
  std::string deep = dir_;
  for (int i = 0; i < 4; ++i) {
    deep = Join(deep, std::string(30, static_cast<char>('a' + i)));
    ASSERT_TRUE(sys::MakeDir(deep));
  }
  const std::string longPath = Join(deep, "file.txt");
  ASSERT_GT(longPath.size(), 100u);
  WriteAll(longPath, "long");
  TTvrkCompress c(nullptr);
  Add(c, Path("ids.1"), {longPath}, lzcOverwrite, 2000);  // the full path opens although the name is cut
  TTvrkCompress r(nullptr);
  r.SetCompressedFile(Path("ids.1"));
  ASSERT_EQ(r.GetFileCount(), 1);
  EXPECT_EQ(r.Headers().Get(0).UniqueID, 2000);
  EXPECT_EQ(r.GetHeaderIndex(2000), 0);
  EXPECT_EQ(r.Headers().Get(0).FileName, longPath.substr(0, 100));
  // The file is found by the path it was added with, although the stored name is cut.
  ASSERT_TRUE(sys::MakeDir(Path("o")));
  Extract(r, Path("o"), {longPath});
  EXPECT_EQ(ReadAll(Join(Path("o"), "file.txt")), "long");
}

TEST_F(CompressTest, DirectoryIsKeptAcrossVolumesOfOneArchive) {
  const std::string src = MakeFile("k.txt", "k");
  TTvrkCompress c(nullptr);
  Add(c, Path("files.1"), {src});
  c.LoadDirectory();
  c.SetCompressedFile(Path("FILES.2"));
  EXPECT_TRUE(c.DirectoryLoaded());
  c.SetCompressedFile(Path("other.1"));
  EXPECT_FALSE(c.DirectoryLoaded());
}

// What a project stream sees: the published properties in order, their defaults, the events.
TEST(CompressClass, PublishedPropertiesAndEvents) {
  RegisterCompressClasses();
  const TClassInfo* info = FindClass("TTvrkCompress");
  ASSERT_NE(info, nullptr);
  std::vector<std::string> names;
  for (const TPropInfo& p : info->Properties) names.push_back(p.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Abort", "CompressedFile", "CompressionLevel", "ExtractDirectory",
                                             "FilesToProcess", "Offset", "Overwrite", "OnAborted", "OnAfterAdding",
                                             "OnBeforeAdding", "OnAfterExtracting", "OnBeforeExtracting",
                                             "OnFullDisk", "OnListing", "OnNewDisk", "OnReplace", "OnStatus"}));
  std::unique_ptr<TComponent> made(info->Create(nullptr));
  auto& c = static_cast<TTvrkCompress&>(*made);
  const TPropInfo* level = info->FindProperty("CompressionLevel");
  EXPECT_EQ(c.CompressionLevel(), colMax);
  EXPECT_TRUE(level->IsDefault(c));
  level->SetOrd(c, colFastest);
  EXPECT_EQ(c.CompressionLevel(), colFastest);
  EXPECT_FALSE(info->FindProperty("Overwrite")->IsDefault(c));  // always written
  EXPECT_EQ(c.Overwrite(), owAlways);
  const TPropInfo* status = info->FindProperty("OnStatus");
  int fired = 0;
  status->SetEvent(c, std::any(TlzhFileStatsEvent([&](TTvrkCompress&, const TlzhFileStats&) { ++fired; })));
  EXPECT_TRUE(status->EventAssigned(c));
  c.OnStatus(c, TlzhFileStats());
  EXPECT_EQ(fired, 1);

  TStringList lines;
  lines.SetStrings({"a", "  ", "", "b"});
  c.SetFilesToProcess(lines);
  EXPECT_EQ(lines.ToVector(), (std::vector<std::string>{"a", "b"}));  // the list passed in loses its blanks
  EXPECT_EQ(c.FilesToProcess()->ToVector(), (std::vector<std::string>{"a", "b"}));
}

TEST(CompressStats, PercentagesRoundHalvesToEven) {
  EXPECT_EQ(Percentage(1, 8), 12);    // 12.5
  EXPECT_EQ(Percentage(27, 200), 14);  // 13.5
  EXPECT_EQ(Percentage(2, 3), 67);
  EXPECT_EQ(Percentage(5, 0), 0);
  EXPECT_EQ(Percentage(0, 0), 0);
  EXPECT_EQ(Percentage(1000, 1), 255);
}

// Byte counts past 2 GiB: a member whose stream holds more than the largest size a header can give.
// The stream is one full-flushed block of 1 MiB zeros repeated, so it is made without deflating 2 GiB.
TEST_F(CompressTest, CountsPastTwoGibibytesStayExact) {
  const std::string zeros(1 << 20, '\0');
  z_stream z{};
  ASSERT_EQ(deflateInit(&z, 1), Z_OK);
  std::string block(zeros.size(), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.data()));
  z.avail_in = static_cast<uInt>(zeros.size());
  z.next_out = reinterpret_cast<Bytef*>(block.data());
  z.avail_out = static_cast<uInt>(block.size());
  ASSERT_EQ(deflate(&z, Z_FULL_FLUSH), Z_OK);
  ASSERT_EQ(z.avail_in, 0u);
  block.resize(block.size() - z.avail_out);
  deflateEnd(&z);
  const int blocks = 2049;
  const uLong one = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(zeros.data()),
                            static_cast<uInt>(zeros.size()));
  uLong check = one;
  std::string stream = block.substr(0, 2);  // the zlib header
  for (int i = 0; i < blocks; ++i) {
    stream += block.substr(2);
    if (i > 0) check = adler32_combine(check, one, static_cast<z_off_t>(zeros.size()));
  }
  stream += std::string("\x03\x00", 2);  // an empty final block
  for (int shift = 24; shift >= 0; shift -= 8) stream += static_cast<char>((check >> shift) & 0xFF);

  TFileHeader h;
  h.FileNumber = 1;
  h.FileName = "zeros.bin";
  h.FileSize = INT32_MAX;
  h.DataStart = 5 + 172;
  h.CompressedSize = static_cast<std::int32_t>(stream.size());
  h.EndPosition = h.DataStart + h.CompressedSize - 1;
  h.NextHeader = h.EndPosition + 1;
  const TFileHeaderRecord record = h.Encode();
  WriteAll(Path("big.1"), std::string("\x01\x00\x00\x00\x00", 5) +
                              std::string(reinterpret_cast<const char*>(record.data()), record.size()) + stream);

  TTvrkCompress r(nullptr);
  r.SetCompressedFile(Path("big.1"));
  TlzhFileStats last;
  std::int64_t events = 0;
  r.OnStatus = [&](TTvrkCompress&, const TlzhFileStats& s) {
    last = s;
    ++events;
  };
  EXPECT_EQ(MessageOf([&] { r.TestMember(0); }),
            "The decompressed file's size does not match with the actual size of the file.  The file is zeros.bin");
  // Output stops at the first buffer past the recorded size.
  EXPECT_EQ(last.BytesDone, std::int64_t{INT32_MAX} + 1);
  EXPECT_EQ(last.TotalBytesDone, std::int64_t{INT32_MAX} + 1);
  EXPECT_EQ(last.FileSize, INT32_MAX);
  EXPECT_EQ(last.PercentDone, 100);
  // One event per 64 KB of output; the last buffer's is the closing one.
  EXPECT_EQ(events, (std::int64_t{INT32_MAX} + 1) / 65536);
}

TEST_F(CompressTest, StatusEventsOfARun) {
  const std::string big = RandomBytes(300000, 7);
  const std::vector<std::string> sources = {MakeFile("zero", ""), MakeFile("big", big)};
  TTvrkCompress c(nullptr);
  c.SetCompressionLevel(colNone);
  std::vector<TlzhFileStats> seen;
  int before = 0, after = 0;
  c.OnStatus = [&](TTvrkCompress&, const TlzhFileStats& s) { seen.push_back(s); };
  c.OnBeforeAdding = [&](TTvrkCompress&, const TlzhFileStats& s) { ++before; };
  c.OnAfterAdding = [&](TTvrkCompress&, const TlzhFileStats& s) { ++after; };
  Add(c, Path("s.1"), sources);
  EXPECT_EQ(before, 2);
  EXPECT_EQ(after, 2);
  ASSERT_GE(seen.size(), 4u);
  for (const auto& s : seen) {
    if (s.FileName != sources[0]) continue;
    EXPECT_EQ(s.PercentDone, 0);
    EXPECT_EQ(s.CompressionRatio, 0);
  }
  const TlzhFileStats& last = seen.back();
  EXPECT_TRUE(last.FileDone);
  EXPECT_EQ(last.FileName, sources[1]);
  EXPECT_EQ(last.BytesDone, 300000);
  EXPECT_EQ(last.PercentDone, 100);
  EXPECT_EQ(last.TotalPercentDone, 100);
  EXPECT_GT(last.CompressedSize, 300000);  // stored blocks carry some overhead
  EXPECT_EQ(last.CompressionRatio, 100);
  int done = 0;
  for (const auto& s : seen) done += s.FileDone ? 1 : 0;
  EXPECT_EQ(done, 2);
}

// An interrupted run keeps the archive readable: the count covers exactly the members written.
TEST_F(CompressTest, AbortInTheMiddleOfAMemberLeavesACompleteArchive) {
  const std::string first = MakeFile("first.txt", Text(5000, 8));
  const std::string second = MakeFile("second.bin", RandomBytes(1000000, 9));
  TTvrkCompress c(nullptr);
  c.SetCompressionLevel(colNone);
  int aborted = 0;
  c.OnAborted = [&](TObject&) { ++aborted; };
  c.OnStatus = [&](TTvrkCompress& self, const TlzhFileStats& s) {
    if (s.FileName == second && s.BytesDone > 200000) self.SetAbort(true);
  };
  Add(c, Path("ab.1"), {first, second});  // quietly
  EXPECT_EQ(aborted, 1);
  EXPECT_EQ(c.GetFileCount(), 1);  // the directory in memory agrees

  std::string bytes = ReadAll(Path("ab.1"));
  EXPECT_EQ(Int32At(bytes, 0), 1);
  EXPECT_EQ(static_cast<std::size_t>(Int32At(bytes, 5 + 124)), bytes.size());
  TTvrkCompress r(nullptr);
  r.SetCompressedFile(Path("ab.1"));
  ASSERT_EQ(r.GetFileCount(), 1);
  r.TestMember(0);

  // Appending: what was there before stays byte for byte; a failure passes on to the caller.
  c.OnStatus = nullptr;
  const std::string before = ReadAll(Path("ab.1"));
  c.OnBeforeAdding = [&](TTvrkCompress&, const TlzhFileStats& s) {
    if (s.FileName == second) throw EInOutError("handler failed");
  };
  EXPECT_EQ(MessageOf([&] { Add(c, Path("ab.1"), {first, second, first}, lzcOnlyAdd); }), "handler failed");
  EXPECT_TRUE(c.Abort());
  bytes = ReadAll(Path("ab.1"));
  EXPECT_EQ(Int32At(bytes, 0), 2);
  EXPECT_EQ(bytes.substr(5, before.size() - 5), before.substr(5));
  EXPECT_EQ(static_cast<std::size_t>(Int32At(bytes, before.size() + 124)), bytes.size());
  TTvrkCompress r2(nullptr);
  r2.SetCompressedFile(Path("ab.1"));
  ASSERT_EQ(r2.GetFileCount(), 2);
  r2.TestMember(0);
  r2.TestMember(1);
}

TEST_F(CompressTest, FullDiskWhileAddingAndExtracting) {
  const std::string data = RandomBytes(50000, 10);
  const std::string small = MakeFile("small.txt", "small"), src = MakeFile("big.bin", data);
  TTvrkCompress c(nullptr);
  c.SetDiskCapacity(20000);
  EXPECT_EQ(MessageOf([&] { Add(c, Path("fd.1"), {small, src}); }), "The disk is full");
  TTvrkCompress r(nullptr);
  r.SetCompressedFile(Path("fd.1"));
  EXPECT_EQ(r.GetFileCount(), 1);  // the member that fitted

  c.SetDiskCapacity(0);
  Add(c, Path("fd.1"), {src});
  WriteAll(Path("out.bin"), "previous contents");
  TTvrkCompress x(nullptr);
  x.SetCompressedFile(Path("fd.1"));
  x.SetDiskCapacity(30000);
  EXPECT_EQ(MessageOf([&] { Extract(x, Path("o"), {src}); }), "The disk is full");
  int full = 0;
  x.OnFullDisk = [&](TObject&) { ++full; };
  x.ExtractName = "out.bin";
  EXPECT_EQ(MessageOf([&] { Extract(x, dir_, {src}); }),
            "The decompressed file's size does not match with the actual size of the file.  The file is " + src);
  EXPECT_GE(full, 1);
  EXPECT_EQ(ReadAll(Path("out.bin")), "previous contents");  // a failed member replaces nothing
}

TEST_F(CompressTest, DamagedArchivesFailClearlyAndKeepExistingFiles) {
  const std::string data = Text(200000, 11);
  const std::string src = MakeFile("d.txt", data);
  TTvrkCompress c(nullptr);
  c.SetCompressionLevel(colFastest);
  Add(c, Path("good.1"), {src});
  const std::string good = ReadAll(Path("good.1"));
  const std::string out = Path("dest");
  ASSERT_TRUE(sys::MakeDir(out));
  WriteAll(Join(out, "d.txt"), "keep me");

  auto extractFrom = [&](const std::string& bytes) {
    WriteAll(Path("bad.1"), bytes);
    TTvrkCompress r(nullptr);
    r.SetCompressedFile(Path("bad.1"));
    return MessageOf([&] { Extract(r, out, {src}); });
  };
  const std::string corrupt = "The compressed data of the file " + src + " is corrupt";
  // Data that ends before its zlib stream does is damaged, however little is missing.
  for (std::size_t cut : {500, 5, 4, 1}) EXPECT_EQ(extractFrom(good.substr(0, good.size() - cut)), corrupt) << cut;
  std::string flipped = good;
  for (std::size_t i = 1000; i < 1100; ++i) flipped[i] = static_cast<char>(flipped[i] ^ 0x5A);
  const std::string flippedMessage = extractFrom(flipped);
  EXPECT_TRUE(flippedMessage == "The compressed data of the file " + src + " is corrupt" ||
              flippedMessage ==
                  "The decompressed file's size does not match with the actual size of the file.  The file is " + src)
      << flippedMessage;
  std::string bigger = good;
  archive_test::PutInt32At(bigger, 5 + 128, 1000);  // output beyond the recorded size stops early
  EXPECT_EQ(extractFrom(bigger),
            "The decompressed file's size does not match with the actual size of the file.  The file is " + src);
  std::string badStart = good;
  archive_test::PutInt32At(badStart, 5 + 132, -100);
  EXPECT_EQ(extractFrom(badStart), kCorrupt);
  EXPECT_EQ(extractFrom(good.substr(0, 100)), kCorrupt);
  // A stream header that is not deflate's, or asks for a preset dictionary, is damage as well.
  for (const auto& [at, bits] : {std::pair{0, 0x0F}, std::pair{1, 0x20}}) {
    std::string header = good;
    const std::size_t start = static_cast<std::size_t>(Int32At(good, 5 + 132)) + at;
    header[start] = static_cast<char>(header[start] ^ bits);
    EXPECT_EQ(extractFrom(header), corrupt) << at;
  }

  // Stored blocks: a flipped data byte leaves the stream well formed; only its checksum tells, also when
  // the member's end position leaves the checksum out.
  c.SetCompressionLevel(colNone);
  Add(c, Path("stored.1"), {src});
  std::string stored = ReadAll(Path("stored.1"));
  stored[5 + 172 + 5000] = static_cast<char>(stored[5 + 172 + 5000] ^ 1);
  EXPECT_EQ(extractFrom(stored), corrupt);
  TTvrkCompress tester(nullptr);
  tester.SetCompressedFile(Path("bad.1"));
  EXPECT_EQ(MessageOf([&] { tester.TestMember(0); }), corrupt);
  archive_test::PutInt32At(stored, 5 + 16, Int32At(stored, 5 + 16) - 4);
  EXPECT_EQ(extractFrom(stored), corrupt);
  EXPECT_EQ(extractFrom(stored.substr(0, stored.size() - 4)), corrupt);
  EXPECT_EQ(extractFrom(""), kCorrupt);
  EXPECT_EQ(ReadAll(Join(out, "d.txt")), "keep me");
  EXPECT_EQ(Listing(out), std::vector<std::string>{"d.txt"});

  TTvrkCompress missing(nullptr);
  missing.SetCompressedFile(Path("nothere.1"));
  EXPECT_EQ(MessageOf([&] { missing.GetFileCount(); }), "Cannot open the compressed file " + Path("nothere.1"));
  EXPECT_EQ(extractFrom(good), "<no error>");
  EXPECT_EQ(ReadAll(Join(out, "d.txt")), data);
}

TEST_F(CompressTest, ExtractionPutsMembersOnlyInsideTheDirectory) {
  const std::string src = MakeFile("n.txt", "n");
  TTvrkCompress c(nullptr);
  Add(c, Path("n.1"), {src});
  TTvrkCompress r(nullptr);
  r.SetCompressedFile(Path("n.1"));
  const std::string out = Path("inner");
  r.ExtractName = "../../escaped.txt";
  Extract(r, out, {src});
  EXPECT_EQ(ReadAll(Join(out, "escaped.txt")), "n");
  EXPECT_FALSE(sys::FileExists(Join(dir_, "escaped.txt")));
  r.ExtractName = "..";
  EXPECT_EQ(MessageOf([&] { Extract(r, out, {src}); }), "Cannot create the file " + Join(out, ".."));
}

// With folders kept, members go to their stored relative paths; two that name one file by Windows' rules
// of case collide there and are different files elsewhere.
TEST_F(CompressTest, KeptFoldersAndNamesDifferingInCase) {
  const std::string lower = MakeFile("lower.txt", "lower"), other = MakeFile("other.txt", "other");
  TTvrkCompress c(nullptr);
  Add(c, Path("k.1"), {lower, other});
  std::string bytes = ReadAll(Path("k.1"));
  PatchName(bytes, 5, "docs/read me.txt");
  PatchName(bytes, static_cast<std::size_t>(Int32At(bytes, 5 + 124)), "DOCS\\Read Me.TXT");
  WriteAll(Path("k.1"), bytes);

  TTvrkCompress r(nullptr);
  r.SetCompressedFile(Path("k.1"));
  r.SetKeepFolders(true);
  const std::string out = Path("out");
#ifdef _WIN32
  EXPECT_EQ(MessageOf([&] { Extract(r, out, {"docs/read me.txt", "DOCS\\Read Me.TXT"}); }),
            "Two members would be extracted to the same file " + Join(out, "DOCS\\Read Me.TXT"));
  EXPECT_EQ(ReadAll(Join(out, "docs\\read me.txt")), "lower");
#else
  Extract(r, out, {"docs/read me.txt", "DOCS\\Read Me.TXT"});
  EXPECT_EQ(ReadAll(Join(out, "docs/read me.txt")), "lower");
  EXPECT_EQ(ReadAll(Join(out, "DOCS/Read Me.TXT")), "other");
#endif
  // The name a handler gives is held to the same rules.
  r.ExtractName = "../up.txt";
  EXPECT_EQ(MessageOf([&] { Extract(r, out, {"docs/read me.txt"}); }),
            "The stored name ../up.txt is not a path inside the extraction folder");
  EXPECT_FALSE(sys::FileExists(Path("up.txt")));
}

TEST_F(CompressTest, VolumeSetAsksForADiskAtMostFourTimes) {
  TVolumeSet lonely(Path("absent.1"), false, nullptr);
  EXPECT_EQ(MessageOf([&] { lonely.Locate(2); }), "Could not open the correct disk file 2");
  int asked = 0;
  std::vector<std::string> offered;
  TVolumeSet missing(Path("absent.1"), false, [&](int disk, std::string& dir) {
    ++asked;
    offered.push_back(dir);
    EXPECT_EQ(disk, 3);
    return true;
  });
  EXPECT_EQ(MessageOf([&] { missing.Locate(3); }), "Cannot open the compressed file " + Path("absent.1"));
  EXPECT_EQ(asked, 4);
  EXPECT_EQ(offered, std::vector<std::string>(4, dir_));  // the directory without a trailing separator
  EXPECT_EQ(MessageOf([&] { TVolumeSet(Path("absent.1"), false, [](int, std::string&) { return false; }).Locate(1); }),
            "Could not open the correct disk file 1");

  // Found on the third answer; the next volume is looked for in that folder first, the name stays.
  ASSERT_TRUE(sys::MakeDir(Path("disk")));
  WriteAll(Join(Path("disk"), "absent.1"), "volume 1");
  WriteAll(Join(Path("disk"), "absent.2"), "volume 2");
  asked = 0;
  TVolumeSet spanned(Path("absent.1"), true, [&](int, std::string& dir) {
    if (++asked == 3) dir = IncludeTrailingPathDelimiter(Path("disk"));
    return true;
  });
  EXPECT_EQ(spanned.Locate(1), Join(Path("disk"), "absent.1"));
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(spanned.Locate(2), Join(Path("disk"), "absent.2"));
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(spanned.BaseName(), Path("absent.1"));

  // Writing asks for every new disk and offers the folder as given, then as last answered.
  offered.clear();
  TVolumeSet out = TVolumeSet::ToWrite("A:\\", "files.1", [&](int n, std::string& dir) {
    offered.push_back(dir);
    if (n == 3) dir = "B:";
    return true;
  });
  EXPECT_EQ(out.BaseName(), "A:\\files.1");
  EXPECT_EQ(out.NewVolume(2), "A:\\files.2");
  EXPECT_EQ(out.NewVolume(3), IncludeTrailingPathDelimiter("B:") + "files.3");
  EXPECT_EQ(out.NewVolume(4), IncludeTrailingPathDelimiter("B:") + "files.4");
  EXPECT_EQ(offered, (std::vector<std::string>{"A:\\", "A:\\", "B:"}));
  EXPECT_EQ(MessageOf([] { TVolumeSet::ToWrite("A:", "f.1", nullptr).NewVolume(2); }),
            "There was no event handler for the OnNewDisk event, therefore no new disk could be inserted");
}

TEST_F(CompressTest, OverwriteRulesAgainstFilesTwoSecondsApart) {
  const std::string src = MakeFile("app.dat", "from the archive", kDos2024);
  TTvrkCompress c(nullptr);
  Add(c, Path("ow.1"), {src});
  // Existing files two seconds older, equally old, two seconds newer.
  const std::pair<const char*, std::uint32_t> existing[] = {
      {"older.dat", kDos2024 - 1}, {"same.dat", kDos2024}, {"newer.dat", kDos2024 + 1}};
  struct Case {
    TOverwriteType rule;
    bool replaceOlder, replaceSame, replaceNewer;
  };
  // Without version resources both sides have the same (empty) version.
  const Case cases[] = {{owAlways, true, true, true},
                        {owNever, false, false, false},
                        {owDate, true, false, false},
                        {owVersion, false, false, false},
                        {owVersionDate, true, false, false}};
  for (const Case& k : cases) {
    const std::string out = Path("rule" + std::to_string(k.rule));
    ASSERT_TRUE(sys::MakeDir(out));
    for (const auto& [name, date] : existing) {
      WriteAll(Join(out, name), "existing");
      sys::File f = sys::File::Open(Join(out, name), sys::OpenMode::ReadWrite);
      ASSERT_TRUE(f.SetDosDateTime(date));
    }
    TTvrkCompress r(nullptr);
    r.SetCompressedFile(Path("ow.1"));
    r.SetOverwrite(k.rule);
    int next = 0, skipped = 0, replacing = 0;
    r.OnBeforeExtracting = [&](TTvrkCompress& self, const TlzhFileStats&) { self.ExtractName = existing[next++].first; };
    r.OnReplace = [&](TTvrkCompress&, const TlzhFileStats&) { ++replacing; };
    r.OnStatus = [&](TTvrkCompress&, const TlzhFileStats& s) { skipped += s.FileDone && s.BytesDone == 0; };
    Extract(r, out, {src, src, src});
    const bool expected[] = {k.replaceOlder, k.replaceSame, k.replaceNewer};
    int replaced = 0;
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(ReadAll(Join(out, existing[i].first)), expected[i] ? "from the archive" : "existing")
          << "rule " << k.rule << " file " << existing[i].first;
      replaced += expected[i];
    }
    EXPECT_EQ(replacing, replaced);
    EXPECT_EQ(skipped, 3 - replaced) << "skipped members are reported done";
  }

  // The same rules for plain copies, by the two files' dates.
  const std::string older = MakeFile("c_older.dat", "existing", kDos2024 - 1);
  const std::string newer = MakeFile("c_newer.dat", "existing", kDos2024 + 1);
  c.SetOverwrite(owDate);
  c.CopyUncompressed(src, older);
  c.CopyUncompressed(src, newer);
  EXPECT_EQ(ReadAll(older), "from the archive");
  EXPECT_EQ(sys::File::Open(older, sys::OpenMode::Read).DosDateTime(), kDos2024);
  EXPECT_EQ(ReadAll(newer), "existing");
  c.SetOverwrite(owNever);
  c.CopyUncompressed(src, Path("fresh.dat"));  // nothing there yet: copied under any rule
  EXPECT_EQ(ReadAll(Path("fresh.dat")), "from the archive");

  // An aborted copy stops quietly and leaves the file that was there.
  const std::string big = MakeFile("big.dat", RandomBytes(100000, 12));
  c.SetOverwrite(owAlways);
  c.OnStatus = [](TTvrkCompress& self, const TlzhFileStats& s) {
    if (s.BytesDone >= 16384) self.SetAbort(true);
  };
  c.CopyUncompressed(big, older);
  EXPECT_EQ(ReadAll(older), "from the archive");
  c.CopyUncompressed(big, Path("new.dat"));
  EXPECT_FALSE(sys::FileExists(Path("new.dat")));
}

// Image bytes with a fixed file version ms.ls as a string.
std::string PeWithVersion(std::uint32_t ms, std::uint32_t ls) {
  test::Fixed fixed;
  fixed.fileMS = ms;
  fixed.fileLS = ls;
  test::ImageSpec layout;
  layout.languages = {{0x0409, test::VersionInfo(fixed, {{u"040904E4", {{u"FileVersion", u"0.0"}}}})}};
  const test::Bytes image = test::BuildImage(layout);
  return std::string(image.begin(), image.end());
}

TEST_F(CompressTest, VersionResourcesDecideUnderTheVersionRules) {
  const std::string src = MakeFile("lib.dll", PeWithVersion(0x00010000, 5), kDos2024);
  const std::string huge = MakeFile("huge.dll", PeWithVersion(0xFFFFFFFF, 0xFFFFFFFF), kDos2024);
  TTvrkCompress c(nullptr);
  Add(c, Path("v.1"), {src, huge});
  TTvrkCompress r(nullptr);
  r.SetCompressedFile(Path("v.1"));
  ASSERT_EQ(r.GetFileCount(), 2);
  EXPECT_EQ(r.Headers().Get(0).FileVersion, "1.0.0.5");  // from the fixed information, not the string table
  EXPECT_EQ(r.Headers().Get(1).FileVersion, "65535.65535.65535.65");  // cut to 20 characters

  // Existing files: an older version with a newer date, the same version older, a newer version older.
  const std::pair<const char*, std::string> existing[] = {{"lower.dll", PeWithVersion(0x00010000, 4)},
                                                          {"equal.dll", PeWithVersion(0x00010000, 5)},
                                                          {"higher.dll", PeWithVersion(0x00010000, 10)}};
  const std::uint32_t dates[] = {kDos2024 + 1, kDos2024 - 1, kDos2024 - 1};
  struct Case {
    TOverwriteType rule;
    bool replaced[3];
  };
  const Case cases[] = {{owVersion, {true, false, false}},
                        {owVersionDate, {true, true, false}},
                        {owDate, {false, true, true}}};
  for (const Case& k : cases) {
    const std::string out = Path("v" + std::to_string(k.rule));
    ASSERT_TRUE(sys::MakeDir(out));
    for (int i = 0; i < 3; ++i) {
      WriteAll(Join(out, existing[i].first), existing[i].second + "existing");  // overlay bytes tell them apart
      sys::File f = sys::File::Open(Join(out, existing[i].first), sys::OpenMode::ReadWrite);
      ASSERT_TRUE(f.SetDosDateTime(dates[i]));
    }
    TTvrkCompress x(nullptr);
    x.SetCompressedFile(Path("v.1"));
    x.SetOverwrite(k.rule);
    int next = 0;
    x.OnBeforeExtracting = [&](TTvrkCompress& self, const TlzhFileStats&) { self.ExtractName = existing[next++].first; };
    Extract(x, out, {src, src, src});
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(ReadAll(Join(out, existing[i].first)) == ReadAll(src), k.replaced[i])
          << "rule " << k.rule << " file " << existing[i].first;
    }
  }
}

class SpanTest : public CompressTest {
protected:
  void SetUp() override {
    CompressTest::SetUp();
    payloads_ = {RandomBytes(3000, 20), RandomBytes(7500, 21), Text(4000, 22)};
    for (std::size_t i = 0; i < payloads_.size(); ++i)
      sources_.push_back(MakeFile("m" + std::to_string(i) + ".dat", payloads_[i], kDos2024));
    TTvrkCompress c(nullptr);
    Add(c, Path("single.1"), sources_);
    const std::string bytes = ReadAll(Path("single.1"));
    std::size_t at = 5;
    for (int i = 0; i < 3; ++i) {
      const std::int32_t start = Int32At(bytes, at + 132), size = Int32At(bytes, at + 136);
      data_.push_back(bytes.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(size)));
      at = static_cast<std::size_t>(start + size);
    }
    // Member 1 fills volume 1 exactly; member 2 then needs three more volumes.
    capacity_ = 5 + 3 * 172 + static_cast<std::int64_t>(data_[0].size());
    ASSERT_GT(static_cast<std::int64_t>(data_[1].size()), 2 * capacity_);
    ASSERT_LT(static_cast<std::int64_t>(data_[1].size()), 3 * capacity_);
  }

  // Every volume but the last is filled to the capacity.
  std::vector<int> ExpectedNewDisks() const {
    std::int64_t total = 5 + 3 * 172;
    for (const auto& d : data_) total += static_cast<std::int64_t>(d.size());
    std::vector<int> disks;
    for (int n = 2; n <= (total + capacity_ - 1) / capacity_; ++n) disks.push_back(n);
    return disks;
  }

  // Spreads single.1 over volumes of the test's capacity, the first one in folder out.
  void Span(const std::string& out, TlzhNewDiskEvent onNewDisk) {
    TTvrkCompress c(nullptr);
    c.SetCompressedFile(Path("single.1"));
    c.SetDiskCapacity(capacity_);
    c.OnNewDisk = std::move(onNewDisk);
    c.SpanToDisks(out, "files.1");
  }

  std::vector<std::string> payloads_, sources_, data_;
  std::int64_t capacity_ = 0;
};

TEST_F(SpanTest, VolumesHoldTheDataStreamAndRoundTrip) {
  const std::string out = Path("floppy");
  ASSERT_TRUE(sys::MakeDir(out));
  std::vector<int> disks;
  Span(out, [&](TTvrkCompress&, int disk, std::string& dir) {
    disks.push_back(disk);
    EXPECT_EQ(dir, out);
  });
  EXPECT_EQ(disks, ExpectedNewDisks());

  std::vector<std::string> volumes;
  for (int v = 1; sys::FileExists(Join(out, "files." + std::to_string(v))); ++v) {
    volumes.push_back(ReadAll(Join(out, "files." + std::to_string(v))));
    EXPECT_LE(static_cast<std::int64_t>(volumes.back().size()), capacity_);
  }
  ASSERT_EQ(volumes.size(), ExpectedNewDisks().size() + 1);
  const std::string& v1 = volumes[0];
  EXPECT_EQ(Int32At(v1, 0), 3);
  EXPECT_EQ(v1[4], 1);
  // Rebuild each member's data from (StartDisk, DataStart) .. (EndDisk, EndPosition).
  for (int i = 0; i < 3; ++i) {
    const std::size_t h = 5 + 172 * static_cast<std::size_t>(i);
    EXPECT_EQ(Int32At(v1, h + 124), static_cast<std::int32_t>(h + 172)) << "NextHeader";
    const int startDisk = static_cast<unsigned char>(v1[h + 140]), endDisk = static_cast<unsigned char>(v1[h + 12]);
    const std::int32_t start = Int32At(v1, h + 132), end = Int32At(v1, h + 16);
    ASSERT_GE(startDisk, 1);
    ASSERT_LE(endDisk, static_cast<int>(volumes.size()));
    std::string joined;
    for (int d = startDisk; d <= endDisk; ++d) {
      const std::string& vol = volumes[static_cast<std::size_t>(d - 1)];
      const std::size_t from = d == startDisk ? static_cast<std::size_t>(start) : 0;
      const std::size_t to = d == endDisk ? static_cast<std::size_t>(end) + 1 : vol.size();
      joined += vol.substr(from, to - from);
    }
    EXPECT_EQ(joined, data_[static_cast<std::size_t>(i)]) << "member " << i;
  }
  // Member 1 ends on the last byte of volume 1; member 2 touches three volumes after it.
  EXPECT_EQ(Int32At(v1, 5 + 16), capacity_ - 1);
  EXPECT_EQ(v1[5 + 12], 1);
  EXPECT_EQ(static_cast<unsigned char>(v1[5 + 172 + 12]) - std::max(2, static_cast<int>(v1[5 + 172 + 140])), 2);

  TTvrkCompress r(nullptr);
  r.SetCompressedFile(Join(out, "files.1"));
  const std::string dest = Path("back");
  Extract(r, dest, sources_);
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_EQ(ReadAll(Join(dest, "m" + std::to_string(i) + ".dat")), payloads_[i]) << i;
  EXPECT_EQ(sys::File::Open(Join(dest, "m1.dat"), sys::OpenMode::Read).DosDateTime(), kDos2024);
  for (int i = 0; i < 3; ++i) r.TestMember(i);
}

// Each volume on a disk of its own: the handler says where the next one is, also when the first disk
// is asked for again at the end.
TEST_F(SpanTest, DisksInSeparateFolders) {
  auto disk = [&](int n) { return Path("disk" + std::to_string(n)); };
  TTvrkCompress c(nullptr);
  c.SetCompressedFile(Path("single.1"));
  c.SetDiskCapacity(capacity_);
  ASSERT_TRUE(sys::MakeDir(disk(1)));
  std::vector<int> asked;
  c.OnNewDisk = [&](TTvrkCompress&, int n, std::string& dir) {
    asked.push_back(n);
    if (n == 1) {
      dir = Path("drawer");  // the first disk was put elsewhere meanwhile
      return;
    }
    sys::MakeDir(disk(n));
    dir = disk(n);
  };
  // Take disk 1 out of its folder once the second is asked for.
  const auto original = c.OnNewDisk;
  c.OnNewDisk = [&](TTvrkCompress& self, int n, std::string& dir) {
    if (n == 2) {
      ASSERT_TRUE(sys::MakeDir(Path("drawer")));
      ASSERT_TRUE(sys::RenameFile(Join(disk(1), "files.1"), Join(Path("drawer"), "files.1")));
    }
    original(self, n, dir);
  };
  c.SpanToDisks(disk(1), "files.1");
  std::vector<int> expected = ExpectedNewDisks();
  expected.push_back(1);
  EXPECT_EQ(asked, expected);
  EXPECT_EQ(Int32At(ReadAll(Join(Path("drawer"), "files.1")), 0), 3);

  TTvrkCompress r(nullptr);
  r.SetCompressedFile(Join(Path("drawer"), "files.1"));
  std::vector<int> wanted;
  r.OnNewDisk = [&](TTvrkCompress&, int n, std::string& dir) {
    wanted.push_back(n);
    dir = disk(n);
  };
  const std::string dest = Path("back");
  Extract(r, dest, {sources_[1], sources_[2]});
  EXPECT_EQ(ReadAll(Join(dest, "m1.dat")), payloads_[1]);
  EXPECT_EQ(ReadAll(Join(dest, "m2.dat")), payloads_[2]);
  ASSERT_FALSE(wanted.empty());
  EXPECT_EQ(wanted.front(), 2);  // member 2 starts at the end of the full first volume, which is present
}

// Volumes found in other folders do not change the archive's name: the directory is read from it again,
// messages name it, and the next extraction starts from it rather than from the last volume's folder.
TEST_F(SpanTest, VolumesFoundElsewhereLeaveTheArchiveNameAsGiven) {
  const std::string out = Path("drawer");
  ASSERT_TRUE(sys::MakeDir(out));
  Span(out, [](TTvrkCompress&, int, std::string&) {});
  // Every volume after the first goes to a disk folder of its own.
  auto disk = [&](int n) { return Path("disk" + std::to_string(n)); };
  for (int n : ExpectedNewDisks()) {
    ASSERT_TRUE(sys::MakeDir(disk(n)));
    ASSERT_TRUE(sys::RenameFile(Join(out, "files." + std::to_string(n)), Join(disk(n), "files." + std::to_string(n))));
  }

  const std::string archive = Join(out, "files.1");
  TTvrkCompress r(nullptr);
  r.SetCompressedFile(archive);
  std::vector<std::pair<int, std::string>> asked;
  r.OnNewDisk = [&](TTvrkCompress&, int n, std::string& dir) {
    asked.emplace_back(n, dir);
    dir = disk(n);
  };
  const std::string dest = Path("back");
  Extract(r, dest, {sources_[1]});
  EXPECT_EQ(ReadAll(Join(dest, "m1.dat")), payloads_[1]);
  ASSERT_GE(asked.size(), 2u);
  EXPECT_EQ(asked[0], std::make_pair(2, out));  // looked for beside volume 1
  EXPECT_EQ(asked[1], std::make_pair(3, disk(2)));  // then where the last volume was
  EXPECT_EQ(r.CompressedFile(), archive);

  r.LoadDirectory();
  EXPECT_EQ(r.GetFileCount(), 3);
  EXPECT_EQ(MessageOf([&] { Extract(r, dest, {"nothere.dat"}); }),
            "The file <nothere.dat> was not found in the archive <" + archive + ">");
  asked.clear();
  Extract(r, dest, {sources_[0]});  // volume 1 is where it was given: nobody is asked
  EXPECT_EQ(ReadAll(Join(dest, "m0.dat")), payloads_[0]);
  EXPECT_TRUE(asked.empty());
  Extract(r, dest, {sources_[2]});
  EXPECT_EQ(ReadAll(Join(dest, "m2.dat")), payloads_[2]);
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked[0].second, out);
  r.TestMember(1);
  EXPECT_EQ(r.CompressedFile(), archive);
}

TEST_F(SpanTest, SpanningNeedsAHandlerForTheNextDisk) {
  TTvrkCompress c(nullptr);
  c.SetCompressedFile(Path("single.1"));
  c.SetDiskCapacity(capacity_);
  ASSERT_TRUE(sys::MakeDir(Path("f")));
  EXPECT_EQ(MessageOf([&] { c.SpanToDisks(Path("f"), "files.1"); }),
            "There was no event handler for the OnNewDisk event, therefore no new disk could be inserted");
  EXPECT_TRUE(c.Abort());
  c.SetDiskCapacity(100);  // not even the directory fits
  c.OnNewDisk = [](TTvrkCompress&, int, std::string&) {};
  EXPECT_EQ(MessageOf([&] { c.SpanToDisks(Path("f"), "files.1"); }),
            "Could not write the file headers for the compressed file");
}

#ifndef _WIN32
// The built tool, run as a separate program.
class TvarcTest : public CompressTest {
protected:
  // Runs the tool in the scratch folder; before: shell commands that go first.
  int Run(const std::string& args, const std::string& before = "") {
    const std::string tool = Join(ExtractFileDir(sys::ModuleFileName()), "tvarc");
    const std::string cmd = "cd '" + dir_ + "' && " + before + "'" + tool + "' " + args + " >'" + Path("stdout.txt") + "' 2>'" + Path("stderr.txt") + "'";
    const int rc = std::system(cmd.c_str());
    out_ = ReadAll(Path("stdout.txt"));
    err_ = ReadAll(Path("stderr.txt"));
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }
  std::string Q(const std::string& s) { return "'" + s + "'"; }
  std::string out_, err_;
};

TEST_F(TvarcTest, AddListTestExtractSpanAndVersion) {
  const std::string a = MakeFile("a.txt", Text(20000, 30), kDos2024);
  const std::string b = MakeFile("b.bin", RandomBytes(9000, 31), kDos2024);
  const std::string arc = Path("arc.1");
  // Stored names are the names given, relative to the working folder.
  ASSERT_EQ(Run("add " + Q(arc) + " a.txt --unique-id 5 --level fastest"), 0) << err_;
  ASSERT_EQ(Run("add " + Q(arc) + " --append b.bin"), 0) << err_;
  ASSERT_EQ(Run("list " + Q(arc)), 0) << err_;
  EXPECT_EQ(out_.substr(0, out_.find('\n')), "FileCount 2 Spanned 0");
  EXPECT_NE(out_.find("\n0 1 5 20000 "), std::string::npos) << out_;
  EXPECT_NE(out_.find(" 0:177 0:"), std::string::npos) << out_;
  EXPECT_NE(out_.find(" 2024-05-17 10:20:30 - a.txt\n"), std::string::npos) << out_;
  EXPECT_NE(out_.find("\n1 1 0 9000 "), std::string::npos) << out_;
  ASSERT_EQ(Run("test " + Q(arc)), 0) << err_;
  EXPECT_NE(out_.find("2 members tested"), std::string::npos);

  ASSERT_EQ(Run("extract " + Q(arc) + " " + Q(Path("x"))), 0) << err_;
  EXPECT_EQ(ReadAll(Join(Path("x"), "a.txt")), Text(20000, 30));
  EXPECT_EQ(ReadAll(Join(Path("x"), "b.bin")), RandomBytes(9000, 31));
  WriteAll(Join(Path("x"), "a.txt"), "mine");
  ASSERT_EQ(Run("extract " + Q(arc) + " " + Q(Path("x")) + " --overwrite never a.txt"), 0) << err_;
  EXPECT_EQ(ReadAll(Join(Path("x"), "a.txt")), "mine");
  ASSERT_EQ(Run("extract " + Q(arc) + " " + Q(Path("x")) + " a.txt"), 0) << err_;
  EXPECT_EQ(ReadAll(Join(Path("x"), "a.txt")), Text(20000, 30));

  ASSERT_TRUE(sys::MakeDir(Path("vol")));
  ASSERT_EQ(Run("span " + Q(arc) + " " + Q(Path("vol")) + " --volume-size 4000"), 0) << err_;
  for (int v = 1; v <= 3; ++v) {
    const std::int64_t size = sys::FileSizeOf(Join(Path("vol"), "arc." + std::to_string(v)));
    EXPECT_GT(size, 0) << v;
    EXPECT_LE(size, 4000) << v;
  }
  ASSERT_EQ(Run("list " + Q(Join(Path("vol"), "arc.1"))), 0) << err_;
  EXPECT_EQ(out_.substr(0, out_.find('\n')), "FileCount 2 Spanned 1");
  ASSERT_EQ(Run("test " + Q(Join(Path("vol"), "arc.1"))), 0) << err_;

  ASSERT_EQ(Run("version " + Q(a)), 0) << err_;
  EXPECT_EQ(out_, "\n");
  WriteAll(Path("v.dll"), PeWithVersion(0x00020001, 0x00000007));
  ASSERT_EQ(Run("version " + Q(Path("v.dll"))), 0) << err_;
  EXPECT_EQ(out_, "2.1.0.7\n");
}

TEST_F(TvarcTest, ExtractRecreatesStoredFoldersAndStaysInside) {
  for (const char* d : {"src", "src/a", "src/b", "l", "l/src", "l/src/a", "elsewhere"}) ASSERT_TRUE(sys::MakeDir(Path(d)));
  MakeFile("src/a/x.txt", "first");
  MakeFile("src/b/x.txt", "second");
  const std::string arc = Path("arc.1");
  ASSERT_EQ(Run("add " + Q(arc) + " src/a/x.txt ./src/b/x.txt"), 0) << err_;
  ASSERT_EQ(Run("extract " + Q(arc) + " out"), 0) << err_;
  EXPECT_EQ(ReadAll(Path("out/src/a/x.txt")), "first");
  EXPECT_EQ(ReadAll(Path("out/src/b/x.txt")), "second");
  // Written files have the permissions of any new file, also when they replace one.
  const mode_t mask = umask(0);
  umask(mask);
  struct stat st {};
  ASSERT_EQ(stat(Path("out/src/a/x.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
  ASSERT_EQ(Run("extract " + Q(arc) + " out"), 0) << err_;
  ASSERT_EQ(stat(Path("out/src/b/x.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);

  // Links already in the folder are not followed: a dangling link in a file's place is replaced, a
  // link in a folder's place stops the run.
  ASSERT_EQ(symlink(Path("planted.txt").c_str(), Path("l/src/a/x.txt").c_str()), 0);
  ASSERT_EQ(symlink(Path("elsewhere").c_str(), Path("l/src/b").c_str()), 0);
  EXPECT_EQ(Run("extract " + Q(arc) + " l"), 1);
  EXPECT_EQ(err_, "The folder l/src/b is a symbolic link; nothing is extracted through it\n");
  EXPECT_FALSE(sys::FileExists(Path("planted.txt")));
  ASSERT_EQ(lstat(Path("l/src/a/x.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(ReadAll(Path("l/src/a/x.txt")), "first");
  EXPECT_TRUE(Listing(Path("elsewhere")).empty());

  // Names that leave the folder are refused before anything is written.
  for (const std::string& bad : {std::string("../up.txt"), Path("abs.txt"), std::string("C:drive.txt"),
                                 std::string("src/../../up.txt"), std::string("src/a/")}) {
    std::string bytes = ReadAll(arc);
    PatchName(bytes, 5, bad);
    WriteAll(Path("bad.1"), bytes);
    EXPECT_EQ(Run("extract bad.1 inside"), 1) << bad;
    EXPECT_EQ(err_, "The stored name " + bad + " is not a path inside the extraction folder\n");
  }
  EXPECT_FALSE(sys::FileExists(Path("up.txt")));
  EXPECT_FALSE(sys::FileExists(Path("abs.txt")));
  EXPECT_FALSE(sys::DirExists(Path("inside")));

  // Two members on one file are an error, not an overwrite; names differing in case are two files here.
  ASSERT_EQ(Run("add " + Q(arc) + " --append src/a/x.txt"), 0) << err_;
  EXPECT_EQ(Run("extract " + Q(arc) + " twice"), 1);
  EXPECT_EQ(err_, "Two members would be extracted to the same file twice/src/a/x.txt\n");
  MakeFile("src/a/X.txt", "upper");
  ASSERT_EQ(Run("add case.1 src/a/x.txt src/a/X.txt"), 0) << err_;
  ASSERT_EQ(Run("extract case.1 case"), 0) << err_;
  EXPECT_EQ(ReadAll(Path("case/src/a/x.txt")), "first");
  EXPECT_EQ(ReadAll(Path("case/src/a/X.txt")), "upper");
}

TEST_F(TvarcTest, AddThatFailsKeepsTheArchiveThatStood) {
  MakeFile("a.txt", Text(5000, 40));
  MakeFile("big.bin", RandomBytes(300000, 41));
  ASSERT_EQ(Run("add good.1 a.txt"), 0) << err_;
  const std::string before = ReadAll(Path("good.1"));
  const mode_t mask = umask(0);
  umask(mask);
  struct stat st {};
  ASSERT_EQ(stat(Path("good.1").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
  // A file size limit makes writes fall short as on a full disk.
  EXPECT_EQ(Run("add good.1 big.bin", "ulimit -f 100 && trap '' XFSZ && "), 1);
  EXPECT_EQ(err_, "The disk is full\n");
  EXPECT_EQ(ReadAll(Path("good.1")), before);
  EXPECT_EQ(Listing(dir_), (std::vector<std::string>{"a.txt", "big.bin", "good.1", "stderr.txt", "stdout.txt"}));
}

TEST_F(TvarcTest, FailuresAndUsage) {
  const std::string a = MakeFile("a.txt", Text(50000, 32));
  const std::string arc = Path("arc.1");
  ASSERT_EQ(Run("add " + Q(arc) + " " + Q(a)), 0) << err_;
  const std::string bytes = ReadAll(arc);
  for (std::size_t cut : {40, 5, 3, 1}) {
    WriteAll(arc, bytes.substr(0, bytes.size() - cut));
    EXPECT_EQ(Run("test " + Q(arc)), 1) << cut;
    EXPECT_EQ(err_, "The compressed data of the file " + a + " is corrupt\n");
  }
  EXPECT_EQ(Run("list " + Q(Path("none.1"))), 1);
  EXPECT_EQ(err_, "Cannot open the compressed file " + Path("none.1") + "\n");
  EXPECT_EQ(Run("add " + Q(arc) + " " + Q(Path("missing.txt"))), 1);
  EXPECT_EQ(err_, "Cannot open the file " + Path("missing.txt") + "\n");
  EXPECT_EQ(Run("list " + Q(arc) + " --bogus"), 1);
  EXPECT_NE(err_.find("usage:"), std::string::npos);
  EXPECT_EQ(Run("span " + Q(arc) + " " + Q(dir_)), 1);  // no volume size
  EXPECT_EQ(Run("extract " + Q(arc) + " " + Q(dir_) + " --overwrite sometimes"), 1);
  EXPECT_EQ(Run(""), 1);
}
#endif

// The write-behind queue: jobs run in order on their own thread; the first failure drops the jobs
// queued after it unrun (freeing what they own) and is reported once, at the next Push or Wait.
TEST_F(CompressTest, WriteBehindRunsInOrderAndStopsAtTheFirstFailure) {
  std::mutex m;
  std::condition_variable cv;
  bool release = false;
  std::vector<int> ran;  // written by the queue's thread, read after Wait
  auto freed = std::make_shared<std::atomic<int>>(0);
  struct Owned {
    explicit Owned(std::shared_ptr<std::atomic<int>> c) : count(std::move(c)) {}
    std::shared_ptr<std::atomic<int>> count;
    ~Owned() { ++*count; }
  };
  TWriteBehind queue(100);
  queue.Push([&] {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return release; });
    ran.push_back(1);
  }, 60);
  queue.Push([&] { ran.push_back(2); }, 40);  // fits beside the first: 100 bytes queued
  queue.Push([] { throw ETvrkCompress(std::string("third failed")); });
  for (int i = 0; i < 3; ++i) {
    auto owned = std::make_shared<Owned>(freed);
    queue.Push([&, owned] { ran.push_back(4); });
  }
  {
    std::lock_guard<std::mutex> lock(m);
    release = true;
  }
  cv.notify_all();
  // The dropped jobs are freed before the failure can be reported.
  for (int i = 0; i < 500 && *freed < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(*freed, 3);
  bool pushedRan = false;
  EXPECT_EQ(MessageOf([&] { queue.Push([&] { pushedRan = true; }); }), "third failed");
  queue.Wait();  // reported once
  EXPECT_FALSE(pushedRan);
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));

  queue.Push([&] { ran.push_back(5); }, 1000);  // larger than the limit: it runs alone
  queue.Push([] { throw ETvrkCompress(std::string("late")); });
  EXPECT_EQ(MessageOf([&] { queue.Wait(); }), "late");
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 5}));
}

// A full queue holds its caller until the writer makes room; the jobs still run in the order given.
TEST_F(CompressTest, WriteBehindHoldsThePusherWhileFullAndKeepsTheOrder) {
  std::atomic<bool> release{false};
  std::atomic<int> pushed{0};
  std::vector<int> ran;
  TWriteBehind queue(1 << 20);
  std::thread pusher([&] {
    queue.Push([&] {
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      ran.push_back(0);
    });
    for (int i = 1; i <= 200; ++i) {
      queue.Push([&ran, i] { ran.push_back(i); });
      ++pushed;
    }
  });
  // Until the count has started and stops growing: the pusher is held, well short of its 200 jobs.
  for (int last = -1; last != pushed || pushed == 0;) {
    last = pushed;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_LT(pushed, 200);
  release = true;
  pusher.join();
  queue.Wait();
  ASSERT_EQ(ran.size(), 201u);
  for (int i = 0; i <= 200; ++i) EXPECT_EQ(ran[static_cast<std::size_t>(i)], i);
}

}  // namespace
}  // namespace tav
