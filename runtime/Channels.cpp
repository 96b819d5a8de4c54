// The process's channel table and the free channel operations on it.
#include "runtime/Channels.h"

#include <utility>

namespace horofu {

ChannelTable& ProcessChannels() {
    static ChannelTable table;
    return table;
}

void OpenChannel(const Text& path, int mode, int channel) {
    ProcessChannels().Open(path, mode, channel);
}

void AttachChannel(std::unique_ptr<PlatformFile> file, int mode, int channel) {
    ProcessChannels().Attach(std::move(file), mode, channel);
}

bool CloseChannel(int channel) {
    return ProcessChannels().Close(channel);
}

int ChannelAtEnd(int channel) {
    return ProcessChannels().AtEnd(channel);
}

int InputFields(int channel, std::initializer_list<InputTarget> targets) {
    return ProcessChannels().InputFields(channel, targets);
}

bool ReadChannel(int channel, char* into, std::size_t size, std::size_t& got) {
    return ProcessChannels().Read(channel, into, size, got);
}

bool SeekChannel(int channel, uint64_t position) {
    return ProcessChannels().Seek(channel, position);
}

void WriteChannel(int channel, std::string_view bytes) {
    ProcessChannels().Write(channel, bytes);
}

void WriteChannel(int channel, const Text& text) {
    ProcessChannels().Write(channel, text);
}

ChannelStatus GetChannelStatus(int channel) {
    return ProcessChannels().Status(channel);
}

uint64_t ChannelPosition(int channel) {
    return ProcessChannels().Position(channel);
}

uint64_t ChannelSizeAtOpen(int channel) {
    return ProcessChannels().SizeAtOpen(channel);
}

}  // namespace horofu
