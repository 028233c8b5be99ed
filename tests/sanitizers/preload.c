/* Preloaded into every process of a checked test run. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>

/* Unloaded modules (Mesa's driver goes with each GL context) stay mapped, so
 * that the leak check at exit can still name a leak's library. */
int dlclose(void *handle)
{
    (void)handle;
    return 0;
}

/* The sanitizers' open_memstream wrapper records each stream in a table that
 * their fclose clears only after closing; libvlc's streams on several threads
 * can reuse an address still listed, which ends the process. */
FILE *open_memstream(char **buffer, size_t *size)
{
    static FILE *(*real)(char **, size_t *);
    if (!real) {
        void *libc = dlopen("libc.so.6", RTLD_LAZY | RTLD_NOLOAD);
        real = (FILE * (*)(char **, size_t *)) dlsym(libc, "open_memstream");
    }
    return real(buffer, size);
}
