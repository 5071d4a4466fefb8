// The files a pack run writes under temporary names: the outputs, renamed to
// their real names when the run commits, and temporaries. Each is created
// exclusively under a fresh random name beside its real one, without
// following a link, so nothing planted or left there ahead of time is ever
// written through. Whatever this guard created and did not commit is removed
// when it goes away, so a run that fails at any step leaves nothing behind.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tool/out_file.h"

namespace kestrum {

class PartFiles {
 public:
  PartFiles() = default;
  PartFiles(const PartFiles&) = delete;
  PartFiles& operator=(const PartFiles&) = delete;
  ~PartFiles();

  // A new file that becomes `path` on Commit.
  OutFile AddOutput(const std::string& path);
  // A new file that is always removed.
  OutFile AddTemporary(const std::string& path);
  // Where output `i` (in the order added) is until Commit.
  const std::string& TemporaryName(size_t i) const { return outputs_[i].first; }
  // Renames every output to its real name, in the order added.
  bool Commit(std::string& error);
  // The real names of the outputs, in the order added.
  std::vector<std::string> outputs() const;

 private:
  OutFile Create(const std::string& path, bool temporary);

  std::vector<std::pair<std::string, std::string>> outputs_;  // created name, real name
  std::vector<std::string> created_;  // every file this guard made and has not committed
};

}  // namespace kestrum
