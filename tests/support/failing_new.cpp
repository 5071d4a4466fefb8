#include "tests/support/failing_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace kestrum::test {
namespace {
std::atomic<bool> fail_all{false};
}  // namespace

void FailAllAllocations(bool on) {
  fail_all.store(on);
}

}  // namespace kestrum::test

// Every form goes through malloc and free, so that sanitizers see matching pairs.
void* operator new(std::size_t n) {
  if (kestrum::test::fail_all.load(std::memory_order_relaxed)) throw std::bad_alloc();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  return operator new(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  if (kestrum::test::fail_all.load(std::memory_order_relaxed)) return nullptr;
  return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t& tag) noexcept {
  return operator new(n, tag);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
