// The conversion of a thread text into its HTML page, record by record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "runtime/ChannelTable.h"
#include "runtime/Text.h"

namespace horofu {

class NgFilter;
class PageSiteHooks;

// What a conversion tells its caller while it runs. Every member has a harmless default.
class ConversionListener {
  public:
    virtual ~ConversionListener() = default;
    // Whether Echo is wanted; building the echoed line is skipped when not.
    virtual bool WantsEcho() const { return false; }
    // Called with every record as read, followed by CR LF. A record too long to hold (over a
    // megabyte) comes in several calls as it is read; only the last ends in CR LF. A piece
    // may end inside a double-byte character, which the next piece completes.
    virtual void Echo(const Text& /*line*/) {}
    // Called now and then with the input bytes consumed so far and the input's size.
    virtual void Progress(uint64_t /*done*/, uint64_t /*total*/) {}
    // Asked between records (between chunks of records when a large thread is converted on
    // two threads); true ends the conversion early (outcome Stopped).
    virtual bool StopRequested() { return false; }
    // Progress and StopRequested may be called on a conversion thread other than the caller's,
    // but never two calls at once. Echo is called on the caller's thread, in record order.
};

enum class ConversionOutcome {
    Done,
    InputNotOpened,    // the thread text could not be opened; the output was not touched
    OutputNotCreated,  // the page could not be created
    ReadFailed,        // reading the thread text failed part-way
    WriteFailed,       // some bytes of the page could not be written
    Stopped,           // the listener asked to stop
    SameAsInput,       // the page would have replaced its own thread text (ConvertIntoPlace)
    OutputExists,      // a page is already there and may not be replaced (ConvertIntoPlace)
    OutOfMemory,       // memory ran out; the page is incomplete
    ThreadChanged,     // modern page: the thread changed between its two readings
    Unexpected,        // something unforeseen ended it (systemError tells what, when known)
};

// Which page a conversion builds: the classic Shift-JIS page, or the modern UTF-8 one.
enum class PageKind { Classic, Modern };

struct PageOptions {
    PageKind kind = PageKind::Classic;
    std::string inputEncoding;  // the modern page's input encoding; empty: detected
    // The thread's file name: the modern page's title when the thread names none, and a name
    // ending in ".dat" makes it read the thread as a .dat.
    Text title;
    // The modern page's filter of posts (--ng), or null for none.
    std::shared_ptr<const NgFilter> ng;
    // A modern page made for a site: its stylesheet, navigation and links between threads.
    PageSiteHooks* site = nullptr;
};

struct ConversionResult {
    ConversionOutcome outcome = ConversionOutcome::Done;
    uint64_t records = 0;        // records read
    uint64_t posts = 0;          // records written as post headers
    uint64_t bytesWritten = 0;   // size of the page
    uint64_t undecodable = 0;    // modern page: input bytes shown as U+FFFD
    uint64_t badReferences = 0;  // modern page: character references shown as U+FFFD
    uint64_t ngUndecided = 0;    // modern page: posts kept on whose lines an NG pattern gave up
    int systemError = 0;         // the platform's reason for a failed open or placing, or 0
};

// Reads the thread text at inputPath on channel 1 and writes its page to outputPath on
// channel 2, one line per record between the three head and three tail lines. Post headers
// become <DT> terms with an anchor per post number, body lines <DD> descriptions, and a
// ">>N" line a link to post N. Called by ConvertIntoPlace, which the front ends use, and by
// tests. Nothing is written when the input cannot be opened.
ConversionResult ConvertThreadFile(const Text& inputPath, const Text& outputPath,
                                   ConversionListener& listener, const PageOptions& options = {});

// The same for channels the caller has opened itself on a table of its own (channel 1 the
// thread, channel 2 the page), such as standard input and output; closes both. Builds the page
// options.kind asks for. Each conversion has its own table, so conversions can run side by
// side in one process.
ConversionResult ConvertOpenChannels(ChannelTable& channels, ConversionListener& listener,
                                     const PageOptions& options = {});

}  // namespace horofu
