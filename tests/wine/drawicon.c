/* Draws an icon file as Windows' own icon loader does, for the tests:
 * LoadImageW at each size asked for, then DrawIconEx onto a 32-bit drawing
 * filled with black, and onto one filled with white.
 *
 *   drawicon [--cursor] ICON OUT SIZE...
 *
 * OUT-SIZE-0.raw (over black) and OUT-SIZE-1.raw (over white) receive
 * SIZE x SIZE pixels, top row first, each as blue, green, red, unused.
 * With --cursor the file is loaded as a cursor (IMAGE_CURSOR, and once by
 * LoadCursorFromFileW), and for each size a line "SIZE X Y" tells the hot
 * spot GetIconInfo gives.
 * Exits 1 when the icon does not load at a size or cannot be drawn. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Draws the icon loaded at `size` over black or white into `path`. */
static int draw(const wchar_t *iconPath, UINT kind, int size, int white, const wchar_t *path)
{
    HICON icon = (HICON)LoadImageW(NULL, iconPath, kind, size, size, LR_LOADFROMFILE);
    if (!icon) {
        fprintf(stderr, "LoadImageW failed at %d: %lu\n", size, GetLastError());
        return 0;
    }
    ICONINFO about;
    if (kind == IMAGE_CURSOR && white) {
        if (!GetIconInfo(icon, &about) || about.fIcon) {
            fprintf(stderr, "GetIconInfo gives no cursor at %d\n", size);
            return 0;
        }
        printf("%d %lu %lu\n", size, about.xHotspot, about.yHotspot);
        DeleteObject(about.hbmMask);
        if (about.hbmColor)
            DeleteObject(about.hbmColor);
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
    const int cursor = argc > 1 && wcscmp(argv[1], L"--cursor") == 0;
    if (argc < 4 + cursor)
        return 2;
    const wchar_t *file = argv[1 + cursor];
    if (cursor && !LoadCursorFromFileW(file)) {
        fprintf(stderr, "LoadCursorFromFileW failed: %lu\n", GetLastError());
        return 1;
    }
    for (int i = 3 + cursor; i < argc; ++i) {
        const int size = _wtoi(argv[i]);
        for (int white = 0; white <= 1; ++white) {
            wchar_t path[1024];
            swprintf(path, 1024, L"%ls-%d-%d.raw", argv[2 + cursor], size, white);
            if (!draw(file, cursor ? IMAGE_CURSOR : IMAGE_ICON, size, white, path))
                return 1;
        }
    }
    return 0;
}
