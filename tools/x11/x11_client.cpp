#include "x11_client.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

struct X11Client::Connection {
    xcb_connection_t *xcb = nullptr;
    xcb_window_t root = 0;

    xcb_atom_t atom(const char *name)
    {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            xcb, xcb_intern_atom(xcb, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return result;
    }

    QByteArray property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
    {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            xcb, xcb_get_property(xcb, 0, window, name, type, 0, 1024), nullptr);
        QByteArray value;
        if (reply && reply->format) {
            value = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply));
        }
        std::free(reply);
        return value;
    }

    QString atom_name(xcb_atom_t atom)
    {
        xcb_get_atom_name_reply_t *reply = xcb_get_atom_name_reply(xcb, xcb_get_atom_name(xcb, atom), nullptr);
        QString name;
        if (reply)
            name = QString::fromLatin1(xcb_get_atom_name_name(reply), xcb_get_atom_name_name_length(reply));
        std::free(reply);
        return name;
    }
};

X11Client::X11Client()
    : connection(std::make_unique<Connection>())
{
    connection->xcb = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection->xcb))
        return;
    connection->root = xcb_setup_roots_iterator(xcb_get_setup(connection->xcb)).data->root;
}

X11Client::~X11Client()
{
    xcb_disconnect(connection->xcb);
}

bool X11Client::connected() const
{
    return !xcb_connection_has_error(connection->xcb);
}

X11Client::Window X11Client::window_of(qint64 pid)
{
    Window found;
    if (!connected())
        return found;
    Connection &c = *connection;
    const xcb_atom_t wm_pid = c.atom("_NET_WM_PID");
    const xcb_atom_t wm_name = c.atom("_NET_WM_NAME");
    const xcb_atom_t utf8 = c.atom("UTF8_STRING");
    const xcb_atom_t wm_type = c.atom("_NET_WM_WINDOW_TYPE");

    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c.xcb, xcb_query_tree(c.xcb, c.root), nullptr);
    if (!tree)
        return found;
    const xcb_window_t *children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree) && !found.id; ++i) {
        const xcb_window_t window = children[i];
        const QByteArray owner = c.property(window, wm_pid, XCB_ATOM_CARDINAL);
        if (owner.size() != 4 || *reinterpret_cast<const uint32_t *>(owner.constData()) != pid)
            continue;
        xcb_get_window_attributes_reply_t *attributes = xcb_get_window_attributes_reply(
            c.xcb, xcb_get_window_attributes(c.xcb, window), nullptr);
        const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(attributes);
        if (!viewable)
            continue;
        xcb_get_geometry_reply_t *geometry = xcb_get_geometry_reply(c.xcb, xcb_get_geometry(c.xcb, window), nullptr);
        found.id = window;
        found.viewable = true;
        found.title = QString::fromUtf8(c.property(window, wm_name, utf8));
        const QByteArray type = c.property(window, wm_type, XCB_ATOM_ATOM);
        if (type.size() >= 4)
            found.type = c.atom_name(*reinterpret_cast<const xcb_atom_t *>(type.constData()));
        if (geometry) {
            found.width = geometry->width;
            found.height = geometry->height;
        }
        std::free(geometry);
    }
    std::free(tree);
    return found;
}

void X11Client::close(unsigned window)
{
    Connection &c = *connection;
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = c.atom("WM_PROTOCOLS");
    event.data.data32[0] = c.atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c.xcb, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    // Waits for a reply to a later request, so the server has passed the
    // message on before this client goes: an X server that sees a client
    // hang up may drop the requests it has not read yet.
    std::free(xcb_get_input_focus_reply(c.xcb, xcb_get_input_focus(c.xcb), nullptr));
}
