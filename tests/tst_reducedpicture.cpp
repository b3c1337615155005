// Big bitmaps, GIFs, PNGs and TIFFs are read straight into a reduced image;
// what Open makes of them must match what a full decode gives.

#include "picturetestutils.h"

#include "picturebox.h"
#include "reducedpicture.h"
#include "picture.h"
#include "readpicture.h"
#include "reducedreaders.h"
#include "tiffformat.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

using namespace testutils;

namespace {

// A plain BI_RGB bitmap at 24 or 32 bits, bottom-up or top-down.
QByteArray bitmapBytes(const QImage &image, int bits, bool topDown)
{
    const int width = image.width();
    const int height = image.height();
    const int stride = ((width * bits + 31) / 32) * 4;
    QByteArray rows(stride * height, '\0');
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        uchar *out = reinterpret_cast<uchar *>(rows.data() + stride * row);
        for (int x = 0; x < width; ++x, out += bits / 8) {
            const QRgb c = image.pixel(x, y);
            out[0] = uchar(qBlue(c));
            out[1] = uchar(qGreen(c));
            out[2] = uchar(qRed(c));
        }
    }
    return bmpBytes({width, topDown ? -height : height, quint16(bits), 0, QByteArray(), rows});
}

// A photo-like picture: smooth gradients with fine detail on top.
QImage detailedImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 255 / width + (x % 3) * 20) & 0xFF, (y * 255 / height + (y % 5) * 9) & 0xFF,
                                      ((x + y) % 7) * 30));
    return image;
}

// A picture of at most 217 colours, so that a GIF holds it exactly: coarse
// bands of a 6 x 6 x 6 colour cube, fine stripes across them, and a disc of
// one colour outside the cube that tests can make transparent.
const QRgb discColour = qRgb(10, 200, 30);

QImage palettedImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    const QPoint centre(width / 2, height / 2);
    const int radius = std::min(width, height) / 4;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int dx = x - centre.x();
            const int dy = y - centre.y();
            if (dx * dx + dy * dy < radius * radius) {
                image.setPixel(x, y, discColour);
                continue;
            }
            image.setPixel(x, y, qRgb(x * 6 / width * 51, y * 6 / height * 51, (x + 2 * y) % 6 * 51));
        }
    return image;
}

// The file ImageMagick makes of `image` in `format`, with its extra
// `options`; nothing when ImageMagick is missing.
QByteArray magickBytes(const QImage &image, const QStringList &options, const QString &format)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.png"));
    const QString made = dir.filePath(QStringLiteral("made"));
    if (!image.save(source, "PNG"))
        return {};
    if (imageMagickConvert.isEmpty()
        || QProcess::execute(imageMagickConvert, QStringList{source} + options + QStringList{format + QLatin1Char(':') + made}) != 0)
        return {};
    return readFile(made);
}

QByteArray gifBytes(const QImage &image, const QStringList &options)
{
    return magickBytes(image, options, QStringLiteral("GIF"));
}

// The offset of the first image descriptor, after the global colour table
// and any extensions.
int firstImageDescriptor(const QByteArray &gif)
{
    const uchar screenFlags = uchar(gif.at(10));
    int at = 13 + ((screenFlags & 0x80) ? 3 * (2 << (screenFlags & 7)) : 0);
    while (at < gif.size() && gif.at(at) == 0x21) {
        at += 2;
        while (at < gif.size() && gif.at(at) != 0)
            at += 1 + uchar(gif.at(at));
        ++at;
    }
    return at;
}

// The same GIF with its global colour table moved into the first image as
// a local one.
QByteArray withLocalColourTable(QByteArray gif)
{
    const uchar screenFlags = uchar(gif.at(10));
    if (!(screenFlags & 0x80))
        return gif;
    const int tableSize = 3 * (2 << (screenFlags & 7));
    const int image = firstImageDescriptor(gif);
    const QByteArray table = gif.mid(13, tableSize);
    gif[image + 9] = char(uchar(gif.at(image + 9)) | 0x80 | (screenFlags & 7));
    gif.insert(image + 10, table);
    gif.remove(13, tableSize);
    gif[10] = char(screenFlags & 0x70);
    return gif;
}

// The variations a GIF may have that ImageMagick's writer never produces,
// for the test's own GIF writer below.
struct GifCoding
{
    int minimumCodeSize = 8;
    int clearEvery = 0; // codes between clear codes; 0 keeps a full table (a deferred clear)
    int subBlockSize = 255;
    bool endCode = true;
    int pixelsCoded = -1;  // fewer than all: the data ends before the last row
    int extraPixels = 0;   // pixels coded after the last row
    int badCodeAt = -1;    // where a code beyond the table is put
    QByteArray extensions; // blocks before the image
    bool secondFrame = false;
    // A first image that covers part of the screen: the screen's size, where
    // the image lies on it, the screen's background index, and whether the
    // image has the palette as a table of its own.
    QSize screen;
    QPoint at;
    int background = 0;
    bool localTable = false;
};

// Packs codes least significant bit first, as GIF stores them.
class CodePacker
{
public:
    void put(int code, int width)
    {
        m_bits |= quint32(code) << m_count;
        for (m_count += width; m_count >= 8; m_count -= 8, m_bits >>= 8)
            m_bytes += char(m_bits & 0xFF);
    }
    QByteArray finish() { return m_count > 0 ? m_bytes + char(m_bits & 0xFF) : m_bytes; }

private:
    QByteArray m_bytes;
    quint32 m_bits = 0;
    int m_count = 0;
};

