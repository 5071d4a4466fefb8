// The folder walk kept between calls, shared by the file systems.
//
// Within a batch (FileSystem::BeginBatch / EndBatch) the walks made last stay
// alive with their folders open and checked: a walk to a folder kept costs no
// system call, and a walk to another one takes over the folders it shares with
// the last walk from the root down, so a new folder costs one step instead of
// one per level. How many walks are kept is the file system's choice: each
// holds its folders open.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace kestrum {

// `Walked` is a finished walk with a `bool ok`; `Key` names its folder.
template <class Walked, class Key>
class KeptWalk {
 public:
  explicit KeptWalk(size_t capacity) : capacity_(capacity) {}

  void BeginBatch() {
    std::lock_guard<std::mutex> hold(mutex_);
    ++batches_;
  }
  void EndBatch() {
    std::lock_guard<std::mutex> hold(mutex_);
    if (--batches_ > 0) return;
    last_.reset();
    kept_.clear();
  }

  // The walk to `key`: a kept one when it leads there, else
  // walk(known, result) with the last walk (or null) as what may be taken
  // over. A sound result is kept while a batch is open; when `capacity`
  // walks are kept, the older ones are let go.
  template <class WalkFn>
  std::shared_ptr<const Walked> Get(Key key, WalkFn walk) {
    std::shared_ptr<const Walked> known;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if (batches_ > 0) {
        const auto it = kept_.find(key);
        if (it != kept_.end()) return it->second;
        known = last_;
      }
    }
    auto result = std::make_shared<Walked>();
    walk(known.get(), *result);
    std::lock_guard<std::mutex> hold(mutex_);
    if (result->ok && batches_ > 0) {
      if (kept_.size() >= capacity_) kept_.clear();
      kept_.emplace(std::move(key), result);
      last_ = result;
    }
    return result;
  }

 private:
  std::mutex mutex_;
  int batches_ = 0;
  const size_t capacity_;
  std::shared_ptr<const Walked> last_;
  std::unordered_map<Key, std::shared_ptr<const Walked>> kept_;
};

}  // namespace kestrum
