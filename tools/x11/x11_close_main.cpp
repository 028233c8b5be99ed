// x11-close <pid>: asks the top-level window of process <pid> to close, as
// its close button would. Exits 1 when the process has no window.
#include "x11_client.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: x11-close <pid>\n");
        return 2;
    }
    X11Client x11;
    if (!x11.connected()) {
        std::fprintf(stderr, "x11-close: no X display\n");
        return 2;
    }
    const X11Client::Window window = x11.window_of(std::atoll(argv[1]));
    if (!window.viewable)
        return 1;
    x11.close(window.id);
    return 0;
}
