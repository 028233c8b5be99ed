#include "virtual_yoyos.h"

#include <umockdev.h>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace rig {
namespace {

// As long as the longest read the programs make, so that readers sharing a
// node never take more than one answer's worth of bytes from it.
constexpr int input_report_length = 65;

// A file that the kernel refuses to open for writing even to root: a node
// linked to it behaves as one without permission for the user.
constexpr const char *access_refused = "/proc/sys/kernel/osrelease";

// One application collection per enumeration record: vendor usage page,
// 64-byte output and input reports.
std::vector<std::uint8_t> report_descriptor(int records)
{
    std::vector<std::uint8_t> descriptor;
    for (int i = 0; i < records; ++i) {
        const std::uint8_t collection[] = {
            0x06, 0x00, 0xFF,                   // usage page (vendor)
            0x09, static_cast<std::uint8_t>(1 + i), // usage
            0xA1, 0x01,                         // collection (application)
            0x15, 0x00, 0x26, 0xFF, 0x00,       // logical 0..255
            0x75, 0x08, 0x95, 0x40,             // 64 bytes of 8 bits
            0x09, 0x01, 0x91, 0x02,             // output
            0x09, 0x01, 0x81, 0x02,             // input
            0xC0,                               // end collection
        };
        descriptor.insert(descriptor.end(), std::begin(collection), std::end(collection));
    }
    return descriptor;
}

std::string hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
    return text;
}

std::string hex4_lower(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFFu);
    return text;
}

} // namespace

struct Yoyo {
    YoyoOptions options;
    int number = 0; // N of /dev/hidrawN
    std::string top_syspath;     // removed on unplug
    std::vector<std::string> links; // bus and class links, left behind by a removal
    std::string node;
    std::string terminal; // what the testbed's node links to
    bool plugged = false;
    bool refuse_open = false;
    std::vector<UMockdevIoctlClient *> clients; // handles on the node, open or closing
    int drain_fd = -1;  // the rig's own end of the node, to empty it
    int write_errno = 0;
    bool unplug_during_write = false;
    std::vector<Received> received;
};

struct VirtualYoyos::State {
    UMockdevTestbed *testbed = nullptr;
    UMockdevIoctlBase *handler = nullptr;
    GMainContext *context = nullptr;
    GMainLoop *loop = nullptr;
    std::thread thread;

    mutable std::mutex mutex;
    mutable std::condition_variable arrived;
    std::vector<Yoyo> yoyos;
    int next_number = 0;
    bool access_denied = false;
    std::vector<int> retired_fds;
    std::vector<Received> log;
    std::function<void(const Received &)> observer;

    // Runs `work` on the rig's thread and waits for it.
    void on_rig_thread(const std::function<void()> &work)
    {
        if (std::this_thread::get_id() == thread.get_id()) {
            work();
            return;
        }
        struct Call {
            const std::function<void()> *work;
            std::promise<void> done;
        } call{&work, {}};
        g_main_context_invoke(
            context,
            [](gpointer data) -> gboolean {
                auto *call = static_cast<Call *>(data);
                (*call->work)();
                call->done.set_value();
                return G_SOURCE_REMOVE;
            },
            &call);
        call.done.get_future().wait();
    }

    Yoyo *yoyo_at(const char *node)
    {
        for (Yoyo &yoyo : yoyos)
            if (yoyo.node == node)
                return &yoyo;
        return nullptr;
    }

    void create_device(Yoyo &yoyo);
    void link_node(const Yoyo &yoyo);
    void remove_device(Yoyo &yoyo);
    void schedule_answer(int number, int delay_ms, UMockdevIoctlClient *client);

    static void client_connected(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self);
    static void client_gone(gpointer self, GObject *client);
    bool node_open(const Yoyo &yoyo) const;
    static gboolean handle_ioctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self);
    static gboolean handle_write(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self);
};

