#include "view/rich_text/document.h"

namespace kestrum::rich_text {

namespace {

const std::string& Lookup(const std::vector<std::string>& table, int index) {
  static const std::string empty;
  return index >= 0 && size_t(index) < table.size() ? table[size_t(index)] : empty;
}

}  // namespace

const std::string& Document::LinkOf(const Run& run) const {
  return Lookup(links, run.format.link);
}

const std::string& Document::FaceOf(const Run& run) const {
  return Lookup(faces, run.format.face);
}

std::string PlainText(const Document& doc) {
  std::string out;
  for (size_t i = 0; i < doc.paragraphs.size(); ++i) {
    if (i > 0) out += '\n';
    for (const Run& run : doc.paragraphs[i].runs) out += run.text;
  }
  return out;
}

}  // namespace kestrum::rich_text
