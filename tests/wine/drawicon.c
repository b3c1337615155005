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
 *
 *   drawicon --ani CURSOR OUT SIZE
 *
 * loads an animated cursor at SIZE, prints "STEPS N" and for each step
 * "STEP I JIFFIES" as GetCursorFrameInfo tells them, and draws each step
 * into OUT-I-0.raw and OUT-I-1.raw.
 * Exits 1 when the icon does not load at a size or cannot be drawn. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Windows' own, undocumented: the frame of an animated cursor's step, how
 * long it shows (in jiffies) and how many steps there are. */
typedef HCURSOR(WINAPI *FrameInfo)(HCURSOR, DWORD, DWORD, DWORD *, DWORD *);

/* Prints the hot spot of the cursor loaded at `size`. */
static int printHotSpot(HICON icon, int size)
{
    ICONINFO about;
    if (!GetIconInfo(icon, &about) || about.fIcon) {
        fprintf(stderr, "GetIconInfo gives no cursor at %d\n", size);
        return 0;
    }
    printf("%d %lu %lu\n", size, about.xHotspot, about.yHotspot);
    DeleteObject(about.hbmMask);
    if (about.hbmColor)
        DeleteObject(about.hbmColor);
    return 1;
}

/* Draws step `step` of the icon over black or white into `path`. */
static int drawStep(HICON icon, int size, UINT step, int white, const wchar_t *path)
{
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
    int drawn = DrawIconEx(dc, 0, 0, icon, size, size, step, NULL, DI_NORMAL);
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
    return written;
}

static HICON load(const wchar_t *path, UINT kind, int size)
{
    HICON icon = (HICON)LoadImageW(NULL, path, kind, size, size, LR_LOADFROMFILE);
    if (!icon)
        fprintf(stderr, "LoadImageW failed at %d: %lu\n", size, GetLastError());
    return icon;
}

/* Each step of an animated cursor: its time and its drawing. */
static int drawSteps(const wchar_t *path, const wchar_t *out, int size)
{
    FrameInfo frameInfo = (FrameInfo)(void (*)(void))GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetCursorFrameInfo");
    HICON cursor = load(path, IMAGE_CURSOR, size);
    if (!frameInfo || !cursor)
        return 0;
    DWORD jiffies = 0;
    DWORD steps = 0;
    if (!frameInfo(cursor, 0, 0, &jiffies, &steps))
        return 0;
    printf("STEPS %lu\n", steps);
    for (DWORD step = 0; step < steps; ++step) {
        DWORD count = 0;
        if (!frameInfo(cursor, 0, step, &jiffies, &count))
            return 0;
        printf("STEP %lu %lu\n", step, jiffies);
        for (int white = 0; white <= 1; ++white) {
            wchar_t drawing[1024];
            swprintf(drawing, 1024, L"%ls-%lu-%d.raw", out, step, white);
            if (!drawStep(cursor, size, step, white, drawing))
                return 0;
        }
    }
    DestroyIcon(cursor);
    return 1;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc == 5 && wcscmp(argv[1], L"--ani") == 0)
        return drawSteps(argv[2], argv[3], _wtoi(argv[4])) ? 0 : 1;
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
        HICON icon = load(file, cursor ? IMAGE_CURSOR : IMAGE_ICON, size);
        if (!icon || (cursor && !printHotSpot(icon, size)))
            return 1;
        for (int white = 0; white <= 1; ++white) {
            wchar_t path[1024];
            swprintf(path, 1024, L"%ls-%d-%d.raw", argv[2 + cursor], size, white);
            if (!drawStep(icon, size, 0, white, path))
                return 1;
        }
        DestroyIcon(icon);
    }
    return 0;
}
