// Worker threads that take the next job from a shared counter and hand each job's bytes to the
// calling thread, which tells them one at a time.
#include "archive/ThreadedSiteWorkers.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace horofu {
namespace {

// What the workers and the calling thread share during one Run.
struct Jobs {
    struct Finished {
        std::size_t job;
        bool ended;
        std::string bytes;
    };
    std::mutex lock;
    std::condition_variable told;
    std::size_t next = 0;  // the next job to take
    std::deque<Finished> finished;
    std::size_t workersLeft = 0;

    // The next job for a worker, false when none is left.
    bool Take(std::size_t count, std::size_t& job) {
        std::lock_guard<std::mutex> hold(lock);
        if (next >= count) return false;
        job = next++;
        return true;
    }
};

// One job run: a job whose work throws (memory ran out, say) ends as a worker that died would.
Jobs::Finished RunJob(const SiteWorkers::Work& work, std::size_t job) {
    try {
        return {job, true, work(job)};
    } catch (...) {
        return {job, false, std::string()};
    }
}

}  // namespace

ThreadedSiteWorkers::ThreadedSiteWorkers(unsigned count) : count_(count) {
    if (count_ == 0) count_ = std::thread::hardware_concurrency();
    if (count_ == 0) count_ = 1;
}

void ThreadedSiteWorkers::Run(std::size_t count, const Work& work, const Done& done) {
    if (count == 0) return;
    Jobs jobs;
    auto worker = [&jobs, &work, count] {
        std::size_t job = 0;
        while (jobs.Take(count, job)) {
            Jobs::Finished finished = RunJob(work, job);
            std::lock_guard<std::mutex> hold(jobs.lock);
            jobs.finished.push_back(std::move(finished));
            jobs.told.notify_one();
        }
        std::lock_guard<std::mutex> hold(jobs.lock);
        --jobs.workersLeft;
        jobs.told.notify_one();
    };
    // Joined on the way out, also when done throws: the workers end before what they share.
    std::vector<std::jthread> threads;
    const std::size_t wanted = count < count_ ? count : count_;
    for (std::size_t i = 0; i < wanted; ++i) {
        {
            std::lock_guard<std::mutex> hold(jobs.lock);
            ++jobs.workersLeft;
        }
        try {
            threads.emplace_back(worker);
        } catch (const std::system_error&) {
            std::lock_guard<std::mutex> hold(jobs.lock);
            --jobs.workersLeft;
            break;  // no more threads now: those started share the jobs
        }
    }
    if (threads.empty()) {
        // Not one thread: the jobs run here, one after the other.
        std::size_t job = 0;
        while (jobs.Take(count, job)) {
            Jobs::Finished finished = RunJob(work, job);
            done(finished.job, finished.ended, finished.bytes);
        }
        return;
    }
    std::unique_lock<std::mutex> hold(jobs.lock);
    for (;;) {
        jobs.told.wait(hold, [&jobs] { return !jobs.finished.empty() || jobs.workersLeft == 0; });
        if (jobs.finished.empty()) break;
        Jobs::Finished finished = std::move(jobs.finished.front());
        jobs.finished.pop_front();
        // Told without the lock, so that the workers go on meanwhile.
        hold.unlock();
        done(finished.job, finished.ended, finished.bytes);
        hold.lock();
    }
}

}  // namespace horofu
