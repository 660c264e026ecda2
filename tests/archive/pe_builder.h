#pragma once
// Builds small PE images with a version resource in memory, so tests can damage them byte by byte.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tav::test {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
inline std::uint32_t Get32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
inline void Pad4(Bytes& b) {
  while (b.size() % 4) b.push_back(0);
}

// One VS_VERSIONINFO block; valueLength as stored (characters for text, bytes otherwise).
inline Bytes VersionBlock(const std::u16string& key, std::uint16_t type, const Bytes& value, std::uint16_t valueLength,
                          const std::vector<Bytes>& children = {}) {
  Bytes b(6);
  for (char16_t c : key) {
    b.push_back(static_cast<std::uint8_t>(c));
    b.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  b.push_back(0), b.push_back(0);
  Pad4(b);
  b.insert(b.end(), value.begin(), value.end());
  for (const Bytes& c : children) {
    Pad4(b);
    b.insert(b.end(), c.begin(), c.end());
  }
  Put16(b, 0, static_cast<std::uint32_t>(b.size()));
  Put16(b, 2, valueLength);
  Put16(b, 4, type);
  return b;
}

inline Bytes Text(const std::u16string& key, const std::u16string& text) {
  Bytes v;
  for (char16_t c : text + u'\0') v.push_back(static_cast<std::uint8_t>(c)), v.push_back(static_cast<std::uint8_t>(c >> 8));
  return VersionBlock(key, 1, v, static_cast<std::uint16_t>(text.size() + 1));
}

struct Fixed {
  std::uint32_t fileMS = 0x00010000, fileLS = 0x00000005, productMS = 0x00020003, productLS = 0x00040005;
  std::uint32_t os = 0x40004, type = 1, subtype = 0, signature = 0xFEEF04BD;
};

inline Bytes FixedValue(const Fixed& f) {
  Bytes v(52);
  Put32(v, 0, f.signature);
  Put32(v, 4, 0x00010000);
  Put32(v, 8, f.fileMS);
  Put32(v, 12, f.fileLS);
  Put32(v, 16, f.productMS);
  Put32(v, 20, f.productLS);
  Put32(v, 24, 0x3F);
  Put32(v, 32, f.os);
  Put32(v, 36, f.type);
  Put32(v, 40, f.subtype);
  return v;
}

// A root block with the fixed information and string tables of (key, [(name, text)]).
inline Bytes VersionInfo(const Fixed& f,
                         const std::vector<std::pair<std::u16string, std::vector<std::pair<std::u16string, std::u16string>>>>& tables) {
  std::vector<Bytes> tableBlocks;
  for (const auto& [key, values] : tables) {
    std::vector<Bytes> strings;
    for (const auto& [name, text] : values) strings.push_back(Text(name, text));
    tableBlocks.push_back(VersionBlock(key, 1, {}, 0, strings));
  }
  return VersionBlock(u"VS_VERSION_INFO", 0, FixedValue(f), 52, {VersionBlock(u"StringFileInfo", 1, {}, 0, tableBlocks)});
}

struct ImageSpec {
  bool pe32plus = true;
  std::uint32_t typeId = 16, nameId = 1;
  // One version block per resource language.
  std::vector<std::pair<std::uint16_t, Bytes>> languages;
};

// Headers in the first 0x200 bytes, one .rsrc section at RVA 0x1000 from file offset 0x200.
constexpr std::size_t kLfanew = 0x40, kRsrcFile = 0x200, kRsrcRva = 0x1000;

inline std::size_t OptionalSize(bool pe32plus) { return pe32plus ? 240 : 224; }
inline std::size_t SectionTableAt(bool pe32plus) { return kLfanew + 24 + OptionalSize(pe32plus); }

inline Bytes BuildImage(const ImageSpec& layout) {
  Bytes rsrc;
  Put32(rsrc, 0, 0);  // root directory
  Put16(rsrc, 14, 1);
  Put32(rsrc, 16, layout.typeId);
  Put32(rsrc, 20, 0x80000000u | 0x18);
  Put16(rsrc, 0x18 + 14, 1);  // name directory
  Put32(rsrc, 0x28, layout.nameId);
  Put32(rsrc, 0x2C, 0x80000000u | 0x30);
  const std::size_t n = layout.languages.size();
  Put16(rsrc, 0x30 + 14, static_cast<std::uint32_t>(n));  // language directory
  const std::size_t dataEntries = 0x40 + 8 * n;
  for (std::size_t i = 0; i < n; ++i) {
    Put32(rsrc, 0x40 + 8 * i, layout.languages[i].first);
    Put32(rsrc, 0x44 + 8 * i, static_cast<std::uint32_t>(dataEntries + 16 * i));
  }
  rsrc.resize(dataEntries + 16 * n);
  for (std::size_t i = 0; i < n; ++i) {
    Pad4(rsrc);
    const Bytes& block = layout.languages[i].second;
    Put32(rsrc, dataEntries + 16 * i, static_cast<std::uint32_t>(kRsrcRva + rsrc.size()));
    Put32(rsrc, dataEntries + 16 * i + 4, static_cast<std::uint32_t>(block.size()));
    rsrc.insert(rsrc.end(), block.begin(), block.end());
  }
  while (rsrc.size() % 0x200) rsrc.push_back(0);

  Bytes image(kRsrcFile);
  image[0] = 'M', image[1] = 'Z';
  Put32(image, 0x3C, kLfanew);
  image[kLfanew] = 'P', image[kLfanew + 1] = 'E';
  Put16(image, kLfanew + 4, layout.pe32plus ? 0x8664 : 0x14C);
  Put16(image, kLfanew + 6, 1);  // sections
  Put16(image, kLfanew + 20, static_cast<std::uint32_t>(OptionalSize(layout.pe32plus)));
  const std::size_t opt = kLfanew + 24;
  Put16(image, opt, layout.pe32plus ? 0x20B : 0x10B);
  const std::size_t countAt = opt + (layout.pe32plus ? 108 : 92), dirs = opt + (layout.pe32plus ? 112 : 96);
  Put32(image, countAt, 16);
  Put32(image, dirs + 16, kRsrcRva);
  Put32(image, dirs + 20, static_cast<std::uint32_t>(rsrc.size()));
  const std::size_t sec = SectionTableAt(layout.pe32plus);
  for (int i = 0; i < 5; ++i) image[sec + i] = ".rsrc"[i];
  Put32(image, sec + 8, static_cast<std::uint32_t>(rsrc.size()));
  Put32(image, sec + 12, kRsrcRva);
  Put32(image, sec + 16, static_cast<std::uint32_t>(rsrc.size()));
  Put32(image, sec + 20, kRsrcFile);
  image.insert(image.end(), rsrc.begin(), rsrc.end());
  return image;
}

}  // namespace tav::test
