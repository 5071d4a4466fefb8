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

// What stands at a path inside the destination.
enum class PathKind {
  kNothing,   // free: a file can be created there
  kFile,      // a real file
  kFolder,    // a real folder
  kOther,     // a link, junction, device or anything else that is not ours to touch
  kNoFolder,  // a folder on the way does not exist
  kBlocked,   // a folder on the way is a link or not a folder at all
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The separator between folders in this system's paths.
  virtual char Separator() const = 0;

  // Paths the user chose (the destination itself): links in them are
  // followed as usual.
  // Creates a folder with all missing parents; true when it exists afterwards.
  virtual bool CreateFolders(const std::string& path) = 0;
  // True only for an existing file (not a folder).
  virtual bool IsFile(const std::string& path) = 0;
  // Size of an existing file, or -1.
  virtual long long FileSize(const std::string& path) = 0;

  // Paths inside the destination. `root` is the destination folder as the
  // user named it; `relative` comes from the archive, with Separator() between
  // its parts. Below `root` no link, junction or other reparse point is ever
  // followed: every folder on the way and the file itself must be real, so an
  // archive cannot write outside the destination through a link that is
  // already there. Failures say why in `why` (one line).
  // Creates the folders of `relative` (all of it) below root.
  virtual bool CreateFoldersIn(const std::string& root, const std::string& relative,
                               std::string& why) = 0;
  // What stands at `relative`; `size` gets a file's length.
  virtual PathKind LookIn(const std::string& root, const std::string& relative,
                          long long* size = nullptr) = 0;
  // Creates a new file; fails when anything exists there or on the way.
  virtual std::unique_ptr<OutputFile> CreateNewIn(const std::string& root,
                                                  const std::string& relative,
                                                  std::string& why) = 0;
  // Moves a file. With `replace`, an existing file at `to` is replaced in one
  // step; without, the move fails when `to` exists.
  virtual bool MoveIn(const std::string& root, const std::string& from, const std::string& to,
                      bool replace) = 0;
  virtual bool RemoveIn(const std::string& root, const std::string& relative) = 0;

  // Between these two calls a file system may keep the folder it walked last
  // open and checked, so that many files in one folder cost one walk instead
  // of one each. Calls nest; the last EndBatch lets every kept folder go.
  virtual void BeginBatch() {}
  virtual void EndBatch() {}

  // True when CreateNewIn and RemoveIn may run on a second thread beside the
  // other calls, so that a run can create files ahead of its writing.
  virtual bool CreatesAhead() const { return false; }
};

// Holds a batch for as long as it lives.
class FolderBatch {
 public:
  explicit FolderBatch(FileSystem& files) : files_(files) { files_.BeginBatch(); }
  ~FolderBatch() { files_.EndBatch(); }
  FolderBatch(const FolderBatch&) = delete;
  FolderBatch& operator=(const FolderBatch&) = delete;

 private:
  FileSystem& files_;
};

}  // namespace kestrum
