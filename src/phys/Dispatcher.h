#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// Runs simulation steps. With no threads a step runs inside Scene::simulate on the calling
// thread; with one or more, one persistent worker runs it (Bullet as installed is not built
// for threads, so a single step cannot be split; further threads would bring nothing).

namespace phys {

namespace detail {
class SceneCore;
}

// Runs once when a step has finished, on the thread that finished it, before the step's
// results can be fetched.
class CompletionTask {
public:
    virtual ~CompletionTask() = default;
    virtual const char* getName() const = 0;
    virtual void run() = 0;

    // True from Scene::simulate until run() has returned.
    bool isPending() const { return pending.load(std::memory_order_acquire); }

private:
    friend class detail::SceneCore;
    std::atomic<bool> pending{false};
};

namespace detail {
// A unit of work for the worker.
class Job {
public:
    virtual ~Job() = default;
    virtual void execute() = 0;
};
}

class Dispatcher {
public:
    static Dispatcher* create(uint32_t threadCount);
    // Finishes queued work. The dispatcher stays usable by scenes created with it until they
    // are released.
    void release();

    uint32_t threadCount() const { return threads; }

    // Internal: runs the job on the worker, or at once without threads.
    void submit(detail::Job& job);
    void attachScene() { ++scenes; }
    void detachScene();

private:
    explicit Dispatcher(uint32_t threadCount);
    ~Dispatcher();
    void workerLoop();

    uint32_t threads;
    std::thread worker;
    std::mutex mutex;
    std::condition_variable wake;
    // Waiting jobs from `next` on; emptied when the last is taken, so that its room serves
    // again (a step's submission allocates nothing).
    std::vector<detail::Job*> queue;
    std::size_t next = 0;
    bool stopping = false;
    bool released = false;
    uint32_t scenes = 0;
};

} // namespace phys
