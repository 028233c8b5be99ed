#pragma once

// Steers a real program in the test's X session from the outside. Where a
// widget lies and how it looks is read from a copy of its window built here.

#include "session_watch.h"
#include "version_dlg.h"
#include "x11_client.h"
#include "xdotool.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <csignal>
#include <functional>

class ProgramDriver
{
public:
    // With screen scaling turned off in the environment, which it must override.
    bool start(const QString &program, const QStringList &arguments = {}, const QString &home = QString())
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_AUTO_SCREEN_SCALE_FACTOR", "0");
        if (!home.isEmpty())
            environment.insert("HOME", home);
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(channels);
        process.start(program, arguments);
        return process.waitForStarted()
            && QTest::qWaitFor([this] { return (window = display.window_of(process.processId())).viewable; }, 20000);
    }

    // A click in the middle of a widget of the copy, in the program's window.
    void click(QWidget *widget)
    {
        const QPoint at = widget->mapTo(widget->window(), widget->rect().center()) * scale();
        xdotool({"mousemove", "--window", QString::number(window.id), QString::number(at.x()),
                 QString::number(at.y()), "click", "1"});
    }

    // Waits for a top-level window with exactly this title; its id, or 0.
    unsigned wait_for_window(const QString &title)
    {
        QProcess tool;
        tool.start("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^" + title + "$"});
        if (!tool.waitForFinished(10000) || tool.exitCode() != 0)
            return 0;
        return tool.readAllStandardOutput().split('\n').first().toUInt();
    }

    // Again until the dialog has gone: keys may come before its line edit has
    // the focus, and a Return may only close the path completer's list.
    bool pick_file(const QString &dialog_title, const QString &path)
    {
        const unsigned dialog = wait_for_window(dialog_title);
        for (int attempt = 0; dialog && attempt < 5; ++attempt) {
            // Keys go to the window under the pointer while no window has the focus.
            xdotool({"mousemove", "--window", QString::number(dialog), "10", "10"});
            xdotool({"key", "ctrl+a"});
            xdotool({"type", "--delay", "2", path});
            for (int enter = 0; enter < 3; ++enter) {
                xdotool({"key", "Return"});
                const QStringList dialog_up{"search", "--onlyvisible", "--name", "^" + dialog_title + "$"};
                if (QTest::qWaitFor([&] { return !xdotool(dialog_up); }, 1000))
                    return true;
            }
        }
        return false;
    }

    bool shows_video() { return shows_clip(QGuiApplication::primaryScreen()->grabWindow(window.id).toImage()); }

    // As a window manager closes a window of the program (the main one unless given).
    void close(unsigned window_id = 0) { display.close(window_id ? window_id : window.id); }

    // The window `on` (the main one unless given) comes to draw `widget` of
    // the copy as after `vary(false)`, far nearer than as after `vary(true)`.
    void check_draws(QWidget *widget, const std::function<void(bool)> &vary, const QString &what, unsigned on = 0)
    {
        on = on ? on : window.id;
        QWidget *copy = widget->window();
        const QRect area(widget->mapTo(copy, QPoint(0, 0)), widget->size());
        const QRect pixels(area.topLeft() * scale(), area.size() * scale());
        vary(false);
        const QImage as_copy = copy->grab(area).toImage();
        vary(true);
        const QImage varied = copy->grab(area).toImage();
        vary(false);

        // The screen may be narrower than a window at twice the density:
        // the window goes where its left edge shows, the pointer off it.
        xdotool({"windowmove", QString::number(on), "0", "0"});
        xdotool({"mousemove", "0", "0"});
        double to_copy = 255, to_varied = 0;
        const bool drawn_as_copy = QTest::qWaitFor([&] {
            const QImage drawn = QGuiApplication::primaryScreen()->grabWindow(on).toImage().copy(pixels);
            to_copy = distance(drawn, as_copy);
            to_varied = distance(drawn, varied);
            return to_copy * 4 < to_varied;
        }, 5000);
        QVERIFY2(drawn_as_copy, qPrintable(QString("%1: %2 from the copy, %3 from the varied copy")
                                               .arg(what).arg(to_copy).arg(to_varied)));
    }

    // Not as with a family that nobody has, which Qt draws for a missing font.
    void check_font(QWidget *widget, unsigned on = 0)
    {
        const QFont font = widget->font();
        QFont missing = font;
        missing.setFamily("no such family");
        check_draws(widget, [&](bool vary) { widget->setFont(vary ? missing : font); }, font.family(), on);
    }

    // The about dialog draws its glyphs with their fonts, holds the window
    // behind it, and stays up.
    void check_about(QWidget *button)
    {
        click(button);
        about = wait_for_window("Version Infomation");
        QVERIFY(about);
        version_dlg copy;
        copy.setAttribute(Qt::WA_DontShowOnScreen);
        copy.show();
        for (const char *glyph : {"label_7", "label_9"}) {
            check_font(copy.findChild<QWidget *>(glyph), about);
            if (QTest::currentTestFailed())
                return;
        }
        close();
        QVERIFY(!process.waitForFinished(1000));
    }

    // `how`: "window manager" or signals ("SIGINT then SIGTERM"); exit code
    // 0, or killed at once by a second signal.
    void check_ends(const QString &how, int ms)
    {
        QElapsedTimer closing;
        closing.start();
        if (how == "window manager") {
            if (about)
                close(about);
            close();
        }
        const QStringList signal_names = how.split(" then ");
        for (const QString &name : signal_names)
            if (name.startsWith("SIG"))
                ::kill(process.processId(), name == "SIGINT" ? SIGINT : SIGTERM);
        QVERIFY2(process.waitForFinished(15000), "the program did not end");
        QVERIFY2(closing.elapsed() < ms, qPrintable(QString::number(closing.elapsed())));
        // Either signal may be the one handled first.
        const bool killed = signal_names.size() > 1;
        QCOMPARE(process.exitStatus(), killed ? QProcess::CrashExit : QProcess::NormalExit);
        if (!killed)
            QCOMPARE(process.exitCode(), 0);
    }

    qreal scale() const { return qApp->devicePixelRatio(); }

    QProcess process;
    QProcess::ProcessChannelMode channels = QProcess::ForwardedChannels;
    X11Client display;
    X11Client::Window window;
    unsigned about = 0; // the about dialog's window, once up

private:
    static double distance(const QImage &a, const QImage &b)
    {
        if (a.size() != b.size() || a.isNull())
            return 255;
        double sum = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                sum += qAbs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
        return sum / (a.width() * a.height());
    }
};

// The copies laid out at the screen's scale, with the fonts registered by hand.
#define PROGRAM_TEST_MAIN(TestObject)                                                              \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        qputenv("QT_AUTO_SCREEN_SCALE_FACTOR", "1");                                               \
        QApplication application(argc, argv);                                                      \
        for (const char *font : {":/fonts/Entypo+.ttf", ":/fonts/talvek_logo.ttf",                 \
                                 ":/fonts/tz3_other_icons.ttf"})                                   \
            if (QFontDatabase::addApplicationFont(font) < 0)                                       \
                qFatal("%s is not in the test's resources", font);                                 \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
