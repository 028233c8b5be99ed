#include "broadcast.h"
#include "delivery.h"

#include <QThreadPool>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace yoyo {

// One lane per yo-yo being written to: a report to a yo-yo whose previous
// report has yet to be written waits in that yo-yo's lane, and starts as soon
// as the previous one has left. The wait for an answer comes after that, so a
// stop follows its start at once even to a yo-yo that never answers.
struct Broadcast::Lanes {
    using Job = std::function<void()>;

    explicit Lanes(Backlog backlog) : backlog(backlog) {}
    const Backlog backlog;

    // Standard library locks, which the thread sanitizer sees through.
    std::mutex mutex;
    std::condition_variable all_done;
    int under_way = 0; // queued in a lane or running
    int running = 0;
    std::map<std::string, std::deque<Job>> lanes;
    std::deque<Job> ready; // started, not yet taken by their thread
    QThreadPool pool;

    void queue(const std::string &path, Job job)
    {
        std::lock_guard<std::mutex> locker(mutex);
        ++under_way;
        const auto [lane, idle] = lanes.try_emplace(path);
        if (idle) {
            start(std::move(job));
        } else if (backlog == Backlog::newest_only && !lane->second.empty()) {
            // The waiting report is older than this one and has not left yet.
            lane->second.back() = std::move(job);
            --under_way;
        } else {
            lane->second.push_back(std::move(job));
        }
    }

    // The delivery to `path` will write nothing more: the next report to that
    // yo-yo may go.
    void pass(const std::string &path)
    {
        std::lock_guard<std::mutex> locker(mutex);
        const auto lane = lanes.find(path);
        if (lane->second.empty()) {
            lanes.erase(lane);
            return;
        }
        start(std::move(lane->second.front()));
        lane->second.pop_front();
    }

    void finished()
    {
        std::lock_guard<std::mutex> locker(mutex);
        --running;
        if (--under_way == 0)
            all_done.notify_all();
    }

private:
    // A thread for every delivery that runs: none waits for another's answer.
    // Threads left idle expire on their own. The delivery itself goes to its
    // thread through `ready`, under the lock above, rather than inside the
    // pool, whose hand-over the thread sanitizer cannot see.
    void start(Job job)
    {
        ready.push_back(std::move(job));
        if (pool.maxThreadCount() <= running)
            pool.setMaxThreadCount(running + 1);
        ++running;
        pool.start([this] { take()(); });
    }

    Job take()
    {
        std::lock_guard<std::mutex> locker(mutex);
        Job job = std::move(ready.front());
        ready.pop_front();
        return job;
    }
};

Broadcast::Broadcast(const Transport &transport, Backlog backlog)
    : transport(transport)
    , lanes(std::make_unique<Lanes>(backlog))
{
}

Broadcast::~Broadcast()
{
    wait_for_tasks(-1);
}

void Broadcast::send(const hid_device_info *yoyos, const std::uint8_t *usb_report)
{
    send_framed(yoyos, framed(transport, usb_report));
}

void Broadcast::send_framed(const hid_device_info *yoyos, const std::vector<std::uint8_t> &report)
{
    for (const hid_device_info *record = yoyos; record; record = record->next) {
        // Everything the delivery needs is copied into it: the device list and
        // the caller's buffer may be gone by the time it runs.
        const std::string path = record->path;
        std::optional<std::wstring> serial;
        if (record->serial_number)
            serial = record->serial_number;
        lanes->queue(path, [transport = transport, path, serial, report, lanes = lanes.get()] {
            deliver(transport, path.c_str(), serial ? serial->c_str() : nullptr, report.data(),
                    [&] { lanes->pass(path); });
            lanes->finished();
        });
    }
}

bool Broadcast::wait_for_tasks(int msecs)
{
    std::unique_lock<std::mutex> locker(lanes->mutex);
    const auto done = [this] { return lanes->under_way == 0; };
    if (msecs < 0) {
        lanes->all_done.wait(locker, done);
        return true;
    }
    return lanes->all_done.wait_for(locker, std::chrono::milliseconds(msecs), done);
}

} // namespace yoyo
