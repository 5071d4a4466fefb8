// The overwrite question's texts, apart from its window so they can be tested.
#pragma once

#include <string>

namespace kestrum {

// The hint in QTF: two paragraphs of size 1 naming `path`, escaped for QTF.
std::string ChangeFileHint(const std::string& path);
// `text` with every ASCII punctuation character escaped by a backquote.
std::string EscapeQtf(const std::string& text);

}  // namespace kestrum
