#include <gtest/gtest.h>

#include <string>

#include "core/routines_Paths.h"

using namespace tav;

namespace {

TEST(RoutinesPaths, AbsolutePathsAreDriveRootsAndUncNames) {
  const struct {
    const char* path;
    bool absolute;
  } cases[] = {
      {"C:\\x", true},
      {"c:", true},  // a bare drive stands for its root
      {"C:\\", true},
      {"z:/mixed\\separators", true},
      {"\\\\server\\share", true},
      {"\\\\s", true},
      {"", false},
      {"x", false},
      {"C:x", false},           // relative to the drive's current folder
      {"1:\\x", false},         // not a drive letter
      {"\\x", false},           // relative to the current drive
      {"\\\\", false},          // no server name
      {"\\\\\\x", false},
      {"relative\\C:\\x", false},
      {" C:\\x", false},        // callers trim first
  };
  for (const auto& c : cases) EXPECT_EQ(IsAbsolutePath(c.path), c.absolute) << '"' << c.path << '"';
}

TEST(RoutinesPaths, QualifiedFolderPathsLookLikeSelectedFolders) {
  const struct {
    const char* typed;
    const char* qualified;
  } cases[] = {
      {"C:", "C:\\"},
      {"  d:  ", "d:\\"},
      {"C:\\", "C:\\"},
      {"C:\\Program Files\\", "C:\\Program Files"},
      {"C:\\a\\\\", "C:\\a\\"},  // only one separator goes
      {"\\\\server\\share\\", "\\\\server\\share"},
      {"ab\\", "ab\\"},          // no longer than a root: kept as a root would be
      {"\tC:\\Demo\r\n", "C:\\Demo"},
      {"", ""},
      {"   ", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(QualifiedFolderPath(c.typed), c.qualified) << '"' << c.typed << '"';
}

}  // namespace
