/* Preloaded into every process of a checked test run. Built without the
 * sanitizers, as it reaches helpers such as Xvfb too. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>

/* A module that its user unloads (Mesa's driver goes with each GL context)
 * stays mapped to the end of the process, so that the leak check at exit can
 * still name the library that a leak comes from. */
int dlclose(void *handle)
{
    (void)handle;
    return 0;
}

/* The sanitizers' own open_memstream wrapper records each stream in a table
 * that their fclose wrapper clears only after the stream is closed; libvlc
 * opens such streams on several threads, and a stream reusing the address of
 * one closing elsewhere trips the runtime's internal check and ends the
 * process. Going straight to the C library leaves nothing to record. */
FILE *open_memstream(char **buffer, size_t *size)
{
    static FILE *(*real)(char **, size_t *);
    if (!real) {
        void *libc = dlopen("libc.so.6", RTLD_LAZY | RTLD_NOLOAD);
        real = (FILE * (*)(char **, size_t *)) dlsym(libc, "open_memstream");
    }
    return real(buffer, size);
}
