#pragma once
// Helpers for the archive tests: a scratch folder per test, reproducible payloads, raw file access.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "archive/routines_Compression.h"
#include "core/routines_Strings.h"
#include "sys/files.h"

namespace tav::archive_test {

inline std::string Join(const std::string& dir, const std::string& name) {
  return IncludeTrailingPathDelimiter(dir) + name;
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Bytes that deflate cannot shrink.
inline std::string RandomBytes(std::size_t n, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng() & 0xFF);
  return s;
}

// Text that deflate shrinks well.
inline std::string Text(std::size_t n, std::uint32_t seed) {
  static const char* const words[] = {"setup ", "archive ", "member ", "volume ", "header ", "install\r\n"};
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < n) s += words[rng() % 6];
  s.resize(n);
  return s;
}

inline std::int32_t Int32At(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(at + i))) << (8 * i);
  return static_cast<std::int32_t>(v);
}

inline void PutInt32At(std::string& bytes, std::size_t at, std::int32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i));
}

// A folder of its own under the temporary directory, removed with everything in it afterwards.
class ScratchTest : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string made = sys::CreateUniqueFile(sys::TempDirectory(), "tva");
    ASSERT_FALSE(made.empty());
    sys::RemoveFile(made);
    dir_ = made + ".d";
    ASSERT_TRUE(sys::MakeDir(dir_));
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(dir_), ec);
  }
  std::string Path(const std::string& name) const { return Join(dir_, name); }
  // Writes a file and gives it a DOS date and time (local).
  std::string MakeFile(const std::string& name, const std::string& bytes, std::uint32_t dosDateTime = 0) {
    const std::string p = Path(name);
    WriteAll(p, bytes);
    if (dosDateTime != 0) {
      sys::File f = sys::File::Open(p, sys::OpenMode::ReadWrite);
      EXPECT_TRUE(f.SetDosDateTime(dosDateTime));
    }
    return p;
  }

  std::string dir_;
};

// 2024-05-17 10:20:30 as a packed DOS date/time; seconds are stored halved.
constexpr std::uint32_t kDos2024 = ((2024u - 1980u) << 25) | (5u << 21) | (17u << 16) | (10u << 11) | (20u << 5) | 15u;

}  // namespace tav::archive_test
