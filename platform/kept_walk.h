// The folder walk kept between calls, shared by the file systems.
//
// Within a batch (FileSystem::BeginBatch / EndBatch) the walk made last stays
// alive with its folders open and checked: a walk to the same folder costs no
// system call, and a walk to another one takes over the folders the two share
// from the root down, so a new folder costs one step instead of one per level.
#pragma once

#include <memory>
#include <mutex>
#include <utility>

namespace kestrum {

// `Walked` is a finished walk with a `bool ok`; `Key` names its folder.
template <class Walked, class Key>
class KeptWalk {
 public:
  void BeginBatch() {
    std::lock_guard<std::mutex> hold(mutex_);
    ++batches_;
  }
  void EndBatch() {
    std::lock_guard<std::mutex> hold(mutex_);
    if (--batches_ > 0) return;
    kept_.reset();
    key_ = Key();
  }

  // The walk to `key`: the kept one when it leads there, else
  // walk(known, result) with the kept walk (or null) as what may be taken
  // over. A sound result is kept while a batch is open.
  template <class WalkFn>
  std::shared_ptr<const Walked> Get(Key key, WalkFn walk) {
    std::shared_ptr<const Walked> known;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      if (batches_ > 0 && kept_ && key == key_) return kept_;
      if (batches_ > 0) known = kept_;
    }
    auto result = std::make_shared<Walked>();
    walk(known.get(), *result);
    std::lock_guard<std::mutex> hold(mutex_);
    if (result->ok && batches_ > 0) {
      kept_ = result;
      key_ = std::move(key);
    }
    return result;
  }

 private:
  std::mutex mutex_;
  int batches_ = 0;
  std::shared_ptr<const Walked> kept_;
  Key key_;
};

}  // namespace kestrum
