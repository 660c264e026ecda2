#pragma once
// Where the toolkit's own files (the loading program, the uninstaller, the marker file) live: the
// first folder of the "Search Path" value under HKEY_CURRENT_USER\Software\Tavenrik\Toolkit that
// holds the marker "T32V35.TXT". Installing the toolkit, or a build tree for its tests, writes it.
#include <string>

namespace tav {

extern const char* const kToolkitSearchPathKey;   // "\Software\Tavenrik\Toolkit"
extern const char* const kToolkitSearchPathName;  // "Search Path"
extern const char* const kToolkitMarkerFile;      // "T32V35.TXT"

// The folder without trailing backslash; when none qualifies, IENoTavenrikPath with RaiseIfMissing,
// else an empty text. Tag is kept for callers that name the toolkit they look for.
std::string ToolkitDirectory(const std::string& tag, bool raiseIfMissing);

}  // namespace tav
