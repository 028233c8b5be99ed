#include "discovery.h"
#include "hid_library.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <utility>

namespace yoyo {
namespace {

// Yo-yos whose serial starts with '0' are not show yo-yos; a record without a
// serial cannot be told apart at all.
bool is_listed(const hid_device_info *record)
{
    return record->serial_number && record->serial_number[0] != L'0';
}

} // namespace

hid_device_info *drop_unlisted(hid_device_info *head)
{
    hid_device_info **link = &head;
    while (hid_device_info *record = *link) {
        if (is_listed(record)) {
            link = &record->next;
            continue;
        }
        *link = record->next;
        record->next = nullptr;
        hid_free_enumeration(record);
    }
    return head;
}

int count_records(const hid_device_info *head)
{
    int count = 0;
    for (; head; head = head->next)
        ++count;
    return count;
}

hid_device_info *discover(const Transport &transport)
{
    return drop_unlisted(enumerate(transport.vendor_id, transport.product_id));
}

Discovery::Discovery(const Transport &transport, QObject *parent)
    : QObject(parent)
    , transport(transport)
{
    // One step at a time: each step replaces the previous one's list.
    worker.setMaxThreadCount(1);
}

Discovery::~Discovery()
{
    stop();
}

void Discovery::start()
{
    // A step that has yet to begin will see the yo-yos of now as well.
    if (steps_queued > 1)
        return;
    ++steps_queued;
    worker.start([this] {
        hid_device_info *found = discover(transport);
        // Posted under the lock too, so that stop(), which takes it last,
        // comes after everything this step does with the object.
        std::lock_guard<std::mutex> lock(mutex);
        if (found_one)
            hid_free_enumeration(latest);
        latest = found;
        found_one = true;
        QMetaObject::invokeMethod(this, "hand_over", Qt::QueuedConnection);
    });
}

void Discovery::hand_over()
{
    --steps_queued;
    hid_device_info *yoyos = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!found_one)
            return; // taken by an earlier hand-over
        yoyos = std::exchange(latest, nullptr);
        found_one = false;
    }
    emit found(yoyos);
}

void Discovery::stop()
{
    worker.clear();
    worker.waitForDone();
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    steps_queued = 0;
    std::lock_guard<std::mutex> lock(mutex);
    hid_free_enumeration(latest);
    latest = nullptr;
    found_one = false;
}

} // namespace yoyo
