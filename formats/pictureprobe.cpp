#include "pictureprobe.h"

#include "formats.h"
#include "picturelimits.h"

#include <algorithm>

QSize headerClaimedSize(QIODevice &device)
{
    return openPictureReader(device)->claimedSize();
}

bool isCutShort(QIODevice &device)
{
    return openPictureReader(device)->isCutShort(device);
}

std::optional<Failure> refusalBeforeDecoding(FormatReader &reader, QIODevice &device, QSize claimed)
{
    if (isTooLarge(claimed))
        return tooLargeFailure(claimed);
    const int longest = reader.longestSide();
    if (longest > 0 && std::max(claimed.width(), claimed.height()) > longest)
        return tooLongFailure(claimed, longest);
    if (reader.isCutShort(device))
        return Failure::cutShort();
    return std::nullopt;
}
