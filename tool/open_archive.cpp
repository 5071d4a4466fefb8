#include <cerrno>
#include <cstdio>

#include "archive/byte_stream.h"
#include "archive/unzipper.h"
#include "tool/commands.h"
#include "tool/system_error.h"

namespace kestrum {
namespace {

// A self-extracting archive is a Windows program: its first bytes are "MZ".
// Anything else is some other file, not a damaged archive. Returns 0, or the
// failure after its message.
int CheckIsProgram(const std::string& path) {
  std::FILE* file = OpenFileUtf8(path, "rb");
  if (!file) return Failure(CannotOpen(path, errno));
  char magic[2] = {};
  const size_t got = std::fread(magic, 1, sizeof magic, file);
  const int read_error = std::ferror(file) ? errno : 0;
  std::fclose(file);
  if (read_error) return Failure("cannot read " + path + ": " + SystemReason(read_error));
  if (got < 2 || magic[0] != 'M' || magic[1] != 'Z')
    return Failure(path + ": not a self-extracting archive");
  return 0;
}

}  // namespace

int OpenArchive(UnZipper& archive, const std::string& path) {
  if (const int failed = CheckIsProgram(path)) return failed;
  const int result = archive.LoadFrom(path);
  if (result == ST_NO_ARCHIVE)
    return Failure(path + ": not a self-extracting archive (a program with no archive attached)");
  if (result != ST_DONE) {
    const LoadError& e = archive.load_error();
    if (e.problem == LoadProblem::kCannotOpen) return Failure(e.message);
    return Failure(path + ": damaged archive: " + e.message);
  }
  return 0;
}

}  // namespace kestrum