// A plain LZW coder. The code width grows once the next free code no
// longer fits, which keeps it one step ahead of the reader's table.
QByteArray lzwCodes(std::vector<uchar> pixels, const GifCoding &coding)
{
    if (coding.pixelsCoded >= 0)
        pixels.resize(size_t(coding.pixelsCoded));
    for (int i = 0; i < coding.extraPixels; ++i)
        pixels.push_back(pixels[size_t(i)]);
    const int clear = 1 << coding.minimumCodeSize;
    CodePacker out;
    std::unordered_map<int, int> table; // (prefix code << 8 | pixel) -> code
    int codeSize = coding.minimumCodeSize + 1;
    int next = clear + 2;
    int written = 0;
    int sinceClear = 0;
    const auto restart = [&] {
        out.put(clear, codeSize);
        table.clear();
        codeSize = coding.minimumCodeSize + 1;
        next = clear + 2;
        sinceClear = 0;
    };
    const auto put = [&](int code) {
        if (written++ == coding.badCodeAt)
            code = next + 1;
        out.put(code, codeSize);
        ++sinceClear;
        if (next >= (1 << codeSize) && codeSize < 12)
            ++codeSize;
    };
    restart();
    int string = pixels.front();
    for (size_t i = 1; i < pixels.size(); ++i) {
        const int key = (string << 8) | pixels[i];
        const auto found = table.find(key);
        if (found != table.end()) {
            string = found->second;
            continue;
        }
        put(string);
        if (next < 4096)
            table.emplace(key, next++);
        string = pixels[i];
        if (coding.clearEvery > 0 && sinceClear >= coding.clearEvery)
            restart();
    }
    put(string);
    if (coding.endCode)
        out.put(clear + 1, codeSize);
    return out.finish();
}

QByteArray u16(int value)
{
    return QByteArray().append(char(value & 0xFF)).append(char(value >> 8));
}

QByteArray imageBlock(QSize size, const std::vector<uchar> &pixels, const GifCoding &coding, const QByteArray &localTable = {})
{
    const int tableBits = localTable.isEmpty() ? 0 : int(std::log2(localTable.size() / 3));
    QByteArray block = '\x2C' + u16(coding.at.x()) + u16(coding.at.y()) + u16(size.width()) + u16(size.height())
                       + char(localTable.isEmpty() ? 0 : 0x80 | (tableBits - 1)) + localTable + char(coding.minimumCodeSize);
    const QByteArray codes = lzwCodes(pixels, coding);
    for (qsizetype at = 0; at < codes.size(); at += coding.subBlockSize) {
        const QByteArray chunk = codes.mid(at, coding.subBlockSize);
        block += char(chunk.size()) + chunk;
    }
    return block + '\0';
}

// A GIF of `pixels` (indices into `palette`, whose size is a power of two),
// written by the test's own coder.
QByteArray ownGif(QSize size, const std::vector<QRgb> &palette, const std::vector<uchar> &pixels,
                  const GifCoding &coding)
{
    const int tableBits = int(std::log2(palette.size()));
    const QSize screen = coding.screen.isValid() ? coding.screen : size;
    QByteArray gif = "GIF89a" + u16(screen.width()) + u16(screen.height()) + char(0x80 | (tableBits - 1))
                     + char(coding.background) + '\0';
    QByteArray table;
    for (QRgb colour : palette)
        table.append(char(qRed(colour))).append(char(qGreen(colour))).append(char(qBlue(colour)));
    gif += table + coding.extensions + imageBlock(size, pixels, coding, coding.localTable ? table : QByteArray());
    if (coding.secondFrame)
        gif += imageBlock(size, std::vector<uchar>(pixels.size(), 0), GifCoding{});
    return gif + '\x3B';
}

std::vector<QRgb> ramp(int colours)
{
    std::vector<QRgb> palette;
    for (int i = 0; i < colours; ++i)
        palette.push_back(qRgb(i * 255 / (colours - 1), 255 - i * 255 / (colours - 1), (i * 37) & 0xFF));
    return palette;
}

// Bands of random pixels, which fill the code table, between bands of long
// runs, which the coder writes with codes the reader has not made yet.
std::vector<uchar> noiseAndRuns(QSize size, int colours)
{
    QRandomGenerator random(7);
    std::vector<uchar> pixels;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            pixels.push_back(uchar((y / 16) % 2 ? random.bounded(colours) : (x / (1 + y % 13)) % colours));
    return pixels;
}

QByteArray ownGif(int colours, const GifCoding &coding)
{
    const QSize size(512, 520);
    return ownGif(size, ramp(colours), noiseAndRuns(size, colours), coding);
}

// What the reduced reader must give for a picture: Qt's full decode summed
// into blocks the same way.
QImage blockAverageOf(const QImage &full, QSize block)
{
    const QImage premultiplied = full.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    BlockAverager blocks(premultiplied.size(), block);
    for (int y = 0; y < premultiplied.height(); ++y)
        blocks.addRow(y, reinterpret_cast<const QRgb *>(premultiplied.constScanLine(y)));
    return blocks.result().image;
}

// The 32 x 32 drawings of a reduced and a fully decoded picture agree
// closely: averaging blocks first moves a few source pixels at each target
// edge into the neighbouring target pixel. A JPEG's reduced decode differs
// more at sharp edges (`worstAllowed`), as its coarser colour planes do.
void verifyDrawingsAgree(const Picture &reduced, const Picture &full, int worstAllowed = 8, double meanAllowed = 1.0)
{
    PictureBox a;
    PictureBox b;
    for (PictureBox *box : {&a, &b}) {
        box->setBounds(0, 0, 540, 540);
        box->setScaleMode(PictureBox::ScaleModeKind::Pixels);
    }
    a.PaintPicture(reduced, 0, 0, 32, 32);
    b.PaintPicture(full, 0, 0, 32, 32);
    int worst = 0;
    int total = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb p = toQRgb(a.Point(x, y));
            const QRgb q = toQRgb(b.Point(x, y));
            for (int d : {qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q)), qAbs(qBlue(p) - qBlue(q))}) {
                worst = std::max(worst, d);
                total += d;
            }
        }
    const double mean = total / (32.0 * 32 * 3);
    QVERIFY2(worst <= worstAllowed && mean <= meanAllowed, qPrintable(QStringLiteral("worst %1, mean %2").arg(worst).arg(mean)));
}

