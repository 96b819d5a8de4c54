// Writing a full buffer on a second thread while the next one is filled.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/PlatformFile.h"

namespace horofu {

// Owned by an output channel. Copying a large page into the system's file cache takes about
// as long as building it; handing each full buffer to a thread of its own lets the two overlap.
// Only for channels that never read, so no read or seek has to wait for the file position.
// Where no thread can be started, the writes are made on the caller's thread instead.
class WriteBehind {
  public:
    explicit WriteBehind(PlatformFile& file);
    ~WriteBehind();  // waits for the last write
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Takes the bytes of buffer (leaving it an empty buffer of the same capacity) and writes
    // them in the background. Returns false if an earlier background write failed.
    bool Write(std::vector<char>& buffer, std::size_t size);
    // Waits until every byte handed over is written; false if any write failed.
    bool Finish();

  private:
    void Run();

    PlatformFile& file_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<char> pending_;
    std::size_t pendingSize_ = 0;
    bool busy_ = false;
    bool failed_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace horofu
