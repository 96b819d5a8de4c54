// Classifies each record of the thread and writes its line of the page.
#include "converter/ConvertThreadFile.h"

#include <string_view>

#include "converter/ModernPage.h"
#include "converter/PageText.h"
#include "converter/PageWriter.h"
#include "runtime/Channels.h"
#include "runtime/Split.h"

namespace horofu {
namespace {

constexpr uint64_t kProgressEvery = 4096;  // records between progress reports

// The number without the blank that ends it. Only a blank or control byte (0x20 or below) is
// taken off: ">>12" keeps its 2, and no double-byte character is ever cut in half.
std::string_view WithoutEndingBlank(std::string_view bytes) {
    if (!bytes.empty() && static_cast<unsigned char>(bytes.back()) <= 0x20) {
        bytes.remove_suffix(1);
    }
    return bytes;
}

// A header: the post number and name before the date, and what stands in for the date.
// P (number and the blank after it) and R (the name) are the parts around "名前：".
void PutHeader(PageWriter& out, std::string_view placeholder) {
    const std::string_view p = FirstLeft().View();
    const std::string_view r = FirstRight().View();
    out.Put(page::kTermOpen);
    out.Put(page::kAnchorNameOpen);
    out.PutEscaped(WithoutEndingBlank(p));
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
        const std::string_view number = WithoutEndingBlank(record.substr(2));
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
                                   ConversionListener& listener, const PageOptions& options) {
    OpenChannel(inputPath, 1, kInput);
    if (GetChannelStatus(kInput) == ChannelStatus::Open) OpenChannel(outputPath, 2, kOutput);
    return ConvertOpenChannels(listener, options);
}

ConversionResult ConvertOpenChannels(ConversionListener& listener, const PageOptions& options) {
    if (options.kind == PageKind::Modern) return ConvertModernChannels(listener, options);
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