// A JPEG of `image` with an EXIF orientation tag (1 to 8), which Qt's
// writer does not make: a one-entry IFD in an APP1 segment after the start.
QByteArray jpegBytes(const QImage &image, int orientation)
{
    QByteArray jpeg;
    QBuffer out(&jpeg);
    out.open(QIODevice::WriteOnly);
    QImageWriter writer(&out, "jpeg");
    writer.setQuality(95);
    if (!writer.write(image))
        return QByteArray();
    const QByteArray ifd = QByteArray("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 18)
                           + char(orientation) + QByteArray(7, '\0');
    const QByteArray exif = QByteArray("Exif\0\0", 6) + ifd;
    QByteArray segment = QByteArray("\xFF\xE1", 2);
    segment += char((exif.size() + 2) >> 8);
    segment += char((exif.size() + 2) & 0xFF);
    return jpeg.insert(2, segment + exif);
}

// A PNG written field by field, so that every kind of pixel the format has
// can be made: each colour type and bit depth, transparency chunks, Adam7
// interlacing. Rows are stored unfiltered.
struct PngKind
{
    int colourType = 2; // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
    int bitDepth = 8;
    bool interlaced = false;
    // A tRNS chunk: the palette's alphas, or one grey level or colour, which
    // every ninth pixel on a diagonal has, made transparent.
    bool transparency = false;
};

quint32 crcOf(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= uchar(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    return bigEndian32(quint32(data.size())) + type + data + bigEndian32(crcOf(type + data));
}

// Sample `channel` of pixel (x, y), of at most `top`: fine detail, and an
// alpha (the last channel of grey and alpha, and of RGBA) that is 0, `top`
// and everything between in turn.
quint16 sampleOf(const PngKind &kind, int x, int y, int channel, int top)
{
    const bool keyed = kind.transparency && (x + y) % 9 == 0;
    const bool alpha = (kind.colourType == 4 && channel == 1) || (kind.colourType == 6 && channel == 3);
    if (alpha)
        return quint16((x / 16 + y / 16) % 3 == 0 ? 0 : (x / 16 + y / 16) % 3 == 1 ? top : (x * 7 + y * 3) % (top + 1));
    if (keyed && kind.colourType != 3)
        return quint16(top / 3); // the transparent level or colour
    return quint16((x * (37 + 11 * channel) + y * (23 + 7 * channel) + (x * y) % 13 * 5) % (top + 1));
}

QByteArray pngBytes(QSize size, const PngKind &kind, int compression = 6)
{
    const int channels = QList<int>{1, 0, 3, 1, 2, 0, 4}[kind.colourType];
    const int top = (1 << kind.bitDepth) - 1;
    QByteArray head = bigEndian32(quint32(size.width())) + bigEndian32(quint32(size.height()));
    head += char(kind.bitDepth) + QByteArray(1, char(kind.colourType)) + QByteArray(2, '\0') + char(kind.interlaced);
    QByteArray png = QByteArray("\x89PNG\r\n\x1A\n") + pngChunk("IHDR", head);
    if (kind.colourType == 3) {
        QByteArray palette;
        QByteArray alphas;
        for (int i = 0; i <= top; ++i) {
            palette += char(i * 37) + QByteArray(1, char(i * 91)) + char(i * 13);
            alphas += char(i <= top / 2 ? i * 53 : 255);
        }
        png += pngChunk("PLTE", palette) + (kind.transparency ? pngChunk("tRNS", alphas) : QByteArray());
    } else if (kind.transparency) {
        const int samples = kind.colourType == 2 ? 3 : 1;
        QByteArray key;
        for (int i = 0; i < samples; ++i)
            key += char((top / 3) >> 8) + QByteArray(1, char(top / 3));
        png += pngChunk("tRNS", key);
    }
    // Adam7's passes, or one pass of every pixel.
    const QList<std::array<int, 4>> passes = kind.interlaced
        ? QList<std::array<int, 4>>{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}
        : QList<std::array<int, 4>>{{0, 0, 1, 1}};
    QByteArray raw;
    for (const auto &[left, top0, across, down] : passes) {
        if (left >= size.width() || top0 >= size.height())
            continue;
        for (int y = top0; y < size.height(); y += down) {
            raw += '\0'; // no filter
            quint32 bits = 0;
            int count = 0;
            for (int x = left; x < size.width(); x += across)
                for (int c = 0; c < channels; ++c) {
                    const quint16 value = sampleOf(kind, x, y, c, top);
                    if (kind.bitDepth == 16) {
                        raw += char(value >> 8);
                        raw += char(value);
                        continue;
                    }
                    bits = bits << kind.bitDepth | value;
                    for (count += kind.bitDepth; count >= 8; count -= 8)
                        raw += char(bits >> (count - 8));
                }
            if (count > 0)
                raw += char(bits << (8 - count));
        }
    }
    return png + pngChunk("IDAT", qCompress(raw, compression).mid(4)) + pngChunk("IEND", {});
}

// A binary PBM (P4), PGM (P5) or PPM (P6) of `image`, its samples scaled to
// `largest`: one byte each up to 255, two above.
QByteArray pnmBytes(const QImage &image, char kind, int largest)
{
    QByteArray bytes = QStringLiteral("P%1\n# made by the test\n%2 %3\n").arg(kind).arg(image.width()).arg(image.height()).toLatin1();
    if (kind != '4')
        bytes += QByteArray::number(largest) + '\n';
    for (int y = 0; y < image.height(); ++y) {
        quint32 bits = 0;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (kind == '4') {
                bits = bits << 1 | (qGray(p) < 128);
                if (x % 8 == 7 || x == image.width() - 1)
                    bytes += char(bits << (7 - x % 8));
                bits = x % 8 == 7 ? 0 : bits;
                continue;
            }
            for (int level : kind == '5' ? QList<int>{qGray(p)} : QList<int>{qRed(p), qGreen(p), qBlue(p)}) {
                const int value = (level * largest + 127) / 255;
                if (largest > 255)
                    bytes += char(value >> 8);
                bytes += char(value);
            }
        }
    }
    return bytes;
}

// The largest difference in any channel between two images of one size.
int worstDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 256;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            for (int d : {qAlpha(p) - qAlpha(q), qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                worst = std::max(worst, qAbs(d));
        }
    return worst;
}

// A Photoshop file of `image` with its composite in run lengths (every run
// bytes as they are): grey, or red, green and blue, and when `alpha` the
// transparency a layer count of -1 says the fourth channel is.
QByteArray psdBytes(const QImage &image, bool grey, bool alpha)
{
    const int channels = grey ? 1 : alpha ? 4 : 3;
    QByteArray head("8BPS");
    const auto add16 = [](QByteArray &bytes, int value) { bytes += char(value >> 8 & 0xFF); bytes += char(value & 0xFF); };
    const auto add32 = [&add16](QByteArray &bytes, quint32 value) { add16(bytes, int(value >> 16)); add16(bytes, int(value & 0xFFFF)); };
    for (int field : {1, 0, 0, 0, channels})
        add16(head, field);
    add32(head, quint32(image.height()));
    add32(head, quint32(image.width()));
    for (int field : {8, grey ? 1 : 3, 0, 0, 0, 0, 0, 6, 0, 2, alpha ? 0xFFFF : 0, 1})
        add16(head, field);
    QByteArray data;
    for (int channel = 0; channel < channels; ++channel)
        for (int y = 0; y < image.height(); ++y) {
            QByteArray row;
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                if (x % 128 == 0)
                    row += char(std::min(128, image.width() - x) - 1);
                row += char(grey ? qGray(p) : std::array<int, 4>{qRed(p), qGreen(p), qBlue(p), qAlpha(p)}[size_t(channel)]);
            }
            add16(head, int(row.size()));
            data += row;
        }
    return head + data;
}

