// Reading a thread's lines: encoding, decoding and line ends.
#include "converter/modern/ThreadLines.h"

#include <cstring>
#include <system_error>

#include "runtime/Ascii.h"
#include "runtime/ByteScan.h"
#include "runtime/ChannelTable.h"
#include "runtime/EncodingGuess.h"
#include "runtime/EncodingNames.h"

namespace horofu {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr std::size_t kLookAhead = 64 * 1024;   // bytes that decide the encoding
constexpr std::size_t kReadSize = 256 * 1024;   // bytes read and decoded at a time
constexpr std::size_t kLongestPiece = 4 << 20;  // a longer line comes in pieces
constexpr ByteSet kLineEnds{'\r', '\n'};
constexpr std::size_t kPiecesAhead = 4;  // decoded pieces waiting at most
// Room kept before each decoded piece for the unfinished line of the one before, so that a
// piece becomes the text without being copied.
constexpr std::size_t kHeadroom = 64 * 1024;

}  // namespace

std::string ChooseEncoding(std::string_view start, bool complete, const std::string& named) {
    if (named.empty()) return std::string(EncodingName(GuessEncoding(start, complete)));
    const std::string_view known = EncodingName(EncodingFromName(named));
    return known.empty() ? named : std::string(known);
}

std::string_view ThreadLines::Read() {
    std::size_t got = 0;
    const uint64_t left = limit_ - bytesRead_;
    if (left != 0) {  // a failure shows in the channel
        channels_.Read(channel_, input_.get(), left < kReadSize ? left : kReadSize, got);
    }
    const std::string_view bytes(input_.get(), got);
    bytesRead_ += got;
    hash_.Add(bytes);
    if (copyTo_ != 0) channels_.Write(copyTo_, bytes);
    return bytes;
}

ThreadLines::ThreadLines(ChannelTable& channels, int channel, std::string encoding, int copyTo,
                         uint64_t limit)
    : channels_(channels),
      channel_(channel),
      copyTo_(copyTo),
      input_(new char[kReadSize]),
      limit_(limit) {
    // Read until the bytes seen hold enough beyond the first byte outside ASCII to tell.
    std::size_t firstWide = std::string::npos;
    bool complete = false;
    while (encoding.empty()) {
        const std::string_view bytes = Read();
        if (bytes.empty()) {
            complete = true;
            break;
        }
        head_.append(bytes);
        if (firstWide == std::string::npos && HasNonAscii(bytes)) {
            for (firstWide = head_.size() - bytes.size();
                 static_cast<unsigned char>(head_[firstWide]) < 0x80;) {
                ++firstWide;
            }
        }
        if (firstWide != std::string::npos && head_.size() - firstWide >= kLookAhead) break;
        if (head_.size() >= 64 * kLookAhead) break;  // plain ASCII so far: UTF-8 or not, alike
    }
    encoding_ = ChooseEncoding(
        std::string_view(head_).substr(
            0, firstWide == std::string::npos ? head_.size() : firstWide + kLookAhead),
        complete, encoding);
    decoder_ = OpenDecoder(encoding_);
    if (!decoder_) {
        ended_ = true;
        return;
    }
    try {
        reader_ = std::thread([this] { Decoding(); });
    } catch (const std::system_error&) {
        // No thread to be had (a process limit, no room for its stack): Fill decodes each
        // piece on the caller's thread when it is wanted.
    }
}

ThreadLines::~ThreadLines() {
    EndDecoding();
}

