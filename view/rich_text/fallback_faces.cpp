#include "view/rich_text/fallback_faces.h"

#include <utility>

#include "archive/utf8.h"

namespace kestrum::rich_text {

namespace {

bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

int FaceIndex(Document& doc, const std::string& face) {
  for (size_t i = 0; i < doc.faces.size(); ++i)
    if (doc.faces[i] == face) return int(i);
  doc.faces.push_back(face);
  return int(doc.faces.size()) - 1;
}

// The face of each unit: the run's own (-2) or the index of a fallback.
std::vector<int> FacesOfUnits(const Document& doc, const Run& run, const std::u16string& text,
                              const std::vector<std::string>& fallbacks,
                              const FaceCoverage& covers) {
  constexpr int kOwn = -2;
  std::vector<int> faces(text.size(), kOwn);
  const std::vector<bool> own = covers(doc.FaceOf(run), text);
  std::vector<size_t> missing;
  for (size_t i = 0; i < text.size(); ++i)
    if (i >= own.size() || !own[i]) missing.push_back(i);
  for (size_t f = 0; f < fallbacks.size() && !missing.empty(); ++f) {
    std::u16string asked;
    for (size_t i : missing) asked += text[i];
    const std::vector<bool> drawn = covers(fallbacks[f], asked);
    std::vector<size_t> still;
    for (size_t k = 0; k < missing.size(); ++k) {
      if (k < drawn.size() && drawn[k]) {
        faces[missing[k]] = int(f);
      } else {
        still.push_back(missing[k]);
      }
    }
    missing = std::move(still);
  }
  // The two halves of a pair stay together.
  for (size_t i = 1; i < text.size(); ++i)
    if (IsLowSurrogate(text[i])) faces[i] = faces[i - 1];
  return faces;
}

}  // namespace

void UseFallbackFaces(Document& doc, const std::vector<std::string>& fallbacks,
                      const FaceCoverage& covers) {
  if (fallbacks.empty()) return;
  for (Paragraph& paragraph : doc.paragraphs) {
    std::vector<Run> runs;
    for (Run& run : paragraph.runs) {
      if (run.format.picture >= 0) {
        runs.push_back(std::move(run));
        continue;
      }
      const std::u16string text = Utf8ToUtf16(run.text);
      const std::vector<int> faces = FacesOfUnits(doc, run, text, fallbacks, covers);
      for (size_t start = 0; start < text.size();) {
        size_t end = start + 1;
        while (end < text.size() && faces[end] == faces[start]) ++end;
        Run part{Utf16ToUtf8(text.substr(start, end - start)), run.format};
        if (faces[start] >= 0) part.format.face = FaceIndex(doc, fallbacks[size_t(faces[start])]);
        runs.push_back(std::move(part));
        start = end;
      }
    }
    paragraph.runs = std::move(runs);
  }
}

}  // namespace kestrum::rich_text
