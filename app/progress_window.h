// The small window of --extract --progress: the overall progress, the file
// being written and Cancel. It closes itself when the run ends.
#pragma once

#include <string>

namespace kestrum {

class UnZipper;

// Shows the window until the archive's worker has ended; Cancel, closing the
// window or a stop request stops the run. True when the user stopped it.
bool ShowProgressUntilDone(UnZipper& archive, const std::string& title);

}  // namespace kestrum
