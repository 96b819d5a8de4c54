// A table of numbered file channels, owned by whoever converts: each conversion has its own,
// so conversions can run side by side in one process.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string_view>

#include "runtime/Channel.h"
#include "runtime/InputTarget.h"
#include "runtime/PlatformFile.h"
#include "runtime/Text.h"

namespace horofu {

constexpr int kChannelCount = 256;

// The channel operations, on this table's channels 1 to 256; a number outside them finds no
// channel (opens change nothing, reads find nothing, ends answer -1). The meaning of each is
// that of the free function of the same name in Channels.h, which works on the process's own
// table. A table is used by one conversion at a time.
class ChannelTable {
  public:
    void Open(const Text& path, int mode, int channel);
    void Attach(std::unique_ptr<PlatformFile> file, int mode, int channel);
    bool Close(int channel);
    int AtEnd(int channel);
    int InputFields(int channel, std::initializer_list<InputTarget> targets);
    bool Read(int channel, char* into, std::size_t size, std::size_t& got);
    bool Seek(int channel, uint64_t position);
    void Write(int channel, std::string_view bytes);
    void Write(int channel, const Text& text) { Write(channel, text.View()); }
    ChannelStatus Status(int channel);
    uint64_t Position(int channel);
    uint64_t SizeAtOpen(int channel);

  private:
    Channel* Slot(int channel);
    std::array<Channel, kChannelCount> channels_;
};

}  // namespace horofu
