// Classifies each record of the thread and writes its line of the page.
#include "converter/ConvertThreadFile.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "converter/PageText.h"
#include "runtime/ByteScan.h"
#include "runtime/Channels.h"
#include "runtime/Split.h"

namespace horofu {
namespace {

constexpr int kInput = 1;
constexpr int kOutput = 2;
constexpr uint64_t kProgressEvery = 4096;  // records between progress reports

// Gathers the page's lines and hands them to the output channel in large pieces. Each line
// is a dozen small pieces; copying them here keeps the per-record cost to a few moves.
class PageWriter {
  public:
    PageWriter() : data_(new char[kFlushAt + 256]), capacity_(kFlushAt + 256) {}
    ~PageWriter() { Flush(); }

    template <std::size_t N>
    void Put(const char (&literal)[N]) {
        Reserve(N - 1);
        std::memcpy(data_.get() + size_, literal, N - 1);
        size_ += N - 1;
    }
    void Put(std::string_view bytes) {
        Reserve(bytes.size());
        std::memcpy(data_.get() + size_, bytes.data(), bytes.size());
        size_ += bytes.size();
    }
    template <std::size_t N>
    void PutLine(const char (&literal)[N]) {
        Put(literal);
        Put(page::kLineEnd);
        if (size_ >= kFlushAt) Flush();
    }

    // Writes record-derived bytes with &, <, > and " escaped, so that no text of the thread
    // can open a tag or leave an attribute. None of them is ever a Shift-JIS trail byte.
    void PutEscaped(std::string_view bytes) {
        static constexpr ByteSet kSpecial{'&', '<', '>', '"'};
        Reserve(bytes.size() * 6);
        const char* p = bytes.data();
        const char* const end = p + bytes.size();
        for (;;) {
            const char* const stop = FindFirstOf(p, end, kSpecial);
            std::memcpy(data_.get() + size_, p, static_cast<std::size_t>(stop - p));
            size_ += static_cast<std::size_t>(stop - p);
            if (stop == end) return;
            switch (*stop) {
                case '&':
                    Put("&amp;");
                    break;
                case '<':
                    Put("&lt;");
                    break;
                case '>':
                    Put("&gt;");
                    break;
                default:
                    Put("&quot;");
                    break;
            }
            p = stop + 1;
        }
    }

    void Flush() {
        if (size_ == 0) return;
        WriteChannel(kOutput, std::string_view(data_.get(), size_));
        size_ = 0;
    }

  private:
    static constexpr std::size_t kFlushAt = 256 * 1024;

