#include "core/routines_Paths.h"

#include <cctype>

#include "core/routines_Strings.h"

namespace tav {

bool IsAbsolutePath(const std::string& path) {
  if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':')
    return path.size() == 2 || IsPathDelimiter(path[2]);
  // \\server\share: a server name must follow.
  return path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
}

std::string QualifiedFolderPath(std::string path) {
  path = Trim(path);
  if (path.size() == 2 && path[1] == ':') path += '\\';
  if (path.size() > 3) path = ExcludeTrailingBackslash(path);
  return path;
}

}  // namespace tav
