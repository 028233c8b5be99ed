#include "discovery.h"
#include "hid_library.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <memory>
#include <utility>

namespace yoyo {
namespace {

// Yo-yos whose serial starts with '0' are not show yo-yos; a record without a
// serial cannot be told apart at all.
bool is_listed(const hid_device_info *record)
{
    return record->serial_number && record->serial_number[0] != L'0';
}

// A list on its way to the receiver: freed with the queued call if that call
// is never delivered.
struct Handover {
    explicit Handover(hid_device_info *yoyos) : yoyos(yoyos) {}
    ~Handover() { hid_free_enumeration(yoyos); }
    Handover(const Handover &) = delete;
    Handover &operator=(const Handover &) = delete;

    hid_device_info *yoyos;
};

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
    worker.start([this, transport = transport] {
        const auto handover = std::make_shared<Handover>(discover(transport));
        QMetaObject::invokeMethod(
            this,
            [this, handover] {
                --steps_queued;
                emit found(std::exchange(handover->yoyos, nullptr));
            },
            Qt::QueuedConnection);
    });
}

void Discovery::stop()
{
    worker.clear();
    worker.waitForDone();
    steps_queued = 0;
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}

} // namespace yoyo
