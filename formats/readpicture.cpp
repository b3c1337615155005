// Reading a picture: its format recognised once, then its reader asked what
// the header claims, whether the file is cut short, for the picture read
// reduced, else decoded whole.

#include "readpicture.h"

#include "formats.h"
#include "picturelimits.h"

#include <algorithm>

PictureLoad readPicture(QIODevice &device, QSize drawSize, DrawDetail detail)
{
    // The checks look back at the header; a pipe cannot go back.
    if (device.isSequential())
        return {Picture(), Failure::notARegularFile()};
    const std::unique_ptr<FormatReader> reader = openPictureReader(device);
    // Refused before any decoder sees it: more pixels than Tervana reads, a
    // side longer than the format's decoder takes (a PNG of 20,000,000 x 2
    // pixels: the user should hear that it is too large, not that it cannot
    // be read), or a file cut short.
    const QSize claimed = reader->claimedSize();
    if (isTooLarge(claimed))
        return {Picture(), tooLargeFailure(claimed)};
    const int longest = reader->longestSide();
    if (longest > 0 && std::max(claimed.width(), claimed.height()) > longest)
        return {Picture(), tooLongFailure(claimed, longest)};
    if (reader->isCutShort(device))
        return {Picture(), Failure::cutShort()};
    if (std::optional<Picture> reduced = reader->readReduced(device, drawSize, detail))
        return {std::move(*reduced), std::nullopt};
    return reader->decodeWhole(device, drawSize, detail);
}
