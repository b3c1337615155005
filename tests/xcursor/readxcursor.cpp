// Reads a Linux cursor with libXcursor, as desktops read their cursor
// themes, for the tests: one line for each image, in the file's order,
// "NOMINAL WIDTH HEIGHT XHOT YHOT DELAY HASH", where HASH is the 32-bit
// FNV-1a hash of its pixels (premultiplied ARGB, each as four bytes,
// least significant first).
//   readxcursor FILE
//   readxcursor --theme THEME NAME SIZE   (the cursor NAME of THEME, found
//                                          on XCURSOR_PATH as desktops find it)
// Exits 1 when libXcursor cannot read the file or find the cursor.
#include <X11/Xcursor/Xcursor.h>

#include <cstdint>
#include <cstdio>

#include <cstdlib>
#include <cstring>

int main(int argc, char *argv[])
{
    const bool theme = argc == 5 && std::strcmp(argv[1], "--theme") == 0;
    if (argc != 2 && !theme)
        return 2;
    XcursorImages *images = theme ? XcursorLibraryLoadImages(argv[3], argv[2], std::atoi(argv[4]))
                                  : XcursorFilenameLoadAllImages(argv[1]);
    if (!images)
        return 1;
    for (int i = 0; i < images->nimage; ++i) {
        const XcursorImage *image = images->images[i];
        std::uint32_t hash = 2166136261u;
        for (std::uint64_t p = 0; p < std::uint64_t(image->width) * image->height; ++p)
            for (int byte = 0; byte < 4; ++byte)
                hash = (hash ^ ((image->pixels[p] >> (8 * byte)) & 0xFF)) * 16777619u;
        std::printf("%u %u %u %u %u %u %08x\n", image->size, image->width, image->height, image->xhot, image->yhot,
                    image->delay, hash);
    }
    XcursorImagesDestroy(images);
    return 0;
}