PictureLoad readBytes(QByteArray bytes, QSize drawSize)
{
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    return readPicture(device, drawSize);
}

} // namespace

Q_DECLARE_METATYPE(PngKind)

class tst_ReducedPicture : public QObject
{
    Q_OBJECT

private slots:
    void matchesTheFullDecode_data();
    void matchesTheFullDecode();
    void leavesOtherBitmapsToTheOrdinaryReader_data();
    void leavesOtherBitmapsToTheOrdinaryReader();
    void gifMatchesTheFullDecode_data();
    void gifMatchesTheFullDecode();
    void leavesOtherGifsToTheOrdinaryReader_data();
    void leavesOtherGifsToTheOrdinaryReader();
    void jpegMatchesTheFullDecode_data();
    void jpegMatchesTheFullDecode();
    void jpegHeaderIsReadAsQtReadsIt_data();
    void jpegHeaderIsReadAsQtReadsIt();
    void pngMatchesTheFullDecode_data();
    void pngMatchesTheFullDecode();
    void leavesOtherPngsToTheOrdinaryReader_data();
    void leavesOtherPngsToTheOrdinaryReader();
    void tiffMatchesWhatWasWritten_data();
    void tiffMatchesWhatWasWritten();
    void pnmMatchesTheFullDecode_data();
    void pnmMatchesTheFullDecode();
    void psdMatchesTheFullDecode_data();
    void psdMatchesTheFullDecode();
};

void tst_ReducedPicture::matchesTheFullDecode_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("topDown");

    QTest::newRow("24-bit bottom-up") << QSize(1200, 800) << 24 << false;
    QTest::newRow("24-bit top-down") << QSize(1200, 800) << 24 << true;
    QTest::newRow("32-bit bottom-up") << QSize(1200, 800) << 32 << false;
    QTest::newRow("odd sizes, padded rows") << QSize(1001, 603) << 24 << false;
    QTest::newRow("tall") << QSize(523, 1700) << 24 << true;
}

void tst_ReducedPicture::matchesTheFullDecode()
{
    QFETCH(QSize, size);
    QFETCH(int, bits);
    QFETCH(bool, topDown);

    QByteArray bytes = bitmapBytes(detailedImage(size.width(), size.height()), bits, topDown);
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    QVERIFY(!readReducedBmp(device, QSize(32, 32)).image.isNull());
    QCOMPARE(device.pos(), qint64(0));

    const PictureLoad reduced = readBytes(bytes, QSize(32, 32));
    QVERIFY(!reduced.failure);
    QCOMPARE(reduced.picture.size(), size);             // the natural size, for the fit
    QVERIFY(reduced.picture.image().width() <= (size.width() + 1) / 2); // but far fewer pixels

    const PictureLoad full = readBytes(bytes, QSize());
    QVERIFY(!full.failure);
    QCOMPARE(full.picture.image().size(), size);

    verifyDrawingsAgree(reduced.picture, full.picture);
}

void tst_ReducedPicture::leavesOtherBitmapsToTheOrdinaryReader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("drawSize");

    const QImage big = detailedImage(600, 400);
    QTest::newRow("small for the drawing") << bitmapBytes(detailedImage(200, 100), 24, false) << QSize(32, 32);
    QTest::newRow("no drawing size") << bitmapBytes(big, 24, false) << QSize();
    QTest::newRow("cut short") << bitmapBytes(big, 24, false).left(20000) << QSize(32, 32);
    QByteArray eightBit = bitmapBytes(big, 24, false);
    qToLittleEndian<quint16>(8, eightBit.data() + 28);
    QTest::newRow("8-bit") << eightBit << QSize(32, 32);
    QByteArray compressed = bitmapBytes(big, 24, false);
    qToLittleEndian<quint32>(1, compressed.data() + 30);
    QTest::newRow("compressed") << compressed << QSize(32, 32);
}

void tst_ReducedPicture::leavesOtherBitmapsToTheOrdinaryReader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, drawSize);
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    QVERIFY(readReducedBmp(device, drawSize).image.isNull());
    QCOMPARE(device.pos(), qint64(0));
}

