#include "discovery.h"
#include "hid_library.h"

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

} // namespace yoyo
