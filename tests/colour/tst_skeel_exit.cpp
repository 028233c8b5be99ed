// The real program among virtual yo-yos in a private X session, closed the
// way a window manager closes it.
#include "virtual_yoyos.h"

#include <xcb/xcb.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <memory>

namespace {

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return value;
}

QByteArray property(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t name)
{
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr);
    QByteArray value;
    if (reply)
        value = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                           xcb_get_property_value_length(reply));
    free(reply);
    return value;
}

class Display
{
public:
    Display() : connection(xcb_connect(nullptr, nullptr)) {}
    ~Display() { xcb_disconnect(connection); }

    bool ok() const { return !xcb_connection_has_error(connection); }

    // The mapped top-level window with this title, or none.
    xcb_window_t find(const QByteArray &title) const
    {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr);
        xcb_window_t found = XCB_WINDOW_NONE;
        const xcb_window_t *children = tree ? xcb_query_tree_children(tree) : nullptr;
        for (int i = 0; tree && i < xcb_query_tree_children_length(tree); ++i) {
            xcb_get_window_attributes_reply_t *attributes = xcb_get_window_attributes_reply(
                connection, xcb_get_window_attributes(connection, children[i]), nullptr);
            const bool mapped = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
            free(attributes);
            if (mapped && property(connection, children[i], XCB_ATOM_WM_NAME) == title)
                found = children[i];
        }
        free(tree);
        return found;
    }

    void ask_to_close(xcb_window_t window)
    {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = atom(connection, "WM_PROTOCOLS");
        message.data.data32[0] = atom(connection, "WM_DELETE_WINDOW");
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&message));
        xcb_flush(connection);
    }

private:
    xcb_connection_t *connection;
};

} // namespace

class tst_skeel_exit : public QObject
{
    Q_OBJECT

private slots:
    void closes_at_once_with_exit_code_0_data()
    {
        QTest::addColumn<int>("running_ms");
        QTest::newRow("as soon as it shows") << 0;
        QTest::newRow("after some poll cycles") << 900;
        QTest::newRow("in the middle of a cycle") << 1030;
    }

    void closes_at_once_with_exit_code_0()
    {
        QFETCH(int, running_ms);
        rig::VirtualYoyos yoyos;
        for (const char *serial : {"1", "2"})
            yoyos.add({rig::Transport::bluetooth, serial, -1, 1});
        QTemporaryDir home;
        Display display;
        QVERIFY(home.isValid() && display.ok());

        QProcess skeel;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        skeel.setProcessEnvironment(environment);
        skeel.setProcessChannelMode(QProcess::ForwardedChannels);
        skeel.start(SKEEL_PROGRAM, QStringList());
        QVERIFY(skeel.waitForStarted());
        xcb_window_t window = XCB_WINDOW_NONE;
        QTRY_VERIFY_WITH_TIMEOUT((window = display.find("Vantrel Bluetooth Skeel")) != XCB_WINDOW_NONE, 20000);
        // The program has nothing to show from outside while it polls; let it.
        QTest::qWait(running_ms);

        QElapsedTimer clock;
        clock.start();
        display.ask_to_close(window);
        QVERIFY(skeel.waitForFinished(10000));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString("took %1 ms").arg(clock.elapsed())));
        QCOMPARE(skeel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(skeel.exitCode(), 0);
        QVERIFY(QFile::exists(home.filePath(".vantrel_skeel")));
        if (running_ms > 0) {
            // With Auto ticked the close turned every yo-yo black.
            for (int yoyo : {0, 1}) {
                QVERIFY(yoyos.wait_for_reports(yoyo, 1, 5000));
                QCOMPARE(rig::describe(yoyos.received(yoyo).back().bytes), std::string("colour 0 0 0"));
            }
        }
    }
};

QTEST_GUILESS_MAIN(tst_skeel_exit)
#include "tst_skeel_exit.moc"
