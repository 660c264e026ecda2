// The archive layout: header records byte by byte, the directory reader against damaged input, names.
#include <gtest/gtest.h>

#include <cstring>

#include "archive/routines_Compression.h"
#include "core/routines_Strings.h"
#include "archive_fixture.h"
#include "core/exceptions_Tavenrik.h"

namespace tav {
namespace {

using archive_test::Int32At;
using archive_test::PutInt32At;

const char* const kCorrupt =
    "Could not read the file headers for the compressed file. The Archive file could possible be corrupt";

std::string AsBytes(const TFileHeaderRecord& r) { return std::string(r.begin(), r.end()); }

TEST(FileHeaderRecord, FieldsLieAtTheirOffsetsLittleEndianWithZeroReserved) {
  TFileHeader h;
  h.FileNumber = 0x01020304;
  h.FileDate = 45429.4309027778;  // some afternoon in 2024
  h.EndDisk = 7;
  h.EndPosition = 0x11223344;
  h.FileName = "C:\\src\\a.txt";
  h.NextHeader = -2;
  h.FileSize = 123456;
  h.DataStart = 177;
  h.CompressedSize = 99;
  h.StartDisk = 3;
  h.UniqueID = 1999;
  h.FileVersion = "1.2.3.4";
  const std::string r = AsBytes(h.Encode());
  ASSERT_EQ(r.size(), 172u);
  EXPECT_EQ(Int32At(r, 0), 0x01020304);
  EXPECT_EQ(static_cast<unsigned char>(r[0]), 0x04);  // little-endian
  double date;
  std::memcpy(&date, &r[4], 8);  // the test machines are little-endian, as the format is
  EXPECT_EQ(date, h.FileDate);
  EXPECT_EQ(r[12], 7);
  EXPECT_EQ(Int32At(r, 16), 0x11223344);
  EXPECT_EQ(r[20], 12);
  EXPECT_EQ(r.substr(21, 12), "C:\\src\\a.txt");
  EXPECT_EQ(Int32At(r, 124), -2);
  EXPECT_EQ(Int32At(r, 128), 123456);
  EXPECT_EQ(Int32At(r, 132), 177);
  EXPECT_EQ(Int32At(r, 136), 99);
  EXPECT_EQ(r[140], 3);
  EXPECT_EQ(Int32At(r, 144), 1999);
  EXPECT_EQ(r[148], 7);
  EXPECT_EQ(r.substr(149, 7), "1.2.3.4");
  // Reserved bytes and string tails are zero.
  for (std::size_t i : {13u, 14u, 15u, 121u, 122u, 123u, 141u, 142u, 143u, 169u, 170u, 171u})
    EXPECT_EQ(r[i], 0) << "byte " << i;
  for (std::size_t i = 21 + 12; i < 121; ++i) EXPECT_EQ(r[i], 0) << "name tail " << i;
  for (std::size_t i = 149 + 7; i < 169; ++i) EXPECT_EQ(r[i], 0) << "version tail " << i;

  TFileHeader back;
  ASSERT_TRUE(TFileHeader::Decode(h.Encode(), back));
  EXPECT_EQ(back.FileNumber, h.FileNumber);
  EXPECT_EQ(back.FileDate, h.FileDate);
  EXPECT_EQ(back.EndPosition, h.EndPosition);
  EXPECT_EQ(back.FileName, h.FileName);
  EXPECT_EQ(back.NextHeader, h.NextHeader);
  EXPECT_EQ(back.UniqueID, h.UniqueID);
  EXPECT_EQ(back.FileVersion, h.FileVersion);
  EXPECT_EQ(back.StartDisk, 3);
  EXPECT_EQ(back.EndDisk, 7);
}

TEST(FileHeaderRecord, StringsAreCutToCapacityAndStoredInWindows1252) {
  TFileHeader h;
  h.FileName = std::string(150, 'n');
  h.FileVersion = "1234567890.1234567890.99";
  TFileHeader back;
  ASSERT_TRUE(TFileHeader::Decode(h.Encode(), back));
  EXPECT_EQ(back.FileName, std::string(100, 'n'));
  EXPECT_EQ(back.FileVersion, "1234567890.123456789");

  h.FileName = "caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD";  // e-acute, euro sign, a CJK character
  const std::string r = AsBytes(h.Encode());
  EXPECT_EQ(r.substr(20, 8), std::string("\x08" "caf\xE9 \x80 ", 8));
  EXPECT_EQ(r[28], '?');
  ASSERT_TRUE(TFileHeader::Decode(h.Encode(), back));
  EXPECT_EQ(back.FileName, "caf\xC3\xA9 \xE2\x82\xAC ?");
}

TEST(FileHeaderRecord, LengthBytesBeyondCapacityAreRefused) {
  TFileHeader h;
  h.FileName = "x";
  TFileHeaderRecord r = h.Encode();
  TFileHeader back;
  r[20] = 101;
  EXPECT_FALSE(TFileHeader::Decode(r, back));
  r = h.Encode();
  r[148] = 21;
  EXPECT_FALSE(TFileHeader::Decode(r, back));
}

TEST(FileHeaders, AddGetAndFindByName) {
  TFileHeaders list;
  auto make = [](const std::string& name) {
    auto h = std::make_unique<TFileHeader>();
    h->FileName = name;
    return h;
  };
  try {
    list.Add(make("   "));
    FAIL() << "blank name accepted";
  } catch (const ETvrkCompress& e) {
    EXPECT_STREQ(e.what(), "Tried to add an invalid file header");
  }
  list.Add(make("C:\\Src\\Readme.TXT"));
  list.Add(make("C:\\Src\\Other.txt"));
  list.Add(make("c:\\src\\readme.txt"));
  EXPECT_EQ(list.FindByName("c:\\SRC\\readme.txt"), 0);  // case-insensitive, the first of equal names
  EXPECT_EQ(list.FindByName("C:\\Src\\Other.txt;C:\\Dest;whatever"), 1);  // only the first field counts
  EXPECT_EQ(list.FindByName("Other.txt"), -1);  // names are compared whole
  EXPECT_EQ(list.FindByName(""), -1);
  try {
    list.Get(3);
    FAIL() << "index 3 accepted";
  } catch (const ETvrkCompress& e) {
    EXPECT_STREQ(e.what(), "3 is an invalid TFileHeader index in TFileHeaders.GetFileHeaders");
  }
  EXPECT_THROW(list.Get(-1), ETvrkCompress);
}

TEST(ArchiveNames, VolumesAndPathParts) {
  EXPECT_EQ(VolumeName("A:\\files.1", 2), "A:\\files.2");
  EXPECT_EQ(VolumeName("A:\\files.1", 12), "A:\\files.12");
  EXPECT_EQ(VolumeName("A:\\files.12", 1), "A:\\files.1");
  EXPECT_EQ(VolumeName("C:\\dist.v2\\setup", 3), "C:\\dist.v2\\setup.3");  // a dot in a folder is no extension
  EXPECT_EQ(VolumeName("/tmp/x.y/files.1", 2), "/tmp/x.y/files.2");
  EXPECT_EQ(ChangeFileExt("files.2", ".1"), "files.1");
  EXPECT_EQ(ExtractFileName("C:\\a\\b\\name.txt"), "name.txt");
  EXPECT_EQ(ExtractFileName("/a/b/name.txt"), "name.txt");
  EXPECT_EQ(ExtractFileName("C:name.txt"), "name.txt");
  EXPECT_EQ(ExtractFileName("..\\..\\evil.dll"), "evil.dll");
  EXPECT_EQ(ExtractFileDir("C:\\a\\b.txt"), "C:\\a");
  EXPECT_EQ(ExtractFileDir("b.txt"), "");
  EXPECT_EQ(FirstField("a;b;c"), "a");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("C:\\x\\"), "C:\\x");
}

class DirectoryReadTest : public archive_test::ScratchTest {
protected:
  // Reads the directory of a file holding bytes; returns the error message or "" on success.
  std::string Read(const std::string& bytes, TFileHeaders& list, std::int64_t offset = 0) {
    const std::string p = MakeFile("dir.1", bytes);
    sys::File f = sys::File::Open(p, sys::OpenMode::ReadShared);
    try {
      list.ReadDirectory(f, offset);
    } catch (const ETvrkCompress& e) {
      return e.what();
    }
    return std::string();
  }

