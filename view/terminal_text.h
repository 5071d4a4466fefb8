// Text from an archive (its name, description, entry names, and the messages
// that quote them) printed on a terminal: control characters could retitle or
// clear the terminal, move the cursor or make one line look like several, and
// bidirectional controls make a name read as another. They are printed as
// escapes instead.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kestrum {

// `text` with C0 controls and DEL as \x1b, C1 controls and the bidirectional
// and line-separating format characters as \u009b, and bytes that are not
// UTF-8 as \xff. Everything else, backslashes included, is left as it is.
std::string TerminalSafe(std::string_view text);

// Hands `text` to `use` in pieces of about 64 KiB, cut between characters, so
// that a long text is never escaped whole (escaped, it may be four times as long).
void InPieces(const std::string& text, const std::function<void(const std::string&)>& use);

}  // namespace kestrum
