// The overwrite question's texts, apart from its window so they can be tested.
#pragma once

#include <string>

namespace kestrum {

// The hint in QTF: two paragraphs of size 1 naming `path`, escaped for QTF.
// When a new name was refused, the second paragraph says why instead.
std::string ChangeFileHint(const std::string& path, const std::string& refused = {});
// `text` with every ASCII punctuation character escaped by a backquote.
std::string EscapeQtf(const std::string& text);

}  // namespace kestrum
