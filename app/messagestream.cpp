#include "messagestream.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef TERVANA_SANITIZED
#include <sanitizer/common_interface_defs.h>
#endif

FILE *keepLibraryMessagesOffStderr()
{
#ifdef Q_OS_UNIX
    // Above the three standard ones: were standard output closed, a copy in
    // its place would take what the pipeline meant for it.
    const int real = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (real < 0)
        return stderr;
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0 || ::dup2(null, STDERR_FILENO) < 0)
        return stderr;
    ::close(null);
#ifdef TERVANA_SANITIZED
    __sanitizer_set_report_fd(reinterpret_cast<void *>(qintptr(real)));
#endif
    if (FILE *stream = ::fdopen(real, "w"))
        return stream;
#endif
    return stderr;
}

void printLine(FILE *stream, const QString &text)
{
    // Standard output is left to its buffer (a line at a time on a
    // terminal, in blocks into a file or a pipe: a listing of a million
    // lines is not a million writes); what it holds goes out before any
    // message, so that the two stay in order when they share a file.
    if (stream != stdout)
        std::fflush(stdout);
    std::fprintf(stream, "%s\n", qPrintable(text));
    if (stream != stdout)
        std::fflush(stream);
}