void tst_ReducedPicture::gifMatchesTheFullDecode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    // Whether the drawings must agree too: only on smooth pictures, since
    // random pixels make block edges show more.
    QTest::addColumn<bool>("smooth");

    const QImage wide = palettedImage(1200, 800);
    const QString disc = QStringLiteral("rgb(10,200,30)");
    QTest::newRow("plain") << gifBytes(wide, {}) << wide.size() << true;
    QTest::newRow("interlaced") << gifBytes(wide, {QStringLiteral("-interlace"), QStringLiteral("GIF")}) << wide.size() << true;
    QTest::newRow("transparent disc") << gifBytes(wide, {QStringLiteral("-transparent"), disc}) << wide.size() << true;
    QTest::newRow("interlaced, transparent")
        << gifBytes(wide, {QStringLiteral("-interlace"), QStringLiteral("GIF"), QStringLiteral("-transparent"), disc})
        << wide.size() << true;
    QTest::newRow("local colour table") << withLocalColourTable(gifBytes(wide, {})) << wide.size() << true;
    const QImage odd = palettedImage(1003, 1711);
    QTest::newRow("odd sizes, interlaced") << gifBytes(odd, {QStringLiteral("-interlace"), QStringLiteral("GIF")})
                                           << odd.size() << true;
    QTest::newRow("local colour table, transparent")
        << withLocalColourTable(gifBytes(wide, {QStringLiteral("-transparent"), disc})) << wide.size() << true;

    const QSize own(512, 520);
    const auto coded = [](auto change) {
        GifCoding coding;
        change(coding);
        return coding;
    };
    QTest::newRow("full table kept (deferred clear)") << ownGif(256, {}) << own << false;
    const QSize big(1500, 1000); // strings far older than what the reader keeps of the pixels
    QTest::newRow("full table kept past a megapixel") << ownGif(big, ramp(256), noiseAndRuns(big, 256), {}) << big << false;
    QTest::newRow("clear every 7 codes") << ownGif(256, coded([](GifCoding &c) { c.clearEvery = 7; })) << own << false;
    QTest::newRow("minimum code size 2") << ownGif(4, coded([](GifCoding &c) { c.minimumCodeSize = 2; })) << own << false;
    QTest::newRow("4 colours at code size 8") << ownGif(4, {}) << own << false;
    QTest::newRow("one-byte sub-blocks") << ownGif(256, coded([](GifCoding &c) { c.subBlockSize = 1; })) << own << false;
    QTest::newRow("no end code") << ownGif(256, coded([](GifCoding &c) { c.endCode = false; })) << own << false;
    QTest::newRow("codes after the last row") << ownGif(256, coded([](GifCoding &c) { c.extraPixels = 5000; })) << own << false;
    QTest::newRow("a second frame") << ownGif(256, coded([](GifCoding &c) { c.secondFrame = true; })) << own << false;
    const QByteArray comment = QByteArray("\x21\xFE\x05hello\x00", 9);
    const QByteArray loop = QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    const QByteArray plainText = QByteArray("\x21\x01\x0C", 3) + QByteArray(12, '\1') + QByteArray("\x04text\x00", 6);
    const QByteArray transparentFive = QByteArray("\x21\xF9\x04\x01\x00\x00\x05\x00", 8);
    QTest::newRow("extensions before the image")
        << ownGif(256, coded([&](GifCoding &c) { c.extensions = comment + loop + plainText + transparentFive; })) << own << false;
    QTest::newRow("transparent index, own coder")
        << ownGif(16, coded([&](GifCoding &c) { c.minimumCodeSize = 4; c.extensions = transparentFive; })) << own << false;
    // A first image that covers part of the screen, which is filled around
    // it as Qt's reader fills it.
    const QSize screen(900, 700);
    const auto placed = [&](int background, bool localTable, const QByteArray &extensions) {
        return ownGif(own, ramp(16), noiseAndRuns(own, 16), coded([&](GifCoding &c) {
                          c.minimumCodeSize = 4;
                          c.screen = screen;
                          c.at = QPoint(301, 97);
                          c.background = background;
                          c.localTable = localTable;
                          c.extensions = extensions;
                      }));
    };
    QTest::newRow("placed on a larger screen") << placed(3, false, {}) << screen << false;
    QTest::newRow("placed, background past the table") << placed(200, false, {}) << screen << false;
    QTest::newRow("placed, transparent index") << placed(3, false, transparentFive) << screen << false;
    QTest::newRow("placed, local colour table") << placed(3, true, {}) << screen << false;
    QTest::newRow("placed at the screen's corner") << ownGif(own, ramp(16), noiseAndRuns(own, 16), coded([&](GifCoding &c) {
        c.minimumCodeSize = 4;
        c.screen = own + QSize(40, 3);
    })) << own + QSize(40, 3) << false;
}

void tst_ReducedPicture::gifMatchesTheFullDecode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QFETCH(bool, smooth);
    QSKIP_UNLESS_TOOL(imageMagickConvert); // makes the GIFs
    QVERIFY(bytes.startsWith("GIF8"));

    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    const ReducedPicture direct = readReducedGif(device, QSize(32, 32));
    QVERIFY(!direct.image.isNull()); // the reduced path was taken
    QCOMPARE(direct.naturalSize, size);
    QCOMPARE(device.pos(), qint64(0));

    const PictureLoad reduced = readBytes(bytes, QSize(32, 32));
    QVERIFY(!reduced.failure);
    QCOMPARE(reduced.picture.size(), size);
    QVERIFY(reduced.picture.image().width() <= (size.width() + 1) / 2);

    const PictureLoad full = readBytes(bytes, QSize());
    QVERIFY(!full.failure);
    QCOMPARE(full.picture.image().size(), size);

    // Exactly Qt's pixels, summed into the same blocks.
    const QImage expected = blockAverageOf(full.picture.image(), reductionBlock(size, QSize(32, 32)));
    QCOMPARE(direct.image, expected);
    if (smooth)
        verifyDrawingsAgree(reduced.picture, full.picture);
}

void tst_ReducedPicture::leavesOtherGifsToTheOrdinaryReader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("drawSize");

    const QByteArray big = gifBytes(palettedImage(800, 600), {});
    QTest::newRow("small for the drawing") << gifBytes(palettedImage(200, 100), {}) << QSize(32, 32);
    QTest::newRow("no drawing size") << big << QSize();
    QTest::newRow("cut short") << big.left(big.size() / 2) << QSize(32, 32);
    QTest::newRow("cut inside the header") << big.left(8) << QSize(32, 32);
    QByteArray narrowerScreen = big;
    narrowerScreen[6] = char(uchar(narrowerScreen.at(6)) - 8); // the image runs past the screen's edge
    QTest::newRow("image wider than the screen") << narrowerScreen << QSize(32, 32);
    QByteArray damaged = big;
    const int data = firstImageDescriptor(big) + 10;
    damaged[data] = 12; // a minimum code size no GIF may have
    QTest::newRow("impossible code size") << damaged << QSize(32, 32);

    GifCoding early;
    early.pixelsCoded = 512 * 100;
    QTest::newRow("end code before the last row") << ownGif(256, early) << QSize(32, 32);
    const QSize own(512, 520);
    QTest::newRow("index outside the colour table") << ownGif(own, ramp(4), noiseAndRuns(own, 256), {}) << QSize(32, 32);
    GifCoding beyond;
    beyond.badCodeAt = 10;
    QTest::newRow("code beyond the table") << ownGif(256, beyond) << QSize(32, 32);
}

void tst_ReducedPicture::leavesOtherGifsToTheOrdinaryReader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, drawSize);
    QVERIFY(bytes.startsWith("GIF8"));
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    QVERIFY(readReducedGif(device, drawSize).image.isNull());
    QCOMPARE(device.pos(), qint64(0));
}

