// Reading a picture: its format recognised once, then its reader asked what
// the header claims, whether the file is cut short, for the picture read
// reduced, else decoded whole.

#include "readpicture.h"

#include "formats.h"
#include "pictureprobe.h"

PictureLoad readPicture(QIODevice &device, QSize drawSize, DrawDetail detail)
{
    // The checks look back at the header; a pipe cannot go back.
    if (device.isSequential())
        return {Picture(), Failure::notARegularFile()};
    const std::unique_ptr<FormatReader> reader = openPictureReader(device);
    if (std::optional<Failure> refused = refusalBeforeDecoding(*reader, device, reader->claimedSize()))
        return {Picture(), std::move(refused)};
    if (std::optional<Picture> reduced = reader->readReduced(device, drawSize, detail))
        return {std::move(*reduced), std::nullopt};
    return reader->decodeWhole(device, drawSize, detail);
}
