// Worker processes forked from the command: each converts one thread with the channels of its
// own process and writes what it learnt into a pipe that the command reads.
#include "platform/posix/ForkedSiteWorkers.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace horofu {
namespace {

// A worker converts a batch of jobs one after the other (a fork per small thread would cost
// more than its conversion) and writes each job's bytes as "JOB LENGTH\n" and the bytes.
struct Worker {
    pid_t pid;
    int pipe;
    std::size_t first, end;  // its jobs
    std::size_t reported;    // jobs told so far, counted from first
    std::string bytes;       // read and not yet told
};

constexpr std::size_t kLargestBatch = 64;

void WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

ForkedSiteWorkers::ForkedSiteWorkers(unsigned count) : count_(count) {
    if (count_ == 0) {
        const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
        count_ = cores > 0 ? static_cast<unsigned>(cores) : 1;
    }
}

void ForkedSiteWorkers::Run(std::size_t count, const Work& work, const Done& done) {
    std::vector<Worker> running;
    std::size_t next = 0;
    const pid_t parent = ::getpid();
    // Tells the jobs whose bytes are complete in a worker's buffer.
    auto tell = [&](Worker& worker) {
        std::size_t at = 0;
        for (;;) {
            const std::size_t eol = worker.bytes.find('\n', at);
            if (eol == std::string::npos) break;
            std::size_t job = 0, length = 0;
            if (std::sscanf(worker.bytes.c_str() + at, "%zu %zu", &job, &length) != 2) break;
            if (worker.bytes.size() - (eol + 1) < length) break;
            std::string one = worker.bytes.substr(eol + 1, length);
            at = eol + 1 + length;
            if (job != worker.first + worker.reported) break;
            ++worker.reported;
            done(job, true, one);
        }
        worker.bytes.erase(0, at);
    };
    auto finish = [&](std::size_t i, bool forked) {
        Worker worker = std::move(running[i]);
        running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
        ::close(worker.pipe);
        int status = 0;
        if (forked) {
            while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
        tell(worker);
        // Jobs a worker did not report (it died, or could not be started) failed.
        for (std::size_t job = worker.first + worker.reported; job < worker.end; ++job) {
            std::string none;
            done(job, false, none);
        }
    };
    while (next < count || !running.empty()) {
        while (next < count && running.size() < count_) {
            const std::size_t left = count - next;
            const std::size_t batch =
                std::clamp<std::size_t>(left / (count_ * 8), 1, kLargestBatch);
            int ends[2];
            if (::pipe2(ends, O_CLOEXEC) != 0) {
                ends[0] = ends[1] = -1;
            }
            std::fflush(nullptr);  // nothing buffered is written twice
            const pid_t pid = ends[0] < 0 ? -1 : ::fork();
            if (pid == 0) {
                ::close(ends[0]);
                // A worker does not outlive the command (killed, it leaves no page half-made).
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                if (::getppid() != parent) ::_exit(1);
                // Nothing of the command's stays open in the worker but the standard streams
                // and its pipe: the site's lock goes with the command, and other workers' pipes
                // end with their workers.
                int out = ends[1];
                if (out != 3) {
                    out = ::dup2(ends[1], 3);
                    if (out < 0) ::_exit(1);
                }
                ::close_range(4, ~0u, 0);
                for (std::size_t job = next; job < next + batch; ++job) {
                    const std::string bytes = work(job);
                    char head[64];
                    std::snprintf(head, sizeof head, "%zu %zu\n", job, bytes.size());
                    WriteAll(out, head);
                    WriteAll(out, bytes);
                }
                ::_exit(0);
            }
            if (ends[1] >= 0) ::close(ends[1]);
            running.push_back({pid, ends[0], next, next + batch, 0, {}});
            next += batch;
            if (pid < 0) finish(running.size() - 1, false);
        }
        if (running.empty()) continue;
        std::vector<pollfd> fds;
        for (const Worker& w : running) fds.push_back({w.pipe, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) continue;
        for (std::size_t i = fds.size(); i-- > 0;) {
            if (fds[i].revents == 0) continue;
            char buffer[64 * 1024];
            const ssize_t n = ::read(running[i].pipe, buffer, sizeof buffer);
            if (n > 0) {
                running[i].bytes.append(buffer, static_cast<std::size_t>(n));
                tell(running[i]);
            } else if (n == 0 || errno != EINTR) {
                finish(i, true);
            }
        }
    }
}

}  // namespace horofu
