// A channel table's operations: find the numbered channel, and ask it.
#include "runtime/ChannelTable.h"

#include <utility>

namespace horofu {

// Channel numbers are 1 to 256; anything else finds no channel.
Channel* ChannelTable::Slot(int channel) {
    if (channel < 1 || channel > kChannelCount) return nullptr;
    return &channels_[static_cast<std::size_t>(channel - 1)];
}

void ChannelTable::Open(const Text& path, int mode, int channel) {
    if (Channel* c = Slot(channel)) c->Open(path, mode);
}

void ChannelTable::Attach(std::unique_ptr<PlatformFile> file, int mode, int channel) {
    if (Channel* c = Slot(channel)) c->Attach(std::move(file), mode);
}

bool ChannelTable::Close(int channel) {
    Channel* c = Slot(channel);
    return c != nullptr && c->Close();
}

int ChannelTable::AtEnd(int channel) {
    Channel* c = Slot(channel);
    return c == nullptr ? -1 : c->AtEnd();
}

int ChannelTable::InputFields(int channel, std::initializer_list<InputTarget> targets) {
    Channel* c = Slot(channel);
    return c == nullptr ? 0 : c->InputFields(targets);
}

bool ChannelTable::Read(int channel, char* into, std::size_t size, std::size_t& got) {
    Channel* c = Slot(channel);
    got = 0;
    return c != nullptr && c->ReadBytes(into, size, got);
}

bool ChannelTable::Seek(int channel, uint64_t position) {
    Channel* c = Slot(channel);
    return c != nullptr && c->Seek(position);
}

void ChannelTable::Write(int channel, std::string_view bytes) {
    if (Channel* c = Slot(channel)) c->Write(bytes);
}

ChannelStatus ChannelTable::Status(int channel) {
    Channel* c = Slot(channel);
    return c == nullptr ? ChannelStatus::Empty : c->Status();
}

uint64_t ChannelTable::Position(int channel) {
    Channel* c = Slot(channel);
    return c == nullptr ? 0 : c->Position();
}

uint64_t ChannelTable::SizeAtOpen(int channel) {
    Channel* c = Slot(channel);
    return c == nullptr ? 0 : c->SizeAtOpen();
}

}  // namespace horofu