// Every plug-in makes a fresh device with a fresh node number, as the kernel
// does; umockdev cannot bring back a node that it has removed.
void VirtualYoyos::State::create_device(Yoyo &yoyo)
{
    yoyo.number = next_number++;
    const YoyoOptions &options = yoyo.options;
    const bool usb = options.transport == Transport::usb;
    const unsigned vendor = usb ? 0x2680 : 0x0268;
    const unsigned product = 0x0100;
    const std::string n = std::to_string(yoyo.number);
    const std::string name = usb ? "Vantrel yo-yo" : "Vantrel yo-yo (Bluetooth)";

    gchar *parent = nullptr;
    if (usb) {
        gchar *usb_device = umockdev_testbed_add_device(
            testbed, "usb", ("usb" + n + "-1").c_str(), nullptr,
            "idVendor", hex4_lower(vendor).c_str(), "idProduct", hex4_lower(product).c_str(),
            "bcdDevice", "0100", "manufacturer", "Talvek", "product", name.c_str(),
            "serial", options.serial.c_str(), nullptr,
            "DEVTYPE", "usb_device", nullptr);
        parent = umockdev_testbed_add_device(
            testbed, "usb", (n + "-1:1.0").c_str(), usb_device,
            "bInterfaceNumber", "00", nullptr,
            "DEVTYPE", "usb_interface", nullptr);
        yoyo.top_syspath = usb_device;
        g_free(usb_device);
        yoyo.links = {"sys/bus/usb/devices/usb" + n + "-1", "sys/bus/usb/devices/" + n + "-1:1.0"};
    }

    const std::string bus = usb ? "0003" : "0005";
    const std::string hid_name = bus + ":" + hex4(vendor) + ":" + hex4(product) + "." + hex4(yoyo.number + 1);
    const std::string hid_id = bus + ":0000" + hex4(vendor) + ":0000" + hex4(product);
    gchar *hid = umockdev_testbed_add_device(
        testbed, "hid", hid_name.c_str(), parent, nullptr,
        "HID_ID", hid_id.c_str(), "HID_NAME", name.c_str(), "HID_UNIQ", options.serial.c_str(),
        nullptr);
    std::vector<std::uint8_t> descriptor = report_descriptor(std::max(1, options.records));
    umockdev_testbed_set_attribute_binary(testbed, hid, "report_descriptor", descriptor.data(),
                                          static_cast<gint>(descriptor.size()));
    if (!usb)
        yoyo.top_syspath = hid;
    yoyo.links.push_back("sys/bus/hid/devices/" + hid_name);
    yoyo.links.push_back("sys/class/hidraw/hidraw" + n);
    yoyo.links.push_back("dev/hidraw" + n);
    g_free(parent);

    // The node itself: a record with a device node, which umockdev backs with
    // a pty; hidapi finds its HID parent through the "device" link.
    const std::string hid_devpath = std::string(hid).substr(4); // without "/sys"
    const std::string raw = hid_devpath + "/hidraw/hidraw" + n;
    const std::string record = "P: " + raw + "\nN: hidraw" + n + "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/hidraw" + n + "\n";
    GError *error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed, record.c_str(), &error)) {
        std::string message = error->message;
        g_error_free(error);
        g_free(hid);
        throw std::runtime_error("rig: cannot add hidraw node: " + message);
    }
    umockdev_testbed_set_attribute_link(testbed, ("/sys" + raw).c_str(), "device", "../..");
    g_free(hid);

    yoyo.node = "/dev/hidraw" + n;
    const int master = umockdev_testbed_get_dev_fd(testbed, yoyo.node.c_str());
    if (master >= 0) {
        // Raw bytes in both directions, and never block the rig on a full pty.
        termios settings;
        if (tcgetattr(master, &settings) == 0) {
            cfmakeraw(&settings);
            tcsetattr(master, TCSANOW, &settings);
        }
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    if (!umockdev_testbed_attach_ioctl(testbed, yoyo.node.c_str(), handler, &error)) {
        std::string message = error->message;
        g_error_free(error);
        throw std::runtime_error("rig: cannot attach to " + yoyo.node + ": " + message);
    }
    gchar *root = umockdev_testbed_get_root_dir(testbed);
    gchar *terminal = g_file_read_link((std::string(root) + yoyo.node).c_str(), nullptr);
    g_free(root);
    yoyo.terminal = terminal ? terminal : "";
    g_free(terminal);
    if (access_denied || yoyo.refuse_open)
        link_node(yoyo);
    // The rig's own reading end, taken from the terminal itself rather than
    // opened by path, which the preload library would count against its
    // small table of device files.
    if (master >= 0)
        yoyo.drain_fd = ioctl(master, TIOCGPTPEER, O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    yoyo.plugged = true;
}

// Points the testbed's node at the yo-yo's terminal, or at a file that
// refuses to be opened while access is denied. Replaced in one step, so an
// open in another thread sees either link, never none.
void VirtualYoyos::State::link_node(const Yoyo &yoyo)
{
    gchar *root = umockdev_testbed_get_root_dir(testbed);
    const std::string link = std::string(root) + yoyo.node;
    g_free(root);
    const std::string fresh = link + ".relink";
    const std::string target = access_denied || yoyo.refuse_open ? access_refused : yoyo.terminal;
    unlink(fresh.c_str());
    if (symlink(target.c_str(), fresh.c_str()) != 0 || rename(fresh.c_str(), link.c_str()) != 0)
        throw std::runtime_error("rig: cannot relink " + yoyo.node + ": " + std::strerror(errno));
}

void VirtualYoyos::State::remove_device(Yoyo &yoyo)
{
    umockdev_testbed_detach_ioctl(testbed, yoyo.node.c_str(), nullptr);
    umockdev_testbed_remove_device(testbed, yoyo.top_syspath.c_str());
    // The removal keeps the devices' bus and class links, which would stop
    // the same yo-yo from being plugged back in.
    gchar *root = umockdev_testbed_get_root_dir(testbed);
    for (const std::string &link : yoyo.links)
        unlink((std::string(root) + "/" + link).c_str());
    g_free(root);
    yoyo.links.clear();
    // Kept open until the rig goes: a program that counts its own open
    // terminals must not see the rig's change under it.
    if (yoyo.drain_fd >= 0)
        retired_fds.push_back(yoyo.drain_fd);
    yoyo.drain_fd = -1;
    yoyo.clients.clear();
    yoyo.plugged = false;
}

void VirtualYoyos::State::schedule_answer(int number, int delay_ms, UMockdevIoctlClient *client)
{
    struct Answer {
        State *state;
        int number;
        UMockdevIoctlClient *client;
    };
    auto *answer = new Answer{this, number, UMOCKDEV_IOCTL_CLIENT(g_object_ref(client))};
    GSource *source = g_timeout_source_new(static_cast<guint>(delay_ms));
    g_source_set_callback(
        source,
        [](gpointer data) -> gboolean {
            auto *answer = static_cast<Answer *>(data);
            // Like hidraw, a report only reaches readers that have the device
            // open. All handles on a node share its terminal, so the answer
            // stays while any of them is open: another one may have taken
            // the bytes that this writer's answer now makes up for.
            const std::string node = "/dev/hidraw" + std::to_string(answer->number);
            bool open_somewhere = umockdev_ioctl_client_get_connected(answer->client);
            {
                std::lock_guard<std::mutex> lock(answer->state->mutex);
                if (const Yoyo *yoyo = answer->state->yoyo_at(node.c_str()))
                    open_somewhere = open_somewhere || answer->state->node_open(*yoyo);
            }
            if (open_somewhere) {
                const int master = umockdev_testbed_get_dev_fd(answer->state->testbed, node.c_str());
                std::uint8_t report[input_report_length] = {0x01};
                if (master >= 0 && write(master, report, sizeof report) < 0) {
                    // A full pty means nobody reads; dropping the answer is right.
                }
            }
            return G_SOURCE_REMOVE;
        },
        answer,
        [](gpointer data) {
            auto *answer = static_cast<Answer *>(data);
            g_object_unref(answer->client);
            delete answer;
        });
    g_source_attach(source, context);
    g_source_unref(source);
}

bool VirtualYoyos::State::node_open(const Yoyo &yoyo) const
{
    return std::any_of(yoyo.clients.begin(), yoyo.clients.end(),
                       [](UMockdevIoctlClient *client) { return umockdev_ioctl_client_get_connected(client); });
}

// A node that nobody has open starts empty for its next opener: answers that
// came too late for the last one are gone, as with hidraw.
void VirtualYoyos::State::client_connected(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self)
{
    auto *state = static_cast<State *>(self);
    std::lock_guard<std::mutex> lock(state->mutex);
    Yoyo *yoyo = state->yoyo_at(umockdev_ioctl_client_get_devnode(client));
    if (!yoyo)
        return;
    if (!state->node_open(*yoyo) && yoyo->drain_fd >= 0) {
        std::uint8_t stale[256];
        while (read(yoyo->drain_fd, stale, sizeof stale) > 0) {
        }
    }
    yoyo->clients.push_back(client);
    g_object_weak_ref(G_OBJECT(client), State::client_gone, state);
}

void VirtualYoyos::State::client_gone(gpointer self, GObject *client)
{
    auto *state = static_cast<State *>(self);
    std::lock_guard<std::mutex> lock(state->mutex);
    for (Yoyo &yoyo : state->yoyos)
        yoyo.clients.erase(std::remove(yoyo.clients.begin(), yoyo.clients.end(),
                                       reinterpret_cast<UMockdevIoctlClient *>(client)),
                           yoyo.clients.end());
}

gboolean VirtualYoyos::State::handle_ioctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self)
{
    auto *state = static_cast<State *>(self);
    const gulong request = umockdev_ioctl_client_get_request(client);
    int records = 1;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        if (Yoyo *yoyo = state->yoyo_at(umockdev_ioctl_client_get_devnode(client)))
            records = std::max(1, yoyo->options.records);
    }
    const std::vector<std::uint8_t> descriptor = report_descriptor(records);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);

    if (request == HIDIOCGRDESCSIZE) {
        UMockdevIoctlData *size = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), nullptr);
        if (!size)
            return FALSE;
        const int length = static_cast<int>(descriptor.size());
        memcpy(size->data, &length, sizeof length);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    if (request == HIDIOCGRDESC) {
        UMockdevIoctlData *data = umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_report_descriptor), nullptr);
        if (!data)
            return FALSE;
        auto *out = reinterpret_cast<hidraw_report_descriptor *>(data->data);
        out->size = static_cast<__u32>(descriptor.size());
        memcpy(out->value, descriptor.data(), descriptor.size());
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    umockdev_ioctl_client_complete(client, -1, ENOTTY);
    return TRUE;
}

