#include "drawingserver.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#ifdef __linux__
#include <malloc.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace drawingserver {

void limitThisProcess(long memoryMegabytes, long cpuSeconds)
{
#ifdef __linux__
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() == 1)
        std::_Exit(3);
    if (memoryMegabytes > 0) {
        // A thread's stack counts against the limit too: the threads pango
        // starts to sort fonts get 1 MB, not the 8 MB a thread gets by
        // default, which would leave a drawing with text too little.
        pthread_attr_t smallStacks;
        pthread_attr_init(&smallStacks);
        pthread_attr_setstacksize(&smallStacks, 1024 * 1024);
        pthread_setattr_default_np(&smallStacks);
        pthread_attr_destroy(&smallStacks);
        const rlim_t bytes = rlim_t(memoryMegabytes) * 1024 * 1024;
        const rlimit data{bytes, bytes};
        setrlimit(RLIMIT_DATA, &data);
    }
    if (cpuSeconds > 0) {
        const rlimit cpu{rlim_t(cpuSeconds), rlim_t(cpuSeconds)};
        setrlimit(RLIMIT_CPU, &cpu);
    }
#else
    (void)memoryMegabytes;
    (void)cpuSeconds;
#endif
}

void prepareToServe()
{
    // The answer goes out in large pieces, not a system call for every
    // few rows.
    static char outputBuffer[256 * 1024];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
#ifdef __linux__
    // Freed drawings' memory is kept for the next drawing, not handed
    // back and faulted in again page by page.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024 * 1024);
#endif
}

namespace {

// Reads exactly `size` bytes from standard input; false when it ends first.
bool readExactly(char *into, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::read(STDIN_FILENO, into, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        into += n;
        size -= size_t(n);
    }
    return true;
}

bool writeAll(const void *data, size_t size)
{
    return std::fwrite(data, 1, size, stdout) == size;
}

} // namespace

bool nextRequest(std::string &bytes, int idleSeconds, size_t largestRequest)
{
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (::poll(&input, 1, idleSeconds * 1000) <= 0)
        return false;
    std::string length;
    char c = 0;
    while (length.size() <= 20 && readExactly(&c, 1) && c != '\n')
        length += c;
    if (c != '\n' || length.empty() || length.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const unsigned long long size = std::strtoull(length.c_str(), nullptr, 10);
    if (size > largestRequest)
        return false;
    bytes.resize(size_t(size));
    return readExactly(bytes.data(), bytes.size());
}

std::string oneLine(const char *text)
{
    std::string line = text ? text : "";
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::replace(line.begin(), line.end(), '\r', ' ');
    return line.substr(0, 900);
}

void refuse(Answer &answer, const std::string &why)
{
    answer.lines = "refused " + oneLine(why.c_str()) + "\n";
}

bool writeAnswer(const Answer &answer, bool framed)
{
    const size_t rowBytes = size_t(answer.width) * 4;
    if (framed)
        std::printf("%zu\n", answer.lines.size() + rowBytes * size_t(answer.height));
    if (!writeAll(answer.lines.data(), answer.lines.size()))
        return false;
    const unsigned char *pixels = answer.surface ? cairo_image_surface_get_data(answer.surface) : nullptr;
    const size_t stride = answer.surface ? size_t(cairo_image_surface_get_stride(answer.surface)) : 0;
    for (int y = 0; y < answer.height; ++y)
        if (!writeAll(pixels + size_t(y) * stride, rowBytes))
            return false;
    return std::fflush(stdout) == 0;
}

void drawnSize(bool fit, int side, double width, double height, int &drawnWidth, int &drawnHeight)
{
    double scale = side / std::max(width, height);
    if (!fit)
        scale = std::min(scale, 1.0);
    drawnWidth = int(std::clamp(std::lround(width * scale), 1L, long(side)));
    drawnHeight = int(std::clamp(std::lround(height * scale), 1L, long(side)));
}

} // namespace drawingserver
