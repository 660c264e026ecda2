#pragma once
// UTF-8 inside the program, UTF-16 at the Windows API, 8-bit code pages in streams.
#include <string>

namespace tav::sys {

// Invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

// Windows-1252 (undefined bytes map to the C1 control of the same value, as Windows does).
std::string Cp1252ToUtf8(const std::string& bytes);
// False when some character has no Windows-1252 byte; bytes is then unspecified.
bool Utf8ToCp1252(const std::string& text, std::string& bytes);

#ifdef _WIN32
// Windows only: UTF-16 of a UTF-8 text as a wide string for the W APIs.
std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);
#endif

}  // namespace tav::sys
