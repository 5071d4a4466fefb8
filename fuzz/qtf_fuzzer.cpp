// Feeds arbitrary bytes to the QTF parser, as an archive description would.
// The document must be well formed and no larger than the input allows, and
// escaped text must come back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/rich_text/qtf.h"

namespace {

using kestrum::rich_text::Document;
using kestrum::rich_text::Format;
using kestrum::rich_text::Run;

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckDocument(const Document& doc, size_t input_size) {
  Check(!doc.paragraphs.empty() && doc.paragraphs.size() <= input_size + 1);
  size_t text_bytes = 0;
  for (const auto& paragraph : doc.paragraphs) {
    const Format* previous = nullptr;
    for (const Run& run : paragraph.runs) {
      Check(!run.text.empty());
      Check(previous == nullptr || *previous != run.format);
      previous = &run.format;
      Check(run.format.size >= kestrum::rich_text::kDefaultSize && run.format.size <= 9);
      Check(run.format.link >= -1 && run.format.link < int(doc.links.size()));
      Check(run.format.face >= -1 && run.format.face < int(doc.faces.size()));
      for (char c : run.text) Check(uint8_t(c) >= 32 || c == '\t');
      text_bytes += run.text.size();
    }
  }
  // A hard space is the only code whose text is longer than its markup.
  Check(text_bytes <= 2 * input_size);
  // Each name is kept once; only the one-letter families are longer than
  // their markup ("Arial", "Times New Roman", "Courier New": 31 bytes).
  size_t names = 0;
  for (const std::string& s : doc.links) names += s.size();
  for (const std::string& s : doc.faces) names += s.size();
  Check(names <= input_size + 31);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckDocument(kestrum::rich_text::ParseQtf(input), size);

  std::string printable;
  for (char c : input) {
    if (uint8_t(c) >= 32) printable += c;
  }
  const Document escaped = kestrum::rich_text::ParseQtf(kestrum::rich_text::QtfEscape(printable));
  Check(kestrum::rich_text::PlainText(escaped) == printable);
  return 0;
}
