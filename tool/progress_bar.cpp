#include "tool/progress_bar.h"

#include <cstdio>

#include "tool/console.h"
#include "view/terminal_text.h"
#include "view/size_view.h"

namespace kestrum {

namespace {
constexpr auto kDelay = std::chrono::milliseconds(400);
constexpr auto kInterval = std::chrono::milliseconds(100);
constexpr int kWidth = 24;
}  // namespace

ProgressBar::ProgressBar(const char* verb)
    : verb_(verb), enabled_(IsTerminal(stderr)), start_(std::chrono::steady_clock::now()) {}

ProgressBar::~ProgressBar() {
  Finish();
}

void ProgressBar::Update(uint64_t done, uint64_t total, const std::string& current) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - start_ < kDelay || (shown_ && now - last_ < kInterval)) return;
  last_ = now;
  shown_ = true;
  const double ratio = total ? double(done) / double(total) : 1.0;
  const int filled = static_cast<int>(ratio * kWidth);
  std::string bar(static_cast<size_t>(filled), '#');
  bar.resize(kWidth, '-');
  std::string name = TerminalSafe(current);
  if (name.size() > 40) name = "..." + name.substr(name.size() - 37);
  SizeView sizes;
  Write(stderr,
        ClearLineText() + Format("%s [%s] %3d%%  %s / %s  %s", verb_, bar.c_str(),
                                 static_cast<int>(ratio * 100), sizes.Format(int64_t(done)).c_str(),
                                 sizes.Format(int64_t(total)).c_str(), name.c_str()));
}

void ProgressBar::Finish() {
  if (shown_) Write(stderr, ClearLineText());
  shown_ = false;
}

}  // namespace kestrum
