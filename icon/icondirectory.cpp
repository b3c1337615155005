#include "icondirectory.h"

#include "littleendian.h"

std::optional<IconDirectory> iconDirectoryOf(const QByteArray &file)
{
    if (!hasIconSignature(file))
        return std::nullopt;
    IconDirectory directory;
    LittleEndianReader in(file);
    IconDirRecord header;
    in >> header;
    directory.kind = IconDirectory::Kind(header.idType);
    directory.headerWhole = !in.ranPastEnd();
    directory.claimed = directory.headerWhole ? header.idCount : 0;
    if (file.size() >= directory.end())
        directory.entries.reserve(size_t(directory.claimed));
    for (int i = 0; i < directory.claimed; ++i) {
        IconEntryRecord entry;
        in >> entry;
        if (in.ranPastEnd())
            break;
        directory.entries.push_back(entry);
    }
    return directory;
}

std::optional<IconDirectory> readIconDirectory(QIODevice &device)
{
    const QByteArray head = device.peek(IconDirRecord::size);
    if (!hasIconSignature(head))
        return std::nullopt;
    if (head.size() < IconDirRecord::size)
        return iconDirectoryOf(head);
    return iconDirectoryOf(device.peek(iconEntryOffset(iconDirAt(head).idCount)));
}
