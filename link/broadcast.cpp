#include "broadcast.h"
#include "delivery.h"
#include "discovery.h"

#include <QThreadPool>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace yoyo {
namespace {

// Enough for a yo-yo's write to overlap the next yo-yos' opens; a Bluetooth
// yo-yo gives no answer to wait for.
constexpr int newest_only_threads = 8;

} // namespace

// One lane per yo-yo being written to: a report to a yo-yo whose previous
// report has yet to be written waits in that yo-yo's lane, and the lane is
// due again as soon as the previous one has left. The wait for an answer
// comes after that, so a stop follows its start at once even to a yo-yo that
// never answers.
struct Broadcast::Lanes {
    using Job = std::function<void()>;
    // One report's deliveries, each with its yo-yo's path.
    using Batch = std::vector<std::pair<std::string, Job>>;

    explicit Lanes(Backlog backlog)
        : backlog(backlog)
    {
        // One thread, so that batches reach the lanes in the order sent.
        hand_off.setMaxThreadCount(1);
        if (backlog == Backlog::newest_only)
            pool.setMaxThreadCount(newest_only_threads);
        else
            pool.setExpiryTimeout(-1); // a show's threads stay for the next
    }
    const Backlog backlog;

    // Standard library locks, which the thread sanitizer sees through.
    std::mutex mutex;
    std::condition_variable all_done;
    int under_way = 0; // queued in a lane or running
    int running = 0;   // due or running
    // The reports not yet taken by a thread, by yo-yo; a yo-yo is listed
    // until its last delivery has written.
    std::map<std::string, std::deque<Job>> lanes;
    std::deque<std::string> due; // lanes whose next report may go, in turn
    std::deque<Batch> batches;   // sent, not yet queued in their lanes
    QThreadPool pool;
    QThreadPool hand_off;

    // Where only the newest report waits, reports come as fast as an
    // operator's input: the caller only hands the batch over, and the
    // broadcast's own thread queues it in the lanes.
    void queue_all(Batch batch)
    {
        if (backlog == Backlog::every_report) {
            for (auto &[path, job] : batch)
                queue(path, std::move(job));
            return;
        }
        {
            std::lock_guard<std::mutex> locker(mutex);
            ++under_way;
            batches.push_back(std::move(batch));
        }
        hand_off.start([this] {
            for (auto &[path, job] : take_batch())
                queue(path, std::move(job));
            std::lock_guard<std::mutex> locker(mutex);
            if (--under_way == 0)
                all_done.notify_all();
        });
    }

    void queue(const std::string &path, Job job)
    {
        std::lock_guard<std::mutex> locker(mutex);
        const auto [lane, idle] = lanes.try_emplace(path);
        if (backlog == Backlog::newest_only && !lane->second.empty()) {
            // The waiting report is older than this one and has not left yet.
            lane->second.back() = std::move(job);
            return;
        }
        ++under_way;
        lane->second.push_back(std::move(job));
        if (idle)
            start(path);
    }

    // The delivery to `path` will write nothing more: the next report to that
    // yo-yo may go.
    void pass(const std::string &path)
    {
        std::lock_guard<std::mutex> locker(mutex);
        const auto lane = lanes.find(path);
        if (lane->second.empty())
            lanes.erase(lane);
        else
            start(path);
    }

    void finished()
    {
        std::lock_guard<std::mutex> locker(mutex);
        --running;
        if (--under_way == 0)
            all_done.notify_all();
    }

    // Threads are only made while all of them are taken: `count` jobs that
    // wait for one another each take one, and the pool keeps them.
    void warm(int count)
    {
        std::lock_guard<std::mutex> locker(mutex);
        if (count <= kept)
            return;
        kept = count;
        pool.setMaxThreadCount(std::max(pool.maxThreadCount(), running + count));
        struct Meeting {
            std::mutex mutex;
            std::condition_variable all_came;
            int came = 0;
        };
        const auto meeting = std::make_shared<Meeting>();
        for (int i = 0; i < count; ++i) {
            pool.start([meeting, count] {
                std::unique_lock<std::mutex> locker(meeting->mutex);
                if (++meeting->came == count)
                    meeting->all_came.notify_all();
                meeting->all_came.wait_for(locker, std::chrono::seconds(1),
                                           [&] { return meeting->came == count; });
            });
        }
    }

private:
    // Every report waiting: a thread for every delivery that runs, so none
    // waits for another's answer. Only the newest waiting: a few threads take
    // the lanes in the order they became due, so every yo-yo has its turn
    // while the deliveries' opens take turns in the HID library (a thread
    // each would let the yo-yos just written to open again first), and each
    // takes its lane's report only then, the newest one by that time.
    // Threads left idle expire on their own. The delivery itself goes to its
    // thread under the lock above rather than inside the pool, whose
    // hand-over the thread sanitizer cannot see.
    void start(const std::string &path)
    {
        due.push_back(path);
        if (backlog == Backlog::every_report && pool.maxThreadCount() <= running)
            pool.setMaxThreadCount(running + 1);
        ++running;
        kept = std::max(kept, running);
        pool.start([this] { take()(); });
    }

