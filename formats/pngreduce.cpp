// A big PNG read row by row through libpng straight into block averages:
// the memory of a few rows, whatever the picture's size. The file is read
// ahead, and its chunks' check values verified, on a second thread, so
// that the decoding thread only inflates and unfilters.

#include "reducedreaders.h"

#include <QtEndian>

#include <climits>
#include <condition_variable>
#include <csetjmp>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <png.h>
#include <zlib.h>

namespace {

// What the header chunk says, read before libpng is set up: enough to tell
// whether the picture is left to Qt's reader.
struct PngHeader
{
    QSize size;
    int bitDepth = 0;
    int colourType = 0;
};

std::optional<PngHeader> pngHeader(QIODevice &device)
{
    const QByteArray head = device.peek(26);
    if (head.size() < 26 || !head.startsWith("\x89PNG\r\n\x1A\n") || head.mid(12, 4) != "IHDR")
        return std::nullopt;
    const quint32 width = qFromBigEndian<quint32>(head.constData() + 16);
    const quint32 height = qFromBigEndian<quint32>(head.constData() + 20);
    if (width == 0 || height == 0 || width > INT_MAX || height > INT_MAX)
        return std::nullopt;
    return PngHeader{QSize(int(width), int(height)), uchar(head.at(24)), uchar(head.at(25))};
}

// Verifies the check values (CRC-32 of type and data) of the chunks libpng
// must not do without (IHDR, PLTE, IDAT, IEND) as the file's bytes go past.
class ChunkChecker
{
public:
    void take(const uchar *bytes, qint64 count)
    {
        while (count > 0 && !m_ended && !m_damaged) {
            const qint64 used = m_field == Field::Data ? takeData(bytes, count) : takeField(bytes, count);
            bytes += used;
            count -= used;
        }
    }
    bool damaged() const { return m_damaged; }
    // Whether the end chunk has been checked, or the checks cannot go on.
    bool ended() const { return m_ended; }

private:
    enum class Field { Signature, Head, Data, Check };

    qint64 takeData(const uchar *bytes, qint64 count)
    {
        const qint64 used = std::min<qint64>(count, m_remaining);
        if (m_critical)
            m_crc = crc32(m_crc, bytes, uInt(used));
        m_remaining -= quint32(used);
        if (m_remaining == 0)
            m_field = Field::Check;
        return used;
    }

    // The signature, a chunk's length and type, or its check value, which
    // may come split between blocks.
    qint64 takeField(const uchar *bytes, qint64 count)
    {
        const int size = m_field == Field::Check ? 4 : 8;
        const qint64 used = std::min<qint64>(count, size - m_held);
        std::memcpy(m_bytes + m_held, bytes, size_t(used));
        m_held += int(used);
        if (m_held == size) {
            m_held = 0;
            fieldDone();
        }
        return used;
    }

    void fieldDone()
    {
        if (m_field == Field::Signature) {
            m_field = Field::Head;
        } else if (m_field == Field::Head) {
            m_remaining = qFromBigEndian<quint32>(m_bytes);
            m_ended = m_remaining > 0x7FFFFFFFu; // libpng refuses such a chunk
            m_critical = !(m_bytes[4] & 0x20); // an upper-case first letter
            m_end = std::memcmp(m_bytes + 4, "IEND", 4) == 0;
            m_crc = crc32(crc32(0, nullptr, 0), m_bytes + 4, 4);
            m_field = m_remaining > 0 ? Field::Data : Field::Check;
        } else {
            m_damaged = m_critical && qFromBigEndian<quint32>(m_bytes) != m_crc;
            m_ended = m_end;
            m_field = Field::Head;
        }
    }

