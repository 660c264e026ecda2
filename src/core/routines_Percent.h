#pragma once
// The percent-sign scan that the path and meta-variable expanders share.
#include <functional>
#include <string>

namespace tav {

// "%%" yields "%", a lone "%" at the end vanishes, and "%" followed by any other character yields
// what letter() gives for it.
std::string ScanPercents(const std::string& text, const std::function<std::string(char)>& letter);
// Replaces %p (either case) by path and %% by %; any other % vanishes and keeps the next character.
std::string ExpandPathPlaceholder(const std::string& text, const std::string& path);

}  // namespace tav
