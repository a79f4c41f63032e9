#include "phys/Dispatcher.h"

namespace phys {

Dispatcher* Dispatcher::create(uint32_t threadCount) {
    return new Dispatcher(threadCount);
}

Dispatcher::Dispatcher(uint32_t threadCount) : threads(threadCount) {
    if (threads > 0)
        worker = std::thread([this] { workerLoop(); });
}

Dispatcher::~Dispatcher() {
    if (worker.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        worker.join();
    }
}

void Dispatcher::release() {
    released = true;
    if (scenes == 0)
        delete this;
}

void Dispatcher::detachScene() {
    if (scenes > 0)
        --scenes;
    if (released && scenes == 0)
        delete this;
}

void Dispatcher::submit(detail::Job& job) {
    if (threads == 0) {
        job.execute();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        queue.push_back(&job);
    }
    wake.notify_one();
}

void Dispatcher::workerLoop() {
    for (;;) {
        detail::Job* job = nullptr;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] { return stopping || next < queue.size(); });
            if (next == queue.size())
                return;
            job = queue[next++];
            if (next == queue.size()) {
                queue.clear();
                next = 0;
            }
        }
        job->execute();
    }
}

} // namespace phys
