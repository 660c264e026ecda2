#pragma once
// String, field and file-name routines shared by every layer.
#include <string>
#include <string_view>

namespace tav {

class TStrings;

// Text with a backslash appended unless it is empty or already ends in one.
std::string IncludeTrailingBackslash(const std::string& text);
// Text with one final backslash removed, if it has one.
std::string ExcludeTrailingBackslash(const std::string& text);
// Number of ";"-separated fields; an empty text or one ending in ";" gets no extra field.
int CountFields(const std::string& text);
// The N-th field (from 1); empty when there are fewer fields; the last one runs to the end of text.
std::string GetField(const std::string& text, int n, char separator = ';');
void SplitFields(const std::string& text, char separator, TStrings& list);
// Sets result to the part after the first ":"; without a ":" result stays as it was. True when found.
bool TextAfterColon(const std::string& text, std::string& result);
// "/" becomes "-"; " * : ; < > ? \ | are removed; everything else stays.
std::string MakeFileNameSafe(const std::string& text);

// Blanks and control characters (codes up to 32) are trimmed from both ends.
std::string Trim(std::string_view text);
// Case is ASCII-only: bytes of other characters (UTF-8 or a code page) compare and convert unchanged.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
// <0, 0 or >0 as a sorts before, equal to or after b without regard to case.
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

// File names: both "\" and "/" separate path parts.
bool IsPathDelimiter(char c);
// The directory part including its final separator ("" when there is none).
std::string ExtractFilePath(const std::string& path);
std::string ExtractFileName(const std::string& path);
// The extension including its dot, "" when there is none.
std::string ExtractFileExt(const std::string& path);
std::string ChangeFileExt(const std::string& path, const std::string& ext);
// The directory part without its final separator ("" when there is none).
std::string ExtractFileDir(const std::string& path);
// Paths on the platform at hand: either separator ends a path; what is appended is the platform's own
// ("\\" on Windows, "/" elsewhere). An empty path stays empty.
std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string ExcludeTrailingPathDelimiter(const std::string& path);

}  // namespace tav
