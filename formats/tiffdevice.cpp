#include "tiffdevice.h"

#include <algorithm>
#include <mutex>

bool looksLikeTiff(const QByteArray &head)
{
    static const QByteArray starts[] = {QByteArray("II*\0", 4), QByteArray("MM\0*", 4), QByteArray("II+\0", 4),
                                        QByteArray("MM\0+", 4)};
    return std::any_of(std::begin(starts), std::end(starts), [&head](const QByteArray &s) { return head == s; });
}

namespace {

// libtiff reads the device through these, offsets counted from where the
// file starts in it.
tmsize_t readBytes(thandle_t handle, void *buffer, tmsize_t size)
{
    auto *source = static_cast<TiffSource *>(handle);
    return tmsize_t(source->device->read(static_cast<char *>(buffer), qint64(size)));
}

tmsize_t writeNothing(thandle_t, void *, tmsize_t)
{
    return -1;
}

toff_t seekTo(thandle_t handle, toff_t offset, int whence)
{
    auto *source = static_cast<TiffSource *>(handle);
    const qint64 size = source->device->size();
    // A move back comes as a huge unsigned offset.
    const qint64 move = qint64(offset);
    qint64 base = source->start;
    if (whence == SEEK_CUR)
        base = source->device->pos();
    else if (whence == SEEK_END)
        base = size;
    if (move > size || move < -size || base + move < source->start || !source->device->seek(base + move))
        return toff_t(-1);
    return toff_t(base + move - source->start);
}

int closeNothing(thandle_t)
{
    return 0;
}

toff_t sizeOf(thandle_t handle)
{
    auto *source = static_cast<TiffSource *>(handle);
    return toff_t(source->device->size() - source->start);
}

int mapNothing(thandle_t, void **, toff_t *)
{
    return 0;
}

void unmapNothing(thandle_t, void *, toff_t)
{
}

// Errors and warnings are handled here, which keeps libtiff from printing
// them: a failed read is reported by its result.
int keepQuiet(TIFF *, void *, const char *, const char *, va_list)
{
    return 1;
}

// libtiff's handlers for the whole process print to stderr, also for Qt's
// reader, which uses the same libtiff: they are turned off once, before the
// first TIFF is read by either.
void silenceLibtiff()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

} // namespace

quint64 tiffFileSize(TIFF *tiff)
{
    return sizeOf(TIFFClientdata(tiff));
}

OpenTiff::OpenTiff(QIODevice &device)
    : m_source{&device, device.pos()}
{
    silenceLibtiff();
    if (device.isSequential() || !looksLikeTiff(device.peek(4)))
        return;
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, keepQuiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, keepQuiet, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, largestAllocation);
    m_tiff = TIFFClientOpenExt("picture", "rm", &m_source, readBytes, writeNothing, seekTo, closeNothing, sizeOf,
                               mapNothing, unmapNothing, options);
    TIFFOpenOptionsFree(options);
}

OpenTiff::~OpenTiff()
{
    if (m_tiff)
        TIFFClose(m_tiff);
    m_source.device->seek(m_source.start);
}
