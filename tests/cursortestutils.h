#pragma once

// What the cursor tests share: an animated cursor's chunks read back, and
// animated GIFs written with Pillow.

#include "testutils.h"

#include <QByteArrayList>
#include <QProcess>

namespace testutils {

// An animated cursor's header numbers, rates, sequence and stored frames.
struct AniContents
{
    QList<quint32> header;
    QList<quint32> rates;
    QList<quint32> sequence;
    QByteArrayList frames;
};

// Reads the chunks of a RIFF body in order into `contents`, the frames
// from LIST "fram".
inline void readChunks(const QByteArray &body, AniContents &contents)
{
    for (qsizetype at = 0; at + 8 <= body.size();) {
        const QByteArray id = body.mid(at, 4);
        const qsizetype size = littleEndianNumbers(body.mid(at + 4, 4)).value(0);
        const QByteArray data = body.mid(at + 8, size);
        if (id == "anih")
            contents.header = littleEndianNumbers(data);
        else if (id == "rate")
            contents.rates = littleEndianNumbers(data);
        else if (id == "seq ")
            contents.sequence = littleEndianNumbers(data);
        else if (id == "icon")
            contents.frames << data;
        else if (id == "LIST" && data.startsWith("fram"))
            readChunks(data.mid(4), contents);
        at += 8 + size + size % 2;
    }
}

inline AniContents aniContents(const QByteArray &file)
{
    AniContents contents;
    if (file.startsWith("RIFF") && file.mid(8, 4) == "ACON")
        readChunks(file.mid(12), contents);
    return contents;
}

// Writes an animated GIF of `colours` (a disc each on white), each shown
// for its `milliseconds`, with Pillow; false without Pillow.
inline bool writeGif(const QString &path, const QStringList &colours, const QList<int> &milliseconds)
{
    if (python3WithPillow.isEmpty())
        return false;
    QStringList durations;
    for (int delay : milliseconds)
        durations << QString::number(delay);
    const QString script = QStringLiteral(
        "import sys\nfrom PIL import Image, ImageDraw\n"
        "frames = []\n"
        "for colour in sys.argv[2].split(','):\n"
        "    frame = Image.new('RGB', (60, 60), (255, 255, 255))\n"
        "    ImageDraw.Draw(frame).ellipse([8, 8, 52, 52], fill=colour)\n"
        "    frames.append(frame)\n"
        "frames[0].save(sys.argv[1], save_all=True, append_images=frames[1:], "
        "duration=[int(d) for d in sys.argv[3].split(',')], loop=0)\n");
    return QProcess::execute(python3WithPillow, {QStringLiteral("-c"), script, path, colours.join(QLatin1Char(',')),
                                                 durations.join(QLatin1Char(','))}) == 0;
}

} // namespace testutils
