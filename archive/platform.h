// What the portable core needs from the program around it. The Windows stub,
// the command-line tool and the tests each provide their own.
#pragma once

#include <string>

#include "archive/file_system.h"

namespace kestrum {

// The answer to "a file of this name exists already".
enum class OverwriteChoice {
  kNewPath,  // write under `new_path` instead
  kReplace,  // replace the existing file
  kSkip,     // leave the existing file and drop this entry's data
  kAbort,    // end the extraction as failed
};

struct OverwriteAnswer {
  OverwriteChoice choice = OverwriteChoice::kAbort;
  std::string new_path;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Full UTF-8 path of the running executable (the archive's own file).
  virtual std::string ExecutablePath() = 0;

  // A modal message with one button, "Close"; returns when the user closed it.
  // Title and text arrive translated.
  virtual void ShowMessage(const std::string& title, const std::string& text) = 0;

  // Asked from the extraction worker before a file is written where one exists.
  // A new path is checked by the caller: it must name a file in the same folder
  // that does not exist yet. `refused` is empty the first time; when the last
  // new name could not be used, it says why (translated), and the question is
  // asked again.
  virtual OverwriteAnswer AskOverwrite(const std::string& existing_path,
                                       const std::string& refused) = 0;

  // Told from the extraction worker when decoding or writing failed; `detail`
  // says what and where. By default shows the program's failure message.
  virtual void ShowExtractFailure(const std::string& detail);

  // The file system extraction writes through.
  virtual FileSystem& Files() = 0;
};

}  // namespace kestrum
