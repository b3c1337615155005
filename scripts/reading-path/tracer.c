// Records, when TERVANA_TRACE names a file, each function entered and left
// by the program built with -finstrument-functions: its place in the
// program, its depth of calls and its thread, one line each.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

static FILE *out;
static __thread int depth;

__attribute__((no_instrument_function)) static void openOut(void)
{
    static int tried;
    if (tried)
        return;
    tried = 1;
    const char *name = getenv("TERVANA_TRACE");
    if (name)
        out = fopen(name, "w");
    // A helper program started from here must not write over the trace.
    unsetenv("TERVANA_TRACE");
}

__attribute__((no_instrument_function)) void __cyg_profile_func_enter(void *fn, void *site)
{
    (void)site;
    openOut();
    if (!out)
        return;
    Dl_info info;
    unsigned long offset = 0;
    if (dladdr(fn, &info) && info.dli_fbase)
        offset = (unsigned long)fn - (unsigned long)info.dli_fbase;
    fprintf(out, "E %d %lx %ld\n", depth++, offset, (long)syscall(SYS_gettid));
}

__attribute__((no_instrument_function)) void __cyg_profile_func_exit(void *fn, void *site)
{
    (void)fn;
    (void)site;
    if (!out)
        return;
    fprintf(out, "X %d - %ld\n", --depth, (long)syscall(SYS_gettid));
}