gboolean VirtualYoyos::State::handle_write(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self)
{
    auto *state = static_cast<State *>(self);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    Received report{-1, std::vector<std::uint8_t>(arg->data, arg->data + arg->data_len),
                    std::chrono::steady_clock::now()};

    int error = 0;
    int answer_after = -1;
    int number = 0;
    std::function<void(const Received &)> observer;
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        Yoyo *yoyo = state->yoyo_at(umockdev_ioctl_client_get_devnode(client));
        if (!yoyo) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return TRUE;
        }
        if (yoyo->unplug_during_write) {
            yoyo->unplug_during_write = false;
            state->remove_device(*yoyo);
            error = ENODEV;
        } else {
            error = yoyo->write_errno;
        }
        if (!error) {
            report.yoyo = static_cast<int>(yoyo - state->yoyos.data());
            yoyo->received.push_back(report);
            state->log.push_back(report);
            if (yoyo->options.transport == Transport::usb)
                answer_after = yoyo->options.answer_after_ms;
            number = yoyo->number;
            observer = state->observer;
        }
    }
    if (error) {
        umockdev_ioctl_client_complete(client, -1, error);
        return TRUE;
    }
    state->arrived.notify_all();
    if (observer)
        observer(report);
    umockdev_ioctl_client_complete(client, arg->data_len, 0);
    if (answer_after >= 0)
        state->schedule_answer(number, answer_after, client);
    return TRUE;
}

