// Full-screen mode on a real X server (the private Xvfb session).
// That session runs no window manager, so nothing there maximises a window or
// gives it a frame: the window states Qt records (maximised, full screen) are
// checked everywhere, the geometry wherever the server can show it.
#include "player_test_support.h"

#include <QScreen>
#include <QtTest>

#include <xcb/xcb.h>

#include <memory>

using namespace player_test;

namespace {

const QString enter_glyph = QString(QChar(0xE101));
const QString leave_glyph = QString(QChar(0xE100));

} // namespace

class tst_player_full_screen : public QObject
{
    Q_OBJECT

    std::unique_ptr<tz3_player_main> window;

    Ui::tz3_player_main *ui() { return inside::ui(*window); }

    void toggle()
    {
        QTest::mouseClick(ui()->btn_full_screen, Qt::LeftButton);
        // Let the server and Qt agree on the new geometry.
        QTest::qWait(300);
    }

    // A window manager gives a full-screen window the whole screen; the
    // session has none, so where the server left the window as it was, the
    // test does what the manager would, from a connection of its own, and
    // leaving must undo it.
    void cover_the_screen()
    {
        const QRect screen = window->screen()->geometry();
        QTest::qWait(200);
        // Qt may still apply a geometry of its own after the first request
        // on a slow machine, so the request is repeated until it holds.
        for (int attempt = 0; attempt < 30 && window->geometry() != screen; ++attempt) {
            xcb_connection_t *manager = xcb_connect(nullptr, nullptr);
            QVERIFY(!xcb_connection_has_error(manager));
            const std::uint32_t values[] = {std::uint32_t(screen.x()), std::uint32_t(screen.y()),
                                            std::uint32_t(screen.width()), std::uint32_t(screen.height())};
            xcb_configure_window(manager, xcb_window_t(window->winId()),
                                 XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH
                                     | XCB_CONFIG_WINDOW_HEIGHT,
                                 values);
            xcb_flush(manager);
            xcb_disconnect(manager);
            QTest::qWait(200);
        }
        QTRY_COMPARE(window->geometry(), screen);
        QVERIFY(window->isFullScreen());
    }

    void check_covered()
    {
        QCOMPARE(ui()->player->geometry(), QRect(QPoint(0, 0), window->size()));
    }

private slots:
    void initTestCase()
    {
        slot_binding_guard::install();
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
    }

    void init()
    {
        window = std::make_unique<tz3_player_main>();
    }

    void cleanup()
    {
        // The mode is process-wide: leave it windowed for the next window.
        if (window && ui()->btn_full_screen->text() == leave_glyph)
            toggle();
        window.reset();
        PLAYER_TEST_NO_UNBOUND_SLOTS();
    }

    // From a normal window of a given size and place, and back to that size
    // and place.
    void from_a_normal_window_and_back()
    {
        window->setGeometry(120, 90, 640, 500);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_COMPARE(window->geometry(), QRect(120, 90, 640, 500));
        const QRect before = window->geometry();

        toggle();
        QCOMPARE(ui()->btn_full_screen->text(), leave_glyph);
        QVERIFY(window->isFullScreen());
        QVERIFY(!window->isMaximized());
        cover_the_screen();
        check_covered();

        toggle();
        QCOMPARE(ui()->btn_full_screen->text(), enter_glyph);
        QVERIFY(!window->isFullScreen());
        QVERIFY(!window->isMaximized());
        QTRY_COMPARE(window->geometry(), before);
        check_covered();
    }

    // From a maximised window, back to a maximised one. Without a window
    // manager nothing resizes a maximised window, so only the state is
    // observable here, not the maximised geometry.
    void from_a_maximised_window_and_back()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->showMaximized();
        QTest::qWait(300);
        QVERIFY(window->isMaximized());

        toggle();
        QVERIFY(window->isFullScreen());
        QCOMPARE(ui()->btn_full_screen->text(), leave_glyph);

        toggle();
        QVERIFY(!window->isFullScreen());
        QVERIFY(window->isMaximized());
        QCOMPARE(ui()->btn_full_screen->text(), enter_glyph);
        check_covered();
    }

    // Each entry overwrites what the one before saved.
    void each_entry_saves_anew()
    {
        window->setGeometry(100, 100, 600, 450);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_COMPARE(window->geometry(), QRect(100, 100, 600, 450));
        toggle();
        toggle();
        QTRY_COMPARE(window->geometry(), QRect(100, 100, 600, 450));

        window->setGeometry(200, 150, 700, 520);
        QTRY_COMPARE(window->geometry(), QRect(200, 150, 700, 520));
        toggle();
        QVERIFY(window->isFullScreen());
        cover_the_screen();
        toggle();
        QTRY_COMPARE(window->geometry(), QRect(200, 150, 700, 520));
    }

    // No key of the window's own: Escape does not leave full screen.
    void escape_does_not_leave()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        toggle();
        QVERIFY(window->isFullScreen());
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QTest::qWait(100);
        QVERIFY(window->isFullScreen());
        QCOMPARE(ui()->btn_full_screen->text(), leave_glyph);
    }
};

QTEST_MAIN(tst_player_full_screen)
#include "tst_player_full_screen.moc"
