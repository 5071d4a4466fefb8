// The file operations extraction needs, with UTF-8 paths. Each platform
// provides one implementation (wide Win32 calls on Windows, POSIX elsewhere);
// the core never touches the file system in any other way when it writes.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace kestrum {

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // Writes all n bytes; false on any error (disk full included).
  virtual bool Write(const void* data, size_t n) = 0;
  // Flushes and closes; false when anything could not be written.
  virtual bool Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The separator between folders in this system's paths.
  virtual char Separator() const = 0;
  // Creates a folder with all missing parents; true when it exists afterwards.
  virtual bool CreateFolders(const std::string& path) = 0;
  // True only for an existing file (not a folder).
  virtual bool IsFile(const std::string& path) = 0;
  // Size of an existing file, or -1.
  virtual long long FileSize(const std::string& path) = 0;
  // Creates a new file; fails when anything exists at the path.
  virtual std::unique_ptr<OutputFile> CreateNew(const std::string& path) = 0;
  // Moves a file to `to`. With `replace`, an existing file at `to` is replaced
  // in one step; without, the move fails when `to` exists.
  virtual bool Move(const std::string& from, const std::string& to, bool replace) = 0;
  virtual bool Remove(const std::string& path) = 0;
  // The user's temporary folder ("TMP", else the system's), ending with a separator.
  virtual std::string TempFolder() = 0;
};

}  // namespace kestrum