VirtualYoyos::VirtualYoyos()
    : state(std::make_unique<State>())
{
    const char *preload = std::getenv("LD_PRELOAD");
    if (!preload || !std::strstr(preload, "libumockdev-preload"))
        throw std::runtime_error("rig: run this program under umockdev-wrapper");

    state->context = g_main_context_new();
    state->loop = g_main_loop_new(state->context, FALSE);
    std::promise<void> ready;
    state->thread = std::thread([this, &ready] {
        g_main_context_push_thread_default(state->context);
        state->testbed = umockdev_testbed_new();
        state->handler = umockdev_ioctl_base_new();
        g_signal_connect(state->handler, "client-connected", G_CALLBACK(State::client_connected), state.get());
        g_signal_connect(state->handler, "handle-ioctl", G_CALLBACK(State::handle_ioctl), state.get());
        g_signal_connect(state->handler, "handle-write", G_CALLBACK(State::handle_write), state.get());
        ready.set_value();
        g_main_loop_run(state->loop);
        for (Yoyo &yoyo : state->yoyos) {
            if (yoyo.plugged)
                umockdev_testbed_detach_ioctl(state->testbed, yoyo.node.c_str(), nullptr);
            if (yoyo.drain_fd >= 0)
                close(yoyo.drain_fd);
        }
        for (int fd : state->retired_fds)
            close(fd);
        g_object_unref(state->handler);
        g_object_unref(state->testbed);
        g_main_context_pop_thread_default(state->context);
    });
    ready.get_future().wait();
}

