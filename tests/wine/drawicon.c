/* Draws an icon file as Windows' own icon loader does, for the tests:
 * LoadImageW at each size asked for, then DrawIconEx onto a 32-bit drawing
 * filled with black, and onto one filled with white.
 *
 *   drawicon ICON OUT SIZE...
 *
 * OUT-SIZE-0.raw (over black) and OUT-SIZE-1.raw (over white) receive
 * SIZE x SIZE pixels, top row first, each as blue, green, red, unused.
 * Exits 1 when the icon does not load at a size or cannot be drawn. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Draws the icon loaded at `size` over black or white into `path`. */
static int draw(const wchar_t *iconPath, int size, int white, const wchar_t *path)
{
    HICON icon = (HICON)LoadImageW(NULL, iconPath, IMAGE_ICON, size, size, LR_LOADFROMFILE);
    if (!icon) {
        fprintf(stderr, "LoadImageW failed at %d: %lu\n", size, GetLastError());
        return 0;
    }
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size; /* top row first */
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *pixels = NULL;
    HDC dc = CreateCompatibleDC(NULL);
    HBITMAP drawing = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, NULL, 0);
    if (!dc || !drawing || !pixels)
        return 0;
    HGDIOBJ previous = SelectObject(dc, drawing);
    memset(pixels, white ? 0xFF : 0x00, (size_t)size * size * 4);
    int drawn = DrawIconEx(dc, 0, 0, icon, size, size, 0, NULL, DI_NORMAL);
    GdiFlush();
    FILE *out = drawn ? _wfopen(path, L"wb") : NULL;
    int written = out && fwrite(pixels, 4, (size_t)size * size, out) == (size_t)size * size;
    if (out)
        written = fclose(out) == 0 && written;
    if (!drawn)
        fprintf(stderr, "DrawIconEx failed at %d: %lu\n", size, GetLastError());
    SelectObject(dc, previous);
    DeleteObject(drawing);
    DeleteDC(dc);
    DestroyIcon(icon);
    return written;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc < 4)
        return 2;
    for (int i = 3; i < argc; ++i) {
        const int size = _wtoi(argv[i]);
        for (int white = 0; white <= 1; ++white) {
            wchar_t path[1024];
            swprintf(path, 1024, L"%ls-%d-%d.raw", argv[2], size, white);
            if (!draw(argv[1], size, white, path))
                return 1;
        }
    }
    return 0;
}