void ThreadLines::EndDecoding() {
    if (!reader_.joinable()) return;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        quit_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

uint64_t ThreadLines::Undecodable() {
    EndDecoding();
    return decoder_ ? decoder_->Undecodable() : 0;
}

void ThreadLines::Decoding() {
    try {
        DecodeAll();
    } catch (...) {
        const std::lock_guard<std::mutex> hold(lock_);
        failure_ = std::current_exception();
    }
    {
        const std::lock_guard<std::mutex> hold(lock_);
        readerDone_ = true;
    }
    changed_.notify_all();
}

bool ThreadLines::DecodePiece(std::string& piece) {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        if (!spare_.empty()) {
            piece = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    // What stands in the headroom is never read: only what is copied there.
    piece.resize(kHeadroom);
    if (!head_.empty()) {
        decoder_->Decode(head_, false, piece);
        head_.clear();
        head_.shrink_to_fit();
        return false;
    }
    const std::string_view bytes = Read();
    decoder_->Decode(bytes, bytes.empty(), piece);
    return bytes.empty();
}

void ThreadLines::DecodeAll() {
    bool ended = false;
    while (!ended) {
        std::string piece;
        ended = DecodePiece(piece);
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait(hold, [this] { return pieces_.size() < kPiecesAhead || quit_; });
        if (quit_) break;
        pieces_.push_back(std::move(piece));
        hold.unlock();
        changed_.notify_all();
    }
}

bool ThreadLines::Fill() {
    if (ended_) return false;
    std::string piece;
    if (!reader_.joinable() && !readerDone_) {
        // Without a reading thread, the next piece is decoded here.
        std::string next;
        readerDone_ = DecodePiece(next);
        pieces_.push_back(std::move(next));
    }
    {
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait(hold, [this] { return !pieces_.empty() || readerDone_; });
        if (pieces_.empty()) {
            ended_ = true;
            if (failure_) std::rethrow_exception(failure_);
            return false;
        }
        piece = std::move(pieces_.front());
        pieces_.pop_front();
    }
    changed_.notify_all();
    const std::size_t carried = text_.size() - pos_;
    if (carried <= kHeadroom) {
        std::memcpy(piece.data() + kHeadroom - carried, text_.data() + pos_, carried);
        text_.swap(piece);
        pos_ = kHeadroom - carried;
    } else {
        text_.erase(0, pos_);
        text_.append(piece, kHeadroom);
        pos_ = 0;
    }
    {
        const std::lock_guard<std::mutex> hold(lock_);
        spare_.push_back(std::move(piece));
    }
    // Decoders hand out whole characters, so a mark at the start is there whole or not at all.
    if (atStart_ && text_.size() > pos_) {
        if (std::string_view(text_).substr(pos_, 3) == kByteOrderMark) pos_ += 3;
        atStart_ = false;
    }
    return true;
}

bool ThreadLines::Next(std::string_view& line, bool& continues) {
    if (!decoder_) return false;
    std::size_t searched = 0;  // bytes after pos_ known to hold no line end
    for (;;) {
        const char* const data = text_.data();
        const char* const end = data + text_.size();
        const char* stop = FindFirstOf(data + pos_ + searched, end, kLineEnds);
        // A CR at the end of what is decoded may be the first half of CR LF: look further.
        const bool cutCr = stop + 1 == end && *stop == '\r' && !ended_;
        if (stop != end && !cutCr) {
            line = std::string_view(data + pos_, static_cast<std::size_t>(stop - data) - pos_);
            continues = false;
            pos_ = static_cast<std::size_t>(stop - data) + 1;
            if (*stop == '\r' && stop + 1 != end && stop[1] == '\n') ++pos_;
            return true;
        }
        if (text_.size() - pos_ >= kLongestPiece) {
            // A piece ends before a whole character that starts within its last bytes.
            std::size_t cut = pos_ + kLongestPiece;
            while (cut > pos_ && (static_cast<unsigned char>(text_[cut]) & 0xC0) == 0x80) --cut;
            line = std::string_view(data + pos_, cut - pos_);
            continues = true;
            pos_ = cut;
            return true;
        }
        if (ended_) {
            if (pos_ == text_.size()) return false;
            line = std::string_view(data + pos_, text_.size() - pos_);
            continues = false;
            pos_ = text_.size();
            return true;
        }
        searched = text_.size() - pos_;
        if (cutCr) --searched;
        Fill();
    }
}

}  // namespace horofu