void tst_ReducedPicture::jpegMatchesTheFullDecode_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("reduced"); // whether it is decoded below half its size

    const QImage photo = detailedImage(1203, 611);
    const char *turns[] = {"as stored", "mirrored", "turned 180", "flipped", "mirrored and turned 270",
                           "turned 90", "mirrored and turned 90", "turned 270"};
    for (int orientation = 1; orientation <= 8; ++orientation)
        QTest::addRow("%s", turns[orientation - 1]) << photo << orientation << true;
    QTest::newRow("grey") << photo.convertToFormat(QImage::Format_Grayscale8) << 1 << true;
    QTest::newRow("big") << detailedImage(4001, 3003) << 1 << true;
    QTest::newRow("too small to reduce") << detailedImage(400, 300) << 6 << false;
}

// A JPEG read at a fraction of its size, turned as its tag says, draws as
// Qt's whole decode of it does.
void tst_ReducedPicture::jpegMatchesTheFullDecode()
{
    QFETCH(QImage, image);
    QFETCH(int, orientation);
    QFETCH(bool, reduced);
    const QByteArray bytes = jpegBytes(image, orientation);
    QVERIFY(!bytes.isEmpty());

    QBuffer device;
    device.setData(bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    QImageReader reader(&device);
    reader.setAutoTransform(true);
    const QImage full = reader.read();
    QVERIFY(!full.isNull());

    const PictureLoad load = readBytes(bytes, QSize(32, 32));
    QVERIFY(!load.failure);
    QCOMPARE(load.picture.size(), full.size());
    QCOMPARE(load.picture.image().width() <= (full.width() + 1) / 2, reduced);
    verifyDrawingsAgree(load.picture, Picture(full), 20, 0.8);
}

namespace {

// An APP1 segment holding `payload`.
QByteArray app1(const QByteArray &payload)
{
    return QByteArray("\xFF\xE1", 2) + char((payload.size() + 2) >> 8) + char((payload.size() + 2) & 0xFF) + payload;
}

// Exif data in `order` ("II" or "MM") whose first image directory, at
// `firstOffset`, holds `entries`; each entry "tag type count value" as
// numbers, and `next` the offset of a second directory, laid after it.
QByteArray exif(const char *order, quint32 firstOffset, const QList<QList<quint32>> &entries, quint32 next = 0,
                const QList<QList<quint32>> &nextEntries = {})
{
    const bool big = qstrcmp(order, "MM") == 0;
    const auto number = [big](quint32 value, int size) {
        QByteArray bytes;
        for (int i = 0; i < size; ++i)
            bytes += char(value >> (8 * (big ? size - 1 - i : i)));
        return bytes;
    };
    const auto directory = [&](const QList<QList<quint32>> &list, quint32 following) {
        QByteArray bytes = number(quint32(list.size()), 2);
        for (const QList<quint32> &e : list)
            bytes += number(e[0], 2) + number(e[1], 2) + number(e[2], 4) + number(e[3], 2) + number(0, 2);
        return bytes + number(following, 4);
    };
    QByteArray tiff = QByteArray(order) + number(0x2A, 2) + number(firstOffset, 4);
    tiff += QByteArray(qMax<qsizetype>(0, qsizetype(firstOffset) - tiff.size()), '\0');
    tiff += directory(entries, next);
    if (next > 0) {
        tiff += QByteArray(qMax<qsizetype>(0, qsizetype(next) - tiff.size()), '\0');
        tiff += directory(nextEntries, 0);
    }
    return QByteArray("Exif\0\0", 6) + tiff;
}

} // namespace

void tst_ReducedPicture::jpegHeaderIsReadAsQtReadsIt_data()
{
    QTest::addColumn<QByteArray>("segments"); // put after the start of the picture
    const QList<quint32> turned90 = {0x0112, 3, 1, 6};
    const QByteArray xmp = app1("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>");
    QTest::newRow("no Exif") << QByteArray();
    QTest::newRow("big-endian") << app1(exif("MM", 8, {turned90}));
    QTest::newRow("little-endian, other tags first") << app1(exif("II", 8, {{0x010F, 2, 4, 0}, turned90}));
    QTest::newRow("XMP first") << xmp + app1(exif("II", 8, {turned90}));
    QTest::newRow("XMP after") << app1(exif("II", 8, {turned90})) + xmp;
    QTest::newRow("in the second directory") << app1(exif("II", 8, {{0x010F, 2, 4, 0}}, 40, {{0x0112, 3, 1, 3}}));
    QTest::newRow("a long, not a short") << app1(exif("II", 8, {{0x0112, 4, 1, 6}}));
    QTest::newRow("two values") << app1(exif("II", 8, {{0x0112, 3, 2, 6}}));
    QTest::newRow("out of range") << app1(exif("MM", 8, {{0x0112, 3, 1, 9}}));
    QTest::newRow("a directory before the header's end") << app1(exif("II", 4, {turned90}));
    QTest::newRow("a directory past the end") << app1(exif("II", 8, {turned90}).left(14) + QByteArray("\xF0\0\0\0", 4));
    QTest::newRow("split over two segments") << app1(exif("II", 8, {turned90}).left(16)) + app1(exif("II", 8, {turned90}).mid(16));
    QTest::newRow("cut inside the entry") << app1(exif("II", 8, {turned90}).left(22));
    QTest::newRow("cut after the entry's value") << app1(exif("MM", 8, {turned90}).left(6 + 8 + 2 + 10));
    QTest::newRow("cut inside the entry's value") << app1(exif("MM", 8, {turned90}).left(6 + 8 + 2 + 9));
    QTest::newRow("no byte order") << app1(exif("XX", 8, {turned90}));
}

// The reduced reader tells a JPEG's size and orientation from its header
// without Qt's reader (which loads every image plugin to do so), and must
// tell them as that reader does, for Exif data of every shape.
void tst_ReducedPicture::jpegHeaderIsReadAsQtReadsIt()
{
    QFETCH(QByteArray, segments);
    QByteArray bytes = jpegBytes(detailedImage(90, 60), 1);
    bytes = bytes.left(2) + segments + bytes.mid(2 + 4 + 32); // its own Exif segment left out
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    QImageReader reader(&device, "jpeg");
    const QSize size = reader.size();
    const QImageIOHandler::Transformations turn = reader.transformation();
    device.seek(0);
    const JpegHeader header = readJpegHeader(device);
    QCOMPARE(device.pos(), qint64(0));
    QCOMPARE(header.stored, size);
    QCOMPARE(int(header.orientation), int(turn));
}

void tst_ReducedPicture::pngMatchesTheFullDecode_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<PngKind>("kind");
    QTest::addColumn<qint64>("wholeDecodeLimit");

    const QSize size(600, 440);
    const auto row = [size](const char *name, int colourType, int bitDepth, bool transparency = false,
                            bool interlaced = false) {
        QTest::newRow(name) << size << PngKind{colourType, bitDepth, interlaced, transparency} << qint64(0);
    };
    row("RGB", 2, 8);
    row("RGBA", 6, 8);
    row("grey", 0, 8);
    row("grey, 1 bit", 0, 1);
    row("grey, 2 bits, one level transparent", 0, 2, true);
    row("grey, 4 bits", 0, 4);
    row("grey and alpha", 4, 8);
    row("palette", 3, 8);
    row("palette with alphas", 3, 8, true);
    row("palette of 1 bit with alphas", 3, 1, true);
    row("palette of 4 bits", 3, 4);
    row("RGB, one colour transparent", 2, 8, true);
    row("RGB, 16 bits", 2, 16);
    row("RGBA, 16 bits", 6, 16);
    row("grey, 16 bits", 0, 16);
    row("grey and alpha, 16 bits", 4, 16);
    row("interlaced RGBA", 6, 8, false, true);
    row("interlaced palette of 2 bits with alphas", 3, 2, true, true);
    row("interlaced grey, 16 bits", 0, 16, false, true);
    QTest::newRow("odd size, interlaced") << QSize(601, 437) << PngKind{2, 8, true, false} << qint64(0);
    // Big enough that a conversion reads it this way.
    QTest::newRow("8.4 megapixels, as read by default") << QSize(2900, 2900) << PngKind{} << streamedDecodeBytes;
}