    Job take()
    {
        std::lock_guard<std::mutex> locker(mutex);
        std::deque<Job> &lane = lanes.find(due.front())->second;
        due.pop_front();
        Job job = std::move(lane.front());
        lane.pop_front();
        return job;
    }

    int kept = 0; // threads the pool holds at least, busy or idle

    Batch take_batch()
    {
        std::lock_guard<std::mutex> locker(mutex);
        Batch batch = std::move(batches.front());
        batches.pop_front();
        return batch;
    }
};

// One armed send's deliveries meet here between their opens and their
// writes.
struct Broadcast::Latch {
    Latch(int opening, std::optional<Moment> fire_at, Fired fired)
        : opening(opening)
        , fire_at(fire_at)
        , armed_until(std::chrono::steady_clock::now() + arming_time)
        , fired(std::move(fired))
    {
    }

    // A delivery's open has returned; waits for the release when it
    // succeeded. Returns whether the delivery was released with the others
    // (rather than failed, or opened too late).
    bool arm(bool opened)
    {
        std::unique_lock<std::mutex> locker(mutex);
        --opening;
        if (released)
            return false;
        if (opened)
            ++armed;
        if (opening == 0) {
            all_open = std::chrono::steady_clock::now();
            changed.notify_all();
        }
        if (!opened) {
            if (opening == 0 && armed == 0) {
                released = true;
                locker.unlock();
                if (fired)
                    fired(std::nullopt);
            }
            return false;
        }
        while (!released) {
            Moment due = opening == 0 ? all_open : armed_until;
            if (fire_at)
                due = std::max(due, *fire_at);
            if (std::chrono::steady_clock::now() >= due) {
                released = true;
                changed.notify_all();
                break;
            }
            changed.wait_until(locker, due);
        }
        return true;
    }

    // A released delivery has written (or failed to).
    void wrote()
    {
        std::unique_lock<std::mutex> locker(mutex);
        writes.push_back(std::chrono::steady_clock::now());
        if (int(writes.size()) < armed)
            return;
        std::nth_element(writes.begin(), writes.begin() + armed / 2, writes.end());
        const Moment middle = writes[std::size_t(armed / 2)];
        locker.unlock();
        if (fired)
            fired(middle);
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    int opening;
    int armed = 0;
    bool released = false;
    const std::optional<Moment> fire_at;
    const Moment armed_until;
    Moment all_open;
    std::vector<Moment> writes;
    const Fired fired;
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

void Broadcast::send(const hid_device_info *yoyos, const std::uint8_t *usb_report, std::optional<Moment> fire_at,
                     Fired fired)
{
    send_framed(yoyos, framed(transport, usb_report), fire_at, std::move(fired));
}

void Broadcast::send_framed(const hid_device_info *yoyos, const std::vector<std::uint8_t> &report,
                            std::optional<Moment> fire_at, Fired fired)
{
    const int count = count_records(yoyos);
    if (count == 0) {
        if (fired)
            fired(std::nullopt);
        return;
    }
    // Reports that only the newest of counts go one by one as they can.
    std::shared_ptr<Latch> latch;
    if (lanes->backlog == Backlog::every_report)
        latch = std::make_shared<Latch>(count, fire_at, std::move(fired));
    Lanes::Batch batch;
    for (const hid_device_info *record = yoyos; record; record = record->next) {
        // Everything the delivery needs is copied into it: the device list and
        // the caller's buffer may be gone by the time it runs.
        const std::string path = record->path;
        std::optional<std::wstring> serial;
        if (record->serial_number)
            serial = record->serial_number;
        batch.emplace_back(path, [transport = transport, path, serial, report, latch, lanes = lanes.get()] {
            bool released = false;
            const auto arm = [&](bool opened) { released = latch->arm(opened); };
            deliver(
                transport, path.c_str(), serial ? serial->c_str() : nullptr, report.data(),
                [&] {
                    if (released)
                        latch->wrote();
                    lanes->pass(path);
                },
                latch ? std::function<void(bool)>(arm) : nullptr);
            lanes->finished();
        });
    }
    lanes->queue_all(std::move(batch));
}

void Broadcast::warm(int count)
{
    lanes->warm(count);
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