  // A single-file archive of members whose data are the given strings (not zlib data: the reader
  // does not look at them).
  static std::string Archive(const std::vector<std::string>& data) {
    std::string out(5, '\0');
    PutInt32At(out, 0, static_cast<std::int32_t>(data.size()));
    for (std::size_t i = 0; i < data.size(); ++i) {
      TFileHeader h;
      h.FileNumber = static_cast<std::int32_t>(i + 1);
      h.FileName = "m" + std::to_string(i);
      h.DataStart = static_cast<std::int32_t>(out.size() + 172);
      h.CompressedSize = static_cast<std::int32_t>(data[i].size());
      h.EndPosition = h.DataStart + h.CompressedSize - 1;
      h.NextHeader = h.EndPosition + 1;
      out += AsBytes(h.Encode()) + data[i];
    }
    return out;
  }
};

TEST_F(DirectoryReadTest, FollowsNextHeaderFromAnOffset) {
  const std::string arc = Archive({"abc", "", "0123456789"});
  TFileHeaders list;
  ASSERT_EQ(Read(std::string(1000, 'x') + arc, list, 1000), "");
  ASSERT_EQ(list.Count(), 3);
  EXPECT_FALSE(list.Spanned);
  EXPECT_EQ(list[2].FileName, "m2");
  EXPECT_EQ(list[2].DataStart, 5 + 172 + 3 + 172 + 0 + 172);
  EXPECT_TRUE(list[0].ReadFromArchive);
  EXPECT_EQ(list.TotalCompressedSize(), 13);
}

TEST_F(DirectoryReadTest, EmptyArchiveIsFiveBytes) {
  TFileHeaders list;
  const std::string p = Path("empty.1");
  {
    sys::File f = sys::File::Open(p, sys::OpenMode::Create);
    list.WriteDirectory(f);
  }
  EXPECT_EQ(archive_test::ReadAll(p), std::string(5, '\0'));
  EXPECT_EQ(Read(std::string(5, '\0'), list), "");
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(DirectoryReadTest, DamageGivesTheReadErrorsAndNeverOverreads) {
  const std::string good = Archive({"abcdef", "ghij"});
  TFileHeaders list;
  EXPECT_EQ(Read("", list), "Could not read the file header count for the compressed file");
  EXPECT_EQ(Read(good.substr(0, 4), list), "Could not read the file header count for the compressed file");
  EXPECT_EQ(Read(good, list, static_cast<std::int64_t>(good.size()) - 2),
            "Could not read the file header count for the compressed file");
  // The second header cut short.
  EXPECT_EQ(Read(good.substr(0, good.size() - 10 - 4), list), kCorrupt);
  // More headers claimed than the file can hold, or a negative count.
  std::string bad = good;
  PutInt32At(bad, 0, 3);
  EXPECT_EQ(Read(bad, list), kCorrupt);
  PutInt32At(bad, 0, 0x7FFFFFFF);
  EXPECT_EQ(Read(bad, list), kCorrupt);
  PutInt32At(bad, 0, -1);
  EXPECT_EQ(Read(bad, list), kCorrupt);
  // A NextHeader that points back would read the same header again and again.
  bad = good;
  PutInt32At(bad, 5 + 124, 5);
  EXPECT_EQ(Read(bad, list), kCorrupt);
  // A name length beyond its capacity.
  bad = good;
  bad[5 + 20] = static_cast<char>(200);
  EXPECT_EQ(Read(bad, list), kCorrupt);
  // A blank name.
  bad = good;
  bad[5 + 20] = 0;
  EXPECT_EQ(Read(bad, list), "Tried to add an invalid file header");
  EXPECT_EQ(Read(good, list), "");
  EXPECT_EQ(list.Count(), 2);
}

TEST_F(DirectoryReadTest, SpannedDirectoryGroupsTheHeaders) {
  TFileHeaders list;
  for (int i = 0; i < 3; ++i) {
    auto h = std::make_unique<TFileHeader>();
    h->FileName = "f" + std::to_string(i);
    list.Add(std::move(h));
  }
  list.Spanned = true;
  const std::string p = Path("span.1");
  {
    sys::File f = sys::File::Open(p, sys::OpenMode::Create);
    list.WriteDirectory(f);
  }
  const std::string bytes = archive_test::ReadAll(p);
  ASSERT_EQ(bytes.size(), 5u + 3 * 172);
  EXPECT_EQ(Int32At(bytes, 0), 3);
  EXPECT_EQ(bytes[4], 1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Int32At(bytes, 5 + 172 * i + 124), 5 + 172 * (i + 1));
  TFileHeaders back;
  ASSERT_EQ(Read(bytes, back), "");
  EXPECT_TRUE(back.Spanned);
  EXPECT_EQ(back[2].FileName, "f2");
}

}  // namespace
}  // namespace tav
