// Drawing of the progress bar with a carriage return and an erase-line sequence.
#include "command/ProgressBar.h"

#include <algorithm>
#include <cstdio>

namespace horofu {

ProgressBar::ProgressBar(Terminal& terminal, std::string label)
    : terminal_(terminal),
      label_(std::move(label)),
      enabled_(terminal.IsTerminal(StandardStream::Error)),
      start_(std::chrono::steady_clock::now()) {}

void ProgressBar::Update(uint64_t done, uint64_t total) {
    if (!enabled_ || total == 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < std::chrono::milliseconds(500)) return;
    if (drawn_ && now - lastDrawn_ < std::chrono::milliseconds(100)) return;
    lastDrawn_ = now;
    drawn_ = true;

    const int columns = terminal_.Width(StandardStream::Error);
    const double fraction = std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
    char figures[64];
    std::snprintf(figures, sizeof figures, " %3d%% %.1f/%.1f MB", static_cast<int>(fraction * 100),
                  static_cast<double>(done) / 1e6, static_cast<double>(total) / 1e6);
    const int width = std::clamp(columns - static_cast<int>(label_.size()) - 24, 10, 50);
    const int filled = static_cast<int>(fraction * width);
    std::string bar = "\r" + label_ + " [";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(width - filled), '.');
    bar += "]";
    bar += figures;
    bar += "\x1b[K";
    terminal_.Write(StandardStream::Error, bar);
    terminal_.Flush(StandardStream::Error);
}

void ProgressBar::Clear() {
    if (!drawn_) return;
    terminal_.Write(StandardStream::Error, "\r\x1b[K");
    terminal_.Flush(StandardStream::Error);
    drawn_ = false;
}

}  // namespace horofu