// Every kind of PNG read straight into blocks holds exactly Qt's pixels,
// summed the same way: within a level at 16 bits a channel, which Qt
// premultiplies before it rounds them to 8 bits.
void tst_ReducedPicture::pngMatchesTheFullDecode()
{
    QFETCH(QSize, size);
    QFETCH(PngKind, kind);
    QFETCH(qint64, wholeDecodeLimit);
    QByteArray bytes = pngBytes(size, kind, 1);
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    const QSize drawSize = wholeDecodeLimit > 0 ? QSize(32, 32) : QSize(8, 8);
    const ReducedPicture direct = readReducedPng(device, drawSize, wholeDecodeLimit);
    QVERIFY(!direct.image.isNull()); // the reduced path was taken
    QCOMPARE(direct.naturalSize, size);
    QCOMPARE(device.pos(), qint64(0));

    QImageReader qt(&device, "png");
    const QImage full = qt.read();
    QCOMPARE(full.size(), size);
    const QImage expected = blockAverageOf(full, reductionBlock(size, drawSize));
    const int worst = worstDifference(direct.image, expected);
    QVERIFY2(worst <= (kind.bitDepth == 16 ? 1 : 0), qPrintable(QStringLiteral("worst difference %1").arg(worst)));
}

void tst_ReducedPicture::leavesOtherPngsToTheOrdinaryReader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("drawSize");
    QTest::addColumn<qint64>("wholeDecodeLimit");

    const QByteArray png = pngBytes(QSize(600, 440), PngKind{6, 8, false, false});
    QTest::newRow("small for the drawing") << pngBytes(QSize(200, 100), PngKind{}) << QSize(32, 32) << qint64(0);
    QTest::newRow("no drawing size") << png << QSize() << qint64(0);
    QTest::newRow("decoded whole, as it always was") << pngBytes(QSize(2000, 1500), PngKind{}) << QSize(32, 32)
                                                     << streamedDecodeBytes;
    QTest::newRow("cut short") << png.left(png.size() / 2) << QSize(8, 8) << qint64(0);
    QByteArray damaged = png;
    damaged[damaged.indexOf("IDAT") + 100] ^= 0x10; // the chunk's check fails
    QTest::newRow("damaged data") << damaged << QSize(8, 8) << qint64(0);
    QByteArray early = png;
    const qsizetype data = early.indexOf("IDAT") + 4;
    const quint32 length = qFromBigEndian<quint32>(early.constData() + data - 8);
    const QByteArray half = qUncompress(bigEndian32(440 * 2401) + early.mid(data, length)).left(440 * 2401 / 2);
    early.replace(data - 8, length + 12, pngChunk("IDAT", qCompress(half).mid(4)));
    QTest::newRow("pixels stop halfway") << early << QSize(8, 8) << qint64(0);
    QTest::newRow("not a PNG") << bitmapBytes(detailedImage(600, 440), 24, false) << QSize(8, 8) << qint64(0);
}

void tst_ReducedPicture::leavesOtherPngsToTheOrdinaryReader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, drawSize);
    QFETCH(qint64, wholeDecodeLimit);
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    QVERIFY(readReducedPng(device, drawSize, wholeDecodeLimit).image.isNull());
    QCOMPARE(device.pos(), qint64(0));
}

