// What the horofu command shows while a thread converts: the echo of every record on a
// stream, and the progress bar.
#pragma once

#include <cstdint>
#include <string>

#include "app/ConversionStop.h"
#include "command/ProgressBar.h"
#include "command/Terminal.h"
#include "converter/ConvertThreadFile.h"

namespace horofu {

// Made by the command for each conversion: echoes to echoTo (null: no echo) as the terminal
// shows text, control bytes shown where echoTo is a terminal, moves bar (null: none) when
// nothing is echoed, and stops when stop (null: none) asks for it.
class CommandListener : public ConversionListener {
  public:
    CommandListener(Terminal& terminal, const StandardStream* echoTo, ProgressBar* bar,
                    const ConversionStop* stop)
        : terminal_(terminal),
          echo_(echoTo != nullptr),
          echoTo_(echoTo != nullptr ? *echoTo : StandardStream::Output),
          bar_(bar),
          stop_(stop) {}
    bool WantsEcho() const override { return echo_; }
    void Echo(const Text& line) override;
    void Progress(uint64_t done, uint64_t total) override {
        if (bar_ != nullptr && !echo_) bar_->Update(done, total);
    }
    bool StopRequested() override { return stop_ != nullptr && stop_->StopRequested(); }

  private:
    Terminal& terminal_;
    bool echo_;
    StandardStream echoTo_;
    ProgressBar* bar_;
    const ConversionStop* stop_;
    std::string cut_;  // a lead byte whose second byte is in the next piece
};

}  // namespace horofu