    Field m_field = Field::Signature;
    uchar m_bytes[8] = {};
    int m_held = 0;
    quint32 m_remaining = 0;
    uLong m_crc = 0;
    bool m_critical = false;
    bool m_end = false;
    bool m_ended = false;
    bool m_damaged = false;
};

// Reads the device from where it stands, a megabyte at a time, on a thread
// of its own, a few megabytes ahead of the decoding, checking the chunks as
// it goes.
class ReadAhead
{
public:
    explicit ReadAhead(QIODevice &device)
        : m_device(device)
        , m_free(blocks)
        , m_thread(&ReadAhead::run, this)
    {
    }
    ~ReadAhead()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    // Copies up to `count` bytes to `out`; fewer only where the file ends.
    qint64 read(uchar *out, qint64 count)
    {
        qint64 copied = 0;
        while (copied < count && (m_at < m_current.size() || nextBlock())) {
            const qint64 n = std::min<qint64>(count - copied, qint64(m_current.size() - m_at));
            std::memcpy(out + copied, m_current.data() + m_at, size_t(n));
            m_at += size_t(n);
            copied += n;
        }
        return copied;
    }

    // Reads on to the end chunk, and says whether every check value so far
    // matched.
    bool checksMatch()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_draining = true;
            for (std::vector<uchar> &block : m_full)
                m_free.push_back(std::move(block));
            m_full.clear();
        }
        m_changed.notify_all();
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_done; });
        return !m_checker.damaged();
    }

private:
    static constexpr int blocks = 4;
    static constexpr qint64 blockBytes = 1 << 20;

    bool nextBlock()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_current.empty())
            m_free.push_back(std::move(m_current));
        m_current.clear();
        m_at = 0;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_full.empty() || m_done; });
        if (m_full.empty())
            return false;
        m_current = std::move(m_full.front());
        m_full.pop_front();
        return true;
    }

    void run()
    {
        for (;;) {
            std::vector<uchar> block;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [this] { return m_stop || !m_free.empty(); });
                if (m_stop)
                    break;
                block = std::move(m_free.back());
                m_free.pop_back();
            }
            block.resize(size_t(blockBytes));
            const qint64 got = m_device.read(reinterpret_cast<char *>(block.data()), blockBytes);
            block.resize(size_t(std::max<qint64>(got, 0)));
            m_checker.take(block.data(), qint64(block.size()));
            const bool last = got <= 0 || m_checker.ended() || m_checker.damaged();
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                if (m_draining || block.empty())
                    m_free.push_back(std::move(block));
                else
                    m_full.push_back(std::move(block));
                m_done = last;
            }
            m_changed.notify_all();
            if (last)
                break;
        }
    }

    QIODevice &m_device;
    ChunkChecker m_checker; // the reading thread's alone until it is done
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::vector<uchar>> m_free;
    std::deque<std::vector<uchar>> m_full;
    bool m_draining = false;
    bool m_done = false;
    bool m_stop = false;
    // The decoding thread's alone.
    std::vector<uchar> m_current;
    size_t m_at = 0;
    std::thread m_thread;
};

// Everything one decode owns, reached through one pointer, so that libpng's
// jump back from an error skips no destructor and leaves nothing in
// registers that is needed afterwards.
struct PngDecode
{
    explicit PngDecode(QIODevice &device)
        : in(device)
    {
    }
    png_structp png = nullptr;
    png_infop info = nullptr;
    ReadAhead in;
    std::unique_ptr<BlockAverager> blocks;
    std::vector<QRgb> row; // room for a row of 32-bit pixels
};

