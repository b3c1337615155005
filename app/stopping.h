#pragma once

#include <QByteArray>

#include <atomic>
#include <cstdio>
#include <functional>

// How tervana-convert stops on Ctrl-C (SIGINT), SIGTERM and SIGHUP (the
// terminal closed). At the first signal the run starts no further picture,
// and those under way have a short grace to finish, their results written
// whole. After the grace, or at a second signal, the run ends at once: a
// result under way has no name until it is whole (files/atomicfile.h), so
// nothing partial is left behind, and nothing waits for a picture that does
// not finish.

// Set at the first signal: no further picture is started.
extern std::atomic<bool> stopRequested;

// Installs the handlers: first thing, before any thread is started.
void stopOnSignals();

// Watches, in a thread of its own, for what ends the run at once. The line
// `interruption` gives (how far the run came, from what may be read while
// the run goes on) is then written to `messages`, and the program ends with
// the first signal's status, 128 and its number. An empty function says
// nothing.
void endAtOnceWhenStopping(FILE *messages, std::function<QByteArray()> interruption);

// Claims the end of the run for the run itself, which ends as it will; the
// watch then ends nothing. Returns the signal that stopped the run, or 0.
// Should the watch be ending the run already, it never returns.
int endingByItself();