void tst_ReducedPicture::tiffMatchesWhatWasWritten_data()
{
    QTest::addColumn<QImage>("source");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QTransform>("turn"); // what the orientation tag asks
    QTest::addColumn<int>("tolerance");

    // 672 x 448 pixels and their blocks of 7 line up whichever way the
    // picture is turned.
    const QImage colour = detailedImage(672, 448);
    const QImage grey = colour.convertToFormat(QImage::Format_Grayscale8);
    QImage alpha = colour.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < alpha.height(); ++y)
        for (int x = 0; x < alpha.width(); ++x)
            alpha.setPixel(x, y, (alpha.pixel(x, y) & 0xFFFFFF) | uint((x + 3 * y) % 256) << 24);
    const QString tiles = QStringLiteral("tiff:tile-geometry=64x64");
    const auto row = [](const char *name, const QImage &image, const QString &options, QTransform turn = {},
                        int tolerance = 0) {
        QTest::newRow(name) << image << options.split(QLatin1Char(' '), Qt::SkipEmptyParts) << turn << tolerance;
    };
    row("strips", colour, QString());
    row("strips of 16 bits, LZW", colour, QStringLiteral("-depth 16 -compress lzw"));
    row("tiles", colour, QStringLiteral("-define ") + tiles);
    row("tiles of 16 bits, planes apart", colour, QStringLiteral("-depth 16 -interlace plane -define ") + tiles);
    row("planes apart", colour, QStringLiteral("-interlace plane"));
    row("alpha", alpha, QString(), {}, 1);
    row("premultiplied alpha", alpha, QStringLiteral("-define tiff:alpha=associated"), {}, 1);
    row("palette", palettedImage(672, 448), QStringLiteral("-type palette"));
    row("grey of 12 bits", grey, QStringLiteral("-depth 12"));
    row("grey of 32 bits", grey, QStringLiteral("-depth 32"));
    row("grey of 32-bit floating point", grey, QStringLiteral("-depth 32 -define quantum:format=floating-point"));
    row("mirrored", colour, QStringLiteral("-orient TopRight"), QTransform().scale(-1, 1));
    row("upside down", colour, QStringLiteral("-orient BottomRight"), QTransform().rotate(180));
    row("turned a quarter", colour, QStringLiteral("-orient RightTop"), QTransform().rotate(90));
    row("turned three quarters, tiles", colour, QStringLiteral("-orient LeftBottom -define ") + tiles,
        QTransform().rotate(270));
}

// A TIFF of any layout libtiff reads, summed straight into blocks, holds the
// pixels it was written from, turned as its orientation tag says (within a
// level where alpha is premultiplied on one side and not the other).
void tst_ReducedPicture::tiffMatchesWhatWasWritten()
{
    QFETCH(QImage, source);
    QFETCH(QStringList, options);
    QFETCH(QTransform, turn);
    QFETCH(int, tolerance);
    QSKIP_UNLESS_TOOL(imageMagickConvert);
    QByteArray bytes = magickBytes(source, options, QStringLiteral("TIFF"));
    QVERIFY(bytes.startsWith("II*") || bytes.startsWith("MM"));
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    const ReducedPicture direct = readReducedTiff(device, QSize(8, 8), 0);
    QCOMPARE(device.pos(), qint64(0));
    const QImage shown = source.transformed(turn);
    QCOMPARE(direct.naturalSize, shown.size());
    const QImage expected = blockAverageOf(shown, reductionBlock(shown.size(), QSize(8, 8)));
    const int worst = worstDifference(direct.image, expected);
    QVERIFY2(worst <= tolerance, qPrintable(QStringLiteral("worst difference %1").arg(worst)));
}

void tst_ReducedPicture::pnmMatchesTheFullDecode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("tolerance"); // for samples Qt's reader scales to 8 bits its own way

    const QImage image = detailedImage(601, 437);
    QTest::newRow("PPM") << pnmBytes(image, '6', 255) << 0;
    QTest::newRow("PPM of levels up to 100") << pnmBytes(image, '6', 100) << 1;
    QTest::newRow("PPM of two bytes a sample") << pnmBytes(image, '6', 1000) << 1;
    QTest::newRow("PGM") << pnmBytes(image, '5', 255) << 0;
    QTest::newRow("PGM of 16 bits") << pnmBytes(image, '5', 65535) << 1;
    QTest::newRow("PBM, rows of an odd width") << pnmBytes(image, '4', 1) << 0;
}

// A binary PBM, PGM or PPM summed straight into blocks holds Qt's pixels.
void tst_ReducedPicture::pnmMatchesTheFullDecode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, tolerance);
    QBuffer device(&bytes);
    QVERIFY(device.open(QIODevice::ReadOnly));
    const ReducedPicture direct = readReducedPnm(device, QSize(8, 8), 0);
    QVERIFY(!direct.image.isNull());
    QCOMPARE(device.pos(), qint64(0));
    QImageReader qt(&device);
    const QImage full = qt.read();
    QCOMPARE(full.size(), QSize(601, 437));
    const int worst = worstDifference(direct.image, blockAverageOf(full, reductionBlock(full.size(), QSize(8, 8))));
    QVERIFY2(worst <= tolerance, qPrintable(QStringLiteral("worst difference %1").arg(worst)));
    QVERIFY(device.seek(0));
    QVERIFY(readReducedPnm(device, QSize(8, 8)).image.isNull()); // small enough to decode whole
    QByteArray cut = bytes.chopped(1000);
    QBuffer cutShort(&cut);
    QVERIFY(cutShort.open(QIODevice::ReadOnly));
    QVERIFY(readReducedPnm(cutShort, QSize(8, 8), 0).image.isNull()); // left to Qt's reader
    QCOMPARE(cutShort.pos(), qint64(0));
}

void tst_ReducedPicture::psdMatchesTheFullDecode_data()
{
    QTest::addColumn<bool>("grey");
    QTest::addColumn<bool>("alpha");
    QTest::newRow("grey") << true << false;
    QTest::newRow("colour") << false << false;
    QTest::newRow("colour with transparency") << false << true;
}

// A Photoshop picture too big to decode whole for a small drawing is summed
// into blocks as it is read, and draws as the whole picture does.
void tst_ReducedPicture::psdMatchesTheFullDecode()
{
    QFETCH(bool, grey);
    QFETCH(bool, alpha);
    QImage image = detailedImage(3001, 2999).convertToFormat(QImage::Format_ARGB32);
    if (alpha)
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, (image.pixel(x, y) & 0xFFFFFF) | QRgb((x / 7 + y / 5) % 256) << 24);
    const QByteArray bytes = psdBytes(image, grey, alpha);
    const PictureLoad reduced = readBytes(bytes, QSize(32, 32));
    QVERIFY2(!reduced.failure, qPrintable(reasonOf(reduced.failure)));
    QCOMPARE(reduced.picture.size(), image.size());
    QVERIFY(reduced.picture.image().width() <= image.width() / 2);
    const PictureLoad full = readBytes(bytes, QSize());
    QVERIFY(!full.failure);
    QCOMPARE(full.picture.image().size(), image.size());
    verifyDrawingsAgree(reduced.picture, full.picture);
}

QTEST_MAIN(tst_ReducedPicture)
#include "tst_reducedpicture.moc"