// libpng must not return from its error function: it jumps back to the
// decode, which then gives up. Neither errors nor warnings are printed.
void jumpBack(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void keepQuiet(png_structp, png_const_charp)
{
}

void readFromDevice(png_structp png, png_bytep data, size_t length)
{
    auto *decode = static_cast<PngDecode *>(png_get_io_ptr(png));
    if (decode->in.read(data, qint64(length)) != qint64(length))
        png_error(png, "the file ends early");
}

// Premultiplies a row of pixels stored blue, green, red, alpha in place:
// on a little-endian host, each is then a premultiplied QRgb.
QRgb *premultipliedRow(std::vector<QRgb> &row, int count)
{
    for (int x = 0; x < count; ++x)
        row[size_t(x)] = qPremultiply(row[size_t(x)]);
    return row.data();
}

// Sums the rows of a picture stored top to bottom: pixels without alpha as
// they come, three bytes each, pixels with alpha premultiplied.
void sumRows(PngDecode &d, int channels)
{
    const QSize size = d.blocks->size();
    auto *bytes = reinterpret_cast<png_bytep>(d.row.data());
    for (int y = 0; y < size.height(); ++y) {
        png_read_row(d.png, bytes, nullptr);
        if (channels == 3)
            d.blocks->addBgrRow(y, bytes, 3);
        else
            d.blocks->addRow(y, premultipliedRow(d.row, size.width()));
    }
}

// Sums the seven passes of an interlaced picture, each pixel straight into
// its block: no pass needs the rows of another.
void sumPasses(PngDecode &d)
{
    const QSize size = d.blocks->size();
    auto *bytes = reinterpret_cast<png_bytep>(d.row.data());
    for (int pass = 0; pass < 7; ++pass) {
        const int columns = int(PNG_PASS_COLS(png_uint_32(size.width()), pass));
        const int rows = int(PNG_PASS_ROWS(png_uint_32(size.height()), pass));
        if (columns == 0 || rows == 0)
            continue; // libpng skips an empty pass too
        for (int row = 0; row < rows; ++row) {
            png_read_row(d.png, bytes, nullptr);
            d.blocks->addSpacedPixels(int(PNG_ROW_FROM_PASS_ROW(png_uint_32(row), pass)), int(PNG_PASS_START_COL(pass)),
                                      1 << PNG_PASS_COL_SHIFT(pass), premultipliedRow(d.row, columns), columns);
        }
    }
}

// Decodes the picture into d.blocks, made for `block`. False on any error:
// damaged data, the file ending early, or a header libpng refuses. Nothing
// here may own what needs a destructor: an error jumps straight back to the
// setjmp.
bool decode(PngDecode &d, QSize block)
{
    if (setjmp(png_jmpbuf(d.png)))
        return false;
    png_set_read_fn(d.png, &d, readFromDevice);
    // The reading thread checks the chunks; the compressed data is then
    // whole, and its own check value says nothing more.
    png_set_crc_action(d.png, PNG_CRC_QUIET_USE, PNG_CRC_DEFAULT);
    png_set_option(d.png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    png_read_info(d.png, d.info);
    const QSize size(int(png_get_image_width(d.png, d.info)), int(png_get_image_height(d.png, d.info)));
    const bool interlaced = png_get_interlace_type(d.png, d.info) != PNG_INTERLACE_NONE;
    // Whatever it is stored as, each pixel comes as blue, green, red at 8
    // bits, then alpha where it has any (a palette's or a colour's
    // transparency included), or, for the passes, a filler of 255.
    png_set_expand(d.png);
    png_set_scale_16(d.png);
    png_set_gray_to_rgb(d.png);
    png_set_bgr(d.png);
    if (interlaced)
        png_set_filler(d.png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(d.png, d.info);
    const int channels = png_get_channels(d.png, d.info);
    if (channels != 3 && channels != 4)
        return false;
    d.row.resize(size_t(size.width()));
    d.blocks = std::make_unique<BlockAverager>(size, block);
    if (interlaced)
        sumPasses(d);
    else
        sumRows(d, channels);
    return true;
}

ReducedPicture decodeReduced(QIODevice &device, QSize block)
{
    auto d = std::make_unique<PngDecode>(device);
    d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, jumpBack, keepQuiet);
    if (d->png)
        d->info = png_create_info_struct(d->png);
    const bool decoded = d->info && decode(*d, block) && d->in.checksMatch();
    png_destroy_read_struct(&d->png, &d->info, nullptr);
    return decoded ? d->blocks->result() : ReducedPicture();
}

} // namespace

ReducedPicture readReducedPng(QIODevice &device, QSize drawSize, qint64 wholeDecodeLimit)
{
    if (QSysInfo::ByteOrder != QSysInfo::LittleEndian || device.isSequential())
        return {};
    const std::optional<PngHeader> header = pngHeader(device);
    if (!header)
        return {};
    const bool greyOrIndexed = header->colourType == PNG_COLOR_TYPE_GRAY || header->colourType == PNG_COLOR_TYPE_PALETTE;
    const QSize block = streamingBlock(header->size, drawSize, header->bitDepth, greyOrIndexed, wholeDecodeLimit);
    if (!block.isValid())
        return {};
    const qint64 start = device.pos();
    ReducedPicture reduced = decodeReduced(device, block);
    device.seek(start);
    return reduced;
}
