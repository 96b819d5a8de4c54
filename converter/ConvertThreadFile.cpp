// Classifies each record of the thread and writes its line of the page.
#include "converter/ConvertThreadFile.h"

#include <array>
#include <string_view>

#include "converter/PageText.h"
#include "runtime/Channels.h"
#include "runtime/Split.h"

namespace horofu {
namespace {

constexpr int kInput = 1;
constexpr int kOutput = 2;
constexpr uint64_t kProgressEvery = 4096;  // records between progress reports

void Put(std::string_view bytes) { WriteChannel(kOutput, bytes); }

void PutLine(std::string_view bytes) {
    Put(bytes);
    Put(page::kLineEnd);
}

// Writes record-derived bytes with &, <, > and " escaped, so that no text of the thread can
// open a tag or leave an attribute. None of these bytes is ever a Shift-JIS trail byte.
void PutEscaped(std::string_view bytes) {
    static constexpr auto kSpecial = [] {
        std::array<bool, 256> special{};
        special['&'] = special['<'] = special['>'] = special['"'] = true;
        return special;
    }();
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (!kSpecial[b]) continue;
        Put(bytes.substr(start, i - start));
        switch (b) {
            case '&': Put("&amp;"); break;
            case '<': Put("&lt;"); break;
            case '>': Put("&gt;"); break;
            default: Put("&quot;"); break;
        }
        start = i + 1;
    }
    Put(bytes.substr(start));
}

// Everything but the last byte: the number before the blank that follows it.
std::string_view WithoutLastByte(std::string_view bytes) {
    return bytes.empty() ? bytes : bytes.substr(0, bytes.size() - 1);
}

// A header: the post number and name before the date, and what stands in for the date.
// P (number and the blank after it) and R (the name) are the parts around "名前：".
void PutHeader(std::string_view placeholder) {
    const std::string_view p = FirstLeft().View();
    const std::string_view r = FirstRight().View();
    Put(page::kTermOpen);
    Put(page::kAnchorNameOpen);
    PutEscaped(WithoutLastByte(p));
    Put(page::kAttributeClose);
    PutEscaped(p);
    Put(page::kAnchorClose);
    Put(page::kNameLabel);
    Put(page::kNameOpen);
    PutEscaped(r);
    Put(page::kNameClose);
    Put(placeholder);
    Put(page::kTermClose);
}

void PutBody(std::string_view record) {
    if (record.empty()) return;  // an empty line is a bare <br>
    Put(page::kDescriptionOpen);
    if (record.size() > 2 && record.substr(0, 2) == page::kReplyMark) {
        // The last byte after ">>" is the blank that ends the post number.
        const std::string_view number = WithoutLastByte(record.substr(2));
        Put(page::kAnchorHrefOpen);
        PutEscaped(number);
        Put(page::kAttributeClose);
        Put(page::kReplyText);
        PutEscaped(number);
        Put(page::kAnchorClose);
    } else {
        PutEscaped(record);
    }
    Put(page::kDescriptionClose);
}

// Writes the line of one record; true when it was a post header. A header is a record with
// the date label, or else with "：0" (a date without label); H, its part before the date,
// must hold "名前：", or the record is an ordinary line that happens to mention a date.
bool PutRecordLine(const Text& record) {
    static const Text dateLabel(page::kDateLabel);
    static const Text colonZero(page::kColonZero);
    static const Text nameLabel(page::kNameLabel);

    Put(page::kLineStart);
    const char* placeholder = nullptr;
    if (SplitFirst(record, dateLabel) == 1) {
        if (SplitFirst(FirstLeft(), nameLabel) == 1) placeholder = page::kLabelledDate;
    } else if (SplitLast(record, colonZero) == 1) {
        if (SplitFirst(LastLeft(), nameLabel) == 1) placeholder = page::kBareDate;
    }
    if (placeholder != nullptr) {
        PutHeader(placeholder);
    } else {
        PutBody(record.View());
    }
    PutLine(page::kBreak);
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

    PutLine(page::kHtmlOpen);
    PutLine(page::kBodyOpen);
    PutLine(page::kListOpen);

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
        if (PutRecordLine(record)) ++result.posts;
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

    PutLine(page::kListClose);
    PutLine(page::kBodyClose);
    PutLine(page::kHtmlClose);

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
