// What the portable core needs from the program around it. The Windows stub,
// the command-line tool and the tests each provide their own.
#pragma once

#include <string>

namespace kestrum {

class Platform {
 public:
  virtual ~Platform() = default;

  // Full UTF-8 path of the running executable (the archive's own file).
  virtual std::string ExecutablePath() = 0;

  // A modal message with one button, "Close"; returns when the user closed it.
  // Title and text arrive translated.
  virtual void ShowMessage(const std::string& title, const std::string& text) = 0;
};

}  // namespace kestrum