    void Reserve(std::size_t more) {
        if (size_ + more <= capacity_) return;
        const std::size_t capacity = std::max(capacity_ * 2, size_ + more);
        std::unique_ptr<char[]> grown(new char[capacity]);
        std::memcpy(grown.get(), data_.get(), size_);
        data_ = std::move(grown);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> data_;
    std::size_t capacity_;
    std::size_t size_ = 0;
};

// Everything but the last byte: the number before the blank that follows it.
std::string_view WithoutLastByte(std::string_view bytes) {
    return bytes.empty() ? bytes : bytes.substr(0, bytes.size() - 1);
}

// A header: the post number and name before the date, and what stands in for the date.
// P (number and the blank after it) and R (the name) are the parts around "名前：".
void PutHeader(PageWriter& out, std::string_view placeholder) {
    const std::string_view p = FirstLeft().View();
    const std::string_view r = FirstRight().View();
    out.Put(page::kTermOpen);
    out.Put(page::kAnchorNameOpen);
    out.PutEscaped(WithoutLastByte(p));
    out.Put(page::kAttributeClose);
    out.PutEscaped(p);
    out.Put(page::kAnchorClose);
    out.Put(page::kNameLabel);
    out.Put(page::kNameOpen);
    out.PutEscaped(r);
    out.Put(page::kNameClose);
    out.Put(placeholder);
    out.Put(page::kTermClose);
}

void PutBody(PageWriter& out, std::string_view record) {
    if (record.empty()) return;  // an empty line is a bare <br>
    out.Put(page::kDescriptionOpen);
    if (record.size() > 2 && record.substr(0, 2) == page::kReplyMark) {
        // The last byte after ">>" is the blank that ends the post number.
        const std::string_view number = WithoutLastByte(record.substr(2));
        out.Put(page::kAnchorHrefOpen);
        out.PutEscaped(number);
        out.Put(page::kAttributeClose);
        out.Put(page::kReplyText);
        out.PutEscaped(number);
        out.Put(page::kAnchorClose);
    } else {
        out.PutEscaped(record);
    }
    out.Put(page::kDescriptionClose);
}

// Writes the line of one record; true when it was a post header. A header is a record with
// the date label, or else with "：0" (a date without label); H, its part before the date,
// must hold "名前：", or the record is an ordinary line that happens to mention a date.
bool PutRecordLine(PageWriter& out, const Text& record) {
    static const Separator dateLabel{Text(page::kDateLabel)};
    static const Separator colonZero{Text(page::kColonZero)};
    static const Separator nameLabel{Text(page::kNameLabel)};

    out.Put(page::kLineStart);
    const char* placeholder = nullptr;
    if (SplitFirst(record, dateLabel) == 1) {
        if (SplitFirst(FirstLeft(), nameLabel) == 1) placeholder = page::kLabelledDate;
    } else if (SplitLast(record, colonZero) == 1) {
        if (SplitFirst(LastLeft(), nameLabel) == 1) placeholder = page::kBareDate;
    }
    if (placeholder != nullptr) {
        PutHeader(out, placeholder);
    } else {
        PutBody(out, record.View());
    }
    out.PutLine(page::kBreak);
    return placeholder != nullptr;
}

}  // namespace

ConversionResult ConvertThreadFile(const Text& inputPath, const Text& outputPath,
                                   ConversionListener& listener) {
    OpenChannel(inputPath, 1, kInput);
    if (GetChannelStatus(kInput) == ChannelStatus::Open) OpenChannel(outputPath, 2, kOutput);
    return ConvertOpenChannels(listener);
}

ConversionResult ConvertOpenChannels(ConversionListener& listener) {
    ConversionResult result;
    if (GetChannelStatus(kInput) != ChannelStatus::Open) {
        CloseChannel(kOutput);
        CloseChannel(kInput);
        result.outcome = ConversionOutcome::InputNotOpened;
        return result;
    }
    if (GetChannelStatus(kOutput) != ChannelStatus::Open) {
        CloseChannel(kOutput);
        CloseChannel(kInput);
        result.outcome = ConversionOutcome::OutputNotCreated;
        return result;
    }
    const uint64_t total = ChannelSizeAtOpen(kInput);

    PageWriter out;
    out.PutLine(page::kHtmlOpen);
    out.PutLine(page::kBodyOpen);
    out.PutLine(page::kListOpen);

    Text record;
    Text echoed;
    const bool echo = listener.WantsEcho();
    while (ChannelAtEnd(kInput) == 0) {
        // Blanks after the last line end hold no field: no record, nothing written.
        if (InputFields(kInput, {record}) == 0) continue;
        ++result.records;
        if (echo) {
            echoed.Bytes().assign(record.Bytes());
            echoed.Bytes().append(page::kLineEnd);
            listener.Echo(echoed);
        }
        if (PutRecordLine(out, record)) ++result.posts;
        if (result.records % kProgressEvery == 0) {
            listener.Progress(ChannelPosition(kInput), total);
            if (GetChannelStatus(kOutput) != ChannelStatus::Open) break;  // no use going on
        }
        if (listener.StopRequested()) {
            result.outcome = ConversionOutcome::Stopped;
            break;
        }
    }
    listener.Progress(ChannelPosition(kInput), total);

    out.PutLine(page::kListClose);
    out.PutLine(page::kBodyClose);
    out.PutLine(page::kHtmlClose);
    out.Flush();

    result.bytesWritten = ChannelPosition(kOutput);
    const bool readOk = GetChannelStatus(kInput) == ChannelStatus::Open;
    const bool written = CloseChannel(kOutput);
    CloseChannel(kInput);
    if (result.outcome == ConversionOutcome::Done) {
        if (!readOk) {
            result.outcome = ConversionOutcome::ReadFailed;
        } else if (!written) {
            result.outcome = ConversionOutcome::WriteFailed;
        }
    }
    return result;
}

}  // namespace horofu
