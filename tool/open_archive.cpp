#include "archive/unzipper.h"
#include "tool/commands.h"

namespace kestrum {

int OpenArchive(UnZipper& archive, const std::string& path) {
  const int result = archive.LoadFrom(path);
  if (result == ST_NO_ARCHIVE) return Failure(path + ": no archive is attached to this program");
  if (result != ST_DONE) {
    const LoadError& e = archive.load_error();
    if (e.problem == LoadProblem::kCannotOpen) return Failure(e.message);
    return Failure(path + ": damaged archive: " + e.message);
  }
  return 0;
}

}  // namespace kestrum
