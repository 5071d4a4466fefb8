// Feeds arbitrary bytes to the QTF parser, as an archive description would.
// The document must be well formed and no larger than the input allows, its
// RTF must be balanced with ordered link spans (pictures included, decoded by
// a stand-in for the system's decoder), and escaped text must come back
// unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "view/rich_text/qtf.h"
#include "view/rich_text/rtf.h"

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
      Check(run.format.picture >= -1 && run.format.picture < int(doc.pictures.size()));
      Check(run.format.picture < 0 || run.text == kestrum::rich_text::kPictureText);
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
  size_t picture_bytes = 0;
  for (const auto& picture : doc.pictures) {
    Check(picture.width_dots >= 0 && picture.width_dots <= kestrum::rich_text::kMaxPictureDots);
    Check(picture.height_dots >= 0 && picture.height_dots <= kestrum::rich_text::kMaxPictureDots);
    picture_bytes += picture.data.size();
  }
  Check(picture_bytes <= input_size);
}

// Stands for the system's decoder: a picture of up to 64 x 64 pixels made
// from the data, or none when the data is shorter than 3 bytes.
bool FakeDecode(const kestrum::rich_text::PictureObject& picture,
                kestrum::rich_text::DecodedPicture* out) {
  if (picture.data.size() < 3) return false;
  out->width = picture.data[0] % 64 + 1;
  out->height = picture.data[1] % 64 + 1;
  out->bgra.resize(size_t(out->width) * size_t(out->height) * 4);
  for (size_t i = 0; i < out->bgra.size(); ++i)
    out->bgra[i] = picture.data[i % picture.data.size()];
  return true;
}

void CheckRtf(const Document& doc) {
  kestrum::rich_text::RtfStyle style;
  style.decode_picture = &FakeDecode;
  style.dpi = 144;
  const kestrum::rich_text::Rtf rtf = kestrum::rich_text::ToRtf(doc, style);
  long depth = 0;
  for (size_t i = 0; i < rtf.text.size(); ++i) {
    const char c = rtf.text[i];
    if (c == '\\') {
      ++i;  // an escaped character or the first letter of a control word
    } else if (c == '{') {
      ++depth;
    } else if (c == '}') {
      Check(--depth >= 0);
    }
    Check(uint8_t(c) >= 32 && uint8_t(c) < 128);
  }
  Check(depth == 0);
  long last_end = 0;
  for (const auto& span : rtf.links) {
    Check(span.start >= last_end && span.end > span.start);
    Check(span.link >= 0 && span.link < int(doc.links.size()));
    last_end = span.end;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const Document doc = kestrum::rich_text::ParseQtf(input);
  CheckDocument(doc, size);
  CheckRtf(doc);

  std::string printable;
  for (char c : input) {
    if (uint8_t(c) >= 32) printable += c;
  }
  const Document escaped = kestrum::rich_text::ParseQtf(kestrum::rich_text::QtfEscape(printable));
  Check(kestrum::rich_text::PlainText(escaped) == printable);
  return 0;
}
