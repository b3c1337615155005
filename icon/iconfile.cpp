#include "iconfile.h"

namespace {

// The signed split of a colour into its three bytes, truncating toward zero,
// so that the invalid colour -1 comes out as red FF.
struct SplitColour
{
    quint8 blue, green, red;
};

SplitColour splitColour(Colour value)
{
    const qint64 colour = qint32(value.value());
    const qint64 blue = colour / 65536;
    const qint64 green = (colour - blue * 65536) / 256;
    const qint64 red = colour - blue * 65536 - green * 256;
    return {quint8(blue & 0xFF), quint8(green & 0xFF), quint8(red & 0xFF)};
}

bool isLight(Colour colour)
{
    const SplitColour c = splitColour(colour);
    return 299 * c.red + 587 * c.green + 114 * c.blue >= 128 * 1000;
}

} // namespace

// A 1-bit bitmap (or mask): rows bottom-up, eight pixels a byte, the leftmost
// pixel in the highest bit, the first pixel of each group of eight being the
// first character of its bit string.
static QByteArray packedBits(const std::array<bool, IconFile::pixelCount> &set)
{
    using IconFile::side;
    QByteArray bytes;
    QString bits;
    for (int y = side - 1; y >= 0; --y) {
        for (int x = 0; x < side; ++x) {
            bits += set[y * side + x] ? QLatin1Char('1') : QLatin1Char('0');
            if (bits.size() == 8) {
                bytes.append(char(bitStringToByte(bits)));
                bits.clear();
            }
        }
    }
    return bytes;
}

IconDirRecord iconDirValues()
{
    IconDirRecord dir;
    dir.idCount = 1; // one image
    return dir;
}

IconEntryRecord iconEntryValues()
{
    IconEntryRecord entry;
    entry.bWidth = IconFile::side;
    entry.bHeight = IconFile::side;
    entry.bColorCount = 0; // no palette at 24 bits
    entry.wPlanes = 1;
    entry.wBitCount = 24;
    entry.dwBytesInRes = IconFile::fileBytes - IconFile::directoryBytes; // everything after the directory
    entry.dwImageOffset = IconFile::directoryBytes;                      // the bitmap header follows it
    return entry;
}

BitmapInfoHeader iconHeaderValues()
{
    BitmapInfoHeader header;
    header.biWidth = IconFile::side;
    header.biHeight = 2 * IconFile::side; // colour bitmap and mask stacked
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = 0; // uncompressed RGB
    header.biSizeImage = IconFile::colourBytes + IconFile::maskBytes;
    return header;
}

quint8 bitStringToByte(const QString &bits)
{
    int result = 0;
    for (int i = 0; i < 8 && i < bits.size(); ++i)
        if (bits[i] == QLatin1Char('1'))
            result += 1 << (7 - i);
    return quint8(result);
}

QByteArray encodeIcon24(const IconPixels &pixels)
{
    using namespace IconFile;
    QByteArray file;
    file.reserve(fileBytes);
    file += serialise(iconDirValues());
    file += serialise(iconEntryValues());
    file += serialise(iconHeaderValues());

    // Colour pixels: rows bottom-up, each pixel blue, green, red; a
    // transparent pixel is stored black whatever its colour.
    for (int y = side - 1; y >= 0; --y) {
        for (int x = 0; x < side; ++x) {
            const int i = y * side + x;
            const SplitColour c = pixels.transparent[i] ? SplitColour{0, 0, 0} : splitColour(pixels.colours[i]);
            file.append(char(c.blue)).append(char(c.green)).append(char(c.red));
        }
    }

    file += packedBits(pixels.transparent);
    return file;
}

QByteArray encodeIcon1(const IconPixels &pixels)
{
    using namespace IconFile;
    IconEntryRecord entry = iconEntryValues();
    entry.bColorCount = 2;
    entry.wBitCount = 1;
    entry.dwBytesInRes = MonoIconFile::fileBytes - directoryBytes;
    BitmapInfoHeader header = iconHeaderValues();
    header.biBitCount = 1;
    header.biSizeImage = MonoIconFile::colourBytes + maskBytes;
    header.biClrUsed = 2;

    QByteArray file = serialise(iconDirValues()) + serialise(entry) + serialise(header);
    file += QByteArray::fromHex("00000000" "FFFFFF00"); // palette: black, white
    // The AND mask marks transparency; those pixels are stored black.
    std::array<bool, pixelCount> white{};
    for (int i = 0; i < pixelCount; ++i)
        white[i] = !pixels.transparent[i] && isLight(pixels.colours[i]);
    file += packedBits(white);
    file += packedBits(pixels.transparent);
    return file;
}
