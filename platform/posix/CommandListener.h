// What the horofu command shows while a thread converts: the echo of every record on a
// stream, and the progress bar.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "converter/ConvertThreadFile.h"
#include "platform/posix/ProgressBar.h"
#include "platform/posix/TerminalText.h"

namespace horofu {

// Made by the command for each conversion: echoes to echoTo (null: no echo) in the locale's
// encoding, control bytes shown where echoTo is a terminal, and moves bar (null: none) when
// nothing is echoed.
class CommandListener : public ConversionListener {
  public:
    CommandListener(TerminalText& text, std::FILE* echoTo, ProgressBar* bar)
        : text_(text), echoTo_(echoTo), bar_(bar) {}
    bool WantsEcho() const override { return echoTo_ != nullptr; }
    void Echo(const Text& line) override;
    void Progress(uint64_t done, uint64_t total) override {
        if (bar_ != nullptr && echoTo_ == nullptr) bar_->Update(done, total);
    }

  private:
    TerminalText& text_;
    std::FILE* echoTo_;
    ProgressBar* bar_;
    std::string cut_;  // a lead byte whose second byte is in the next piece
};

}  // namespace horofu
