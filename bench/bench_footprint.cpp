// Each program started as a user starts it, in a private X session among the
// rig's yo-yos: the time until its window is shown, and its peak resident
// memory when it has been closed. An empty Qt window, this program started
// with --empty-window, is the baseline.
#include "bench_support.h"
#include "virtual_yoyos.h"
#include "x11_client.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using bench::fail;
using bench::steady;

namespace {

int empty_window(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    window.resize(550, 400);
    window.show();
    return application.exec();
}

// The process that /usr/bin/time started, the one that owns the window.
qint64 child_of(qint64 pid)
{
    const QString children = QStringLiteral("/proc/%1/task/%1/children").arg(pid);
    const steady::time_point give_up = steady::now() + std::chrono::seconds(10);
    while (steady::now() < give_up) {
        QFile file(children);
        if (file.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> pids = file.readAll().split(' ');
            if (!pids.isEmpty() && !pids.first().trimmed().isEmpty())
                return pids.first().trimmed().toLongLong();
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    fail("the program was never started");
}

struct Start {
    double shown_ms;
    double peak_mib;
};

Start start(X11Client &x11, const QString &program, const QStringList &arguments, const QString &home)
{
    QTemporaryDir scratch;
    const QString peak_file = scratch.filePath("peak");
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList timed{"-f", "%M", "-o", peak_file, program};
    timed += arguments;

    const steady::time_point launched = steady::now();
    process.start("/usr/bin/time", timed);
    if (!process.waitForStarted())
        fail("cannot start /usr/bin/time");
    const qint64 pid = child_of(process.processId());
    X11Client::Window window;
    const steady::time_point give_up = steady::now() + std::chrono::seconds(20);
    while (!(window = x11.window_of(pid)).viewable) {
        if (steady::now() > give_up)
            fail(program.toStdString() + " showed no window");
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const double shown_ms = bench::ms_between(launched, steady::now());

    // A few discovery steps, as a program that runs for a while has made.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    x11.close(window.id);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        fail(program.toStdString() + " did not exit cleanly");

    QFile peak(peak_file);
    if (!peak.open(QIODevice::ReadOnly))
        fail("no peak memory from /usr/bin/time");
    const QList<QByteArray> lines = peak.readAll().trimmed().split('\n');
    return {shown_ms, lines.last().trimmed().toDouble() / 1024};
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && QByteArray(argv[1]) == "--empty-window")
        return empty_window(argc, argv);

    QCoreApplication application(argc, argv);
    QTemporaryDir home;
    rig::VirtualYoyos yoyos;
    for (int i = 0; i < 8; ++i) {
        yoyos.add({rig::Transport::usb, std::to_string(i + 1), 1, 1});
        yoyos.add({rig::Transport::bluetooth, std::to_string(i + 1), -1, 1});
    }
    X11Client x11;
    if (!home.isValid() || !x11.connected())
        fail("no X display or no temporary home");

    struct Program {
        std::string name;
        QString path;
        QStringList arguments;
    };
    const std::vector<Program> programs = {
        {"empty Qt window (baseline)", QCoreApplication::applicationFilePath(), {"--empty-window"}},
        {"pulsetra", PULSETRA, {}},
        {"pulsetra_ble", PULSETRA_BLE, {}},
        {"skeel", SKEEL, {}},
    };
    const int runs = bench::repeats(5, 1);
    bench::Table table({"Program", "Starts", "Start → window shown, ms (min / median / max)",
                        "Shown ÷ baseline (medians)", "Peak resident memory, MiB (min / median / max)",
                        "Peak ÷ baseline (medians)"});
    double baseline_shown = 0, baseline_peak = 0;
    for (const Program &program : programs) {
        std::vector<double> shown, peak;
        for (int i = 0; i < runs; ++i) {
            std::fprintf(stderr, "bench: footprint, %s, start %d\n", program.name.c_str(), i + 1);
            const Start measured = start(x11, program.path, program.arguments, home.path());
            shown.push_back(measured.shown_ms);
            peak.push_back(measured.peak_mib);
        }
        const bench::Summary shown_ms = bench::summarise(shown);
        const bench::Summary peak_mib = bench::summarise(peak);
        if (baseline_shown == 0) {
            baseline_shown = shown_ms.median;
            baseline_peak = peak_mib.median;
        }
        table.add({program.name, std::to_string(runs), bench::three(shown_ms),
                   bench::ratio(shown_ms.median, baseline_shown), bench::three(peak_mib),
                   bench::ratio(peak_mib.median, baseline_peak)});
    }
    table.print("footprint");
    return 0;
}