VirtualYoyos::~VirtualYoyos()
{
    // Quit from inside the loop: a quit that comes before the loop has
    // started running would be lost.
    g_main_context_invoke(
        state->context,
        [](gpointer loop) -> gboolean {
            g_main_loop_quit(static_cast<GMainLoop *>(loop));
            return G_SOURCE_REMOVE;
        },
        state->loop);
    state->thread.join();
    g_main_loop_unref(state->loop);
    g_main_context_unref(state->context);
}

int VirtualYoyos::add(const YoyoOptions &options)
{
    int id = 0;
    state->on_rig_thread([&] {
        std::lock_guard<std::mutex> lock(state->mutex);
        id = static_cast<int>(state->yoyos.size());
        Yoyo yoyo;
        yoyo.options = options;
        state->yoyos.push_back(yoyo);
        state->create_device(state->yoyos.back());
    });
    return id;
}

void VirtualYoyos::unplug(int yoyo)
{
    state->on_rig_thread([&] {
        std::lock_guard<std::mutex> lock(state->mutex);
        Yoyo &target = state->yoyos.at(static_cast<std::size_t>(yoyo));
        if (target.plugged)
            state->remove_device(target);
    });
}

void VirtualYoyos::plug(int yoyo)
{
    state->on_rig_thread([&] {
        std::lock_guard<std::mutex> lock(state->mutex);
        Yoyo &target = state->yoyos.at(static_cast<std::size_t>(yoyo));
        if (!target.plugged)
            state->create_device(target);
    });
}

void VirtualYoyos::refuse_open(int yoyo, bool refuse)
{
    state->on_rig_thread([&] {
        std::lock_guard<std::mutex> lock(state->mutex);
        Yoyo &target = state->yoyos.at(static_cast<std::size_t>(yoyo));
        target.refuse_open = refuse;
        if (target.plugged)
            state->link_node(target);
    });
}

void VirtualYoyos::deny_access(bool deny)
{
    state->on_rig_thread([&] {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->access_denied = deny;
        for (const Yoyo &yoyo : state->yoyos)
            if (yoyo.plugged)
                state->link_node(yoyo);
    });
}

void VirtualYoyos::fail_writes(int yoyo, int error_number)
{
    std::lock_guard<std::mutex> lock(state->mutex);
    state->yoyos.at(static_cast<std::size_t>(yoyo)).write_errno = error_number;
}

void VirtualYoyos::unplug_during_next_write(int yoyo)
{
    std::lock_guard<std::mutex> lock(state->mutex);
    state->yoyos.at(static_cast<std::size_t>(yoyo)).unplug_during_write = true;
}

std::vector<Received> VirtualYoyos::received(int yoyo) const
{
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->yoyos.at(static_cast<std::size_t>(yoyo)).received;
}

std::vector<Received> VirtualYoyos::received() const
{
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->log;
}

bool VirtualYoyos::wait_for_reports(int yoyo, std::size_t count, int timeout_ms) const
{
    std::unique_lock<std::mutex> lock(state->mutex);
    const Yoyo &target = state->yoyos.at(static_cast<std::size_t>(yoyo));
    return state->arrived.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                   [&] { return target.received.size() >= count; });
}

void VirtualYoyos::clear_received()
{
    std::lock_guard<std::mutex> lock(state->mutex);
    state->log.clear();
    for (Yoyo &yoyo : state->yoyos)
        yoyo.received.clear();
}

void VirtualYoyos::on_report(std::function<void(const Received &)> observer)
{
    std::lock_guard<std::mutex> lock(state->mutex);
    state->observer = std::move(observer);
}

std::string VirtualYoyos::device_node(int yoyo) const
{
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->yoyos.at(static_cast<std::size_t>(yoyo)).node;
}

std::string VirtualYoyos::testbed_dir() const
{
    gchar *dir = umockdev_testbed_get_root_dir(state->testbed);
    std::string result = dir;
    g_free(dir);
    return result;
}

} // namespace rig
