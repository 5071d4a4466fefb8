// Starting the disk writing of a file's freshly written bytes early. Left
// alone, Linux writes them out only later, all at once: whoever waits for the
// data to reach the disk (a sync, a removable drive) waits for all of it after
// the run. Started as the writing goes on, the disk works beside the CPU, and
// a huge output never piles up dirty pages until the kernel throttles us.
// Elsewhere this does nothing (Windows writes behind on its own).
#pragma once

#include <cstdint>

#ifndef _WIN32
#include <fcntl.h>
#endif

namespace kestrum {

// Only starts the writing of bytes [from, from + n) of `fd`; waits for nothing.
inline void StartWriteback(int fd, uint64_t from, uint64_t n) {
#ifdef SYNC_FILE_RANGE_WRITE
  ::sync_file_range(fd, static_cast<off_t>(from), static_cast<off_t>(n), SYNC_FILE_RANGE_WRITE);
#else
  (void)fd, (void)from, (void)n;
#endif
}

}  // namespace kestrum
