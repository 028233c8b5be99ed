// yoyo-rig: runs a command among virtual yo-yos and prints every report that
// reaches one of them, so a show can be rehearsed without hardware.
#include "virtual_yoyos.h"

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void usage()
{
    std::fprintf(stderr,
                 "usage: yoyo-rig [--usb N] [--ble N] [--silent N] [--answer-ms MS] -- command [args...]\n"
                 "  --usb N        N USB yo-yos that answer each report\n"
                 "  --silent N     N USB yo-yos that never answer\n"
                 "  --ble N        N Bluetooth yo-yos\n"
                 "  --answer-ms MS how long the USB yo-yos take to answer (default 1)\n");
}

bool parse_count(const char *text, int &value)
{
    char *end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (!*text || *end || parsed < 0 || parsed > 256)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

// The preload library must be in place before the first file is opened, so
// the rig re-executes itself with it when started without.
void ensure_preloaded(char **argv)
{
    const char *preload = std::getenv("LD_PRELOAD");
    if (preload && std::strstr(preload, "libumockdev-preload"))
        return;
    std::string value = "libumockdev-preload.so.0";
    if (preload && *preload)
        value += std::string(":") + preload;
    setenv("LD_PRELOAD", value.c_str(), 1);
    execv("/proc/self/exe", argv);
    std::perror("yoyo-rig: cannot re-execute itself");
    std::exit(127);
}

pid_t child = 0;

void forward_signal(int signal)
{
    if (child > 0)
        kill(child, signal);
}

} // namespace

int main(int argc, char **argv)
{
    int usb = 0, silent = 0, ble = 0, answer_ms = 1;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--")
            break;
        int *target = option == "--usb" ? &usb
                      : option == "--ble" ? &ble
                      : option == "--silent" ? &silent
                      : option == "--answer-ms" ? &answer_ms
                      : nullptr;
        if (!target || i + 1 >= argc || !parse_count(argv[i + 1], *target)) {
            usage();
            return 2;
        }
        ++i;
    }
    if (i + 1 >= argc) {
        usage();
        return 2;
    }
    char **command = argv + i + 1;
    ensure_preloaded(argv);

    rig::VirtualYoyos yoyos;
    std::vector<std::string> names;
    auto add = [&](int count, rig::Transport transport, int answer, const char *kind, int serial_base) {
        for (int k = 1; k <= count; ++k) {
            const std::string serial = std::to_string(serial_base + k);
            yoyos.add({transport, serial, answer, 1});
            names.push_back(std::string(kind) + "-" + std::to_string(k));
            std::printf("yoyo-rig: %s %s serial %s\n", names.back().c_str(),
                        yoyos.device_node(static_cast<int>(names.size()) - 1).c_str(), serial.c_str());
        }
    };
    add(usb, rig::Transport::usb, answer_ms, "usb", 1000);
    add(silent, rig::Transport::usb, -1, "silent", 3000);
    add(ble, rig::Transport::bluetooth, -1, "ble", 2000);
    std::fflush(stdout);

    const auto start = std::chrono::steady_clock::now();
    yoyos.on_report([&](const rig::Received &report) {
        const double seconds = std::chrono::duration<double>(report.at - start).count();
        std::printf("%9.3f %-9s %s\n", seconds, names.at(static_cast<std::size_t>(report.yoyo)).c_str(),
                    rig::describe(report.bytes).c_str());
        std::fflush(stdout);
    });

    child = fork();
    if (child < 0) {
        std::perror("yoyo-rig: fork");
        return 127;
    }
    if (child == 0) {
        execvp(command[0], command);
        std::fprintf(stderr, "yoyo-rig: cannot run %s: %s\n", command[0], std::strerror(errno));
        _exit(127);
    }
    std::signal(SIGINT, forward_signal);
    std::signal(SIGTERM, forward_signal);

    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
