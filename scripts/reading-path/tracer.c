// Records, when TERVANA_TRACE names a file, each function entered and left
// by the program built with -finstrument-functions: its place in the
// program, its depth of calls and its thread, one line each. Only the first
// calls of each function on a thread are written (a loop over the rows of a
// big picture would write gigabytes); the depth counts every call.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

enum { callsWritten = 1024, slots = 16384, deepest = 16384 };

static FILE *out;
static __thread int depth;
static __thread void *functions[slots];
static __thread int calls[slots];
static __thread unsigned char written[deepest];

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

// Counts a call of `fn` on this thread; whether it is among the first ones.
__attribute__((no_instrument_function)) static int isEarlyCall(void *fn)
{
    unsigned long slot = ((unsigned long)fn >> 4) % slots;
    for (int probes = 0; probes < slots; ++probes, slot = (slot + 1) % slots) {
        if (functions[slot] == fn || !functions[slot]) {
            functions[slot] = fn;
            return ++calls[slot] <= callsWritten;
        }
    }
    return 1;
}

__attribute__((no_instrument_function)) void __cyg_profile_func_enter(void *fn, void *site)
{
    (void)site;
    openOut();
    const int write = out && isEarlyCall(fn);
    if (depth < deepest)
        written[depth] = (unsigned char)write;
    if (write) {
        Dl_info info;
        unsigned long offset = 0;
        if (dladdr(fn, &info) && info.dli_fbase)
            offset = (unsigned long)fn - (unsigned long)info.dli_fbase;
        fprintf(out, "E %d %lx %ld\n", depth, offset, (long)syscall(SYS_gettid));
    }
    ++depth;
}

__attribute__((no_instrument_function)) void __cyg_profile_func_exit(void *fn, void *site)
{
    (void)fn;
    (void)site;
    --depth;
    if (out && (depth >= deepest || written[depth]))
        fprintf(out, "X %d - %ld\n", depth, (long)syscall(SYS_gettid));
}
