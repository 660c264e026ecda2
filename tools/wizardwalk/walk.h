#pragma once
// Walks a setup program's wizard as a user would: waits for each page, saves a picture of it,
// and presses Next (or Finish) until the program ends. Message boxes are read and answered with OK.
#include <string>
#include <vector>

#include "ui/win32.h"

namespace tav {

struct TWalkResult {
  std::vector<std::wstring> Pages;     // the caption of each page, in the order shown
  std::vector<std::wstring> Messages;  // the text of each message box
  std::vector<std::wstring> Windows;   // the caption of every visible top-level window seen, once each
  std::vector<std::wstring> Pictures;  // the pictures saved, by path
  std::vector<std::wstring> Unsaved;   // the pictures that could not be saved, by path
  DWORD ExitCode = 0;
  bool Started = false;
  bool Ended = false;  // false: it was still running at the deadline and was stopped
};

// Text typed into the first edit box of the page with this caption before it is pictured and left.
struct TPageText {
  std::wstring Caption;
  std::wstring Text;
};

// Starts commandLine; pictures go to shotDir (created) as NN-caption.png unless shotDir is empty.
// On the page numbered cancelOnPage (1 for the first; 0 for none) Cancel is pressed instead of Next.
TWalkResult WalkSetup(const std::wstring& commandLine, const std::wstring& shotDir, DWORD timeoutMs,
                      int cancelOnPage = 0, const std::vector<TPageText>& typed = {});

}  // namespace tav
