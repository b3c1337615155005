#include "gdi.h"

#include <unordered_map>

namespace gdi {
namespace {

enum class Kind { Surface, MemoryDC, Bitmap, Brush };

struct Object
{
    explicit Object(Kind k)
        : kind(k)
    {
    }

    Kind kind;
    const Surface *surface = nullptr; // Surface
    HBITMAP selected = 0;              // MemoryDC: the bitmap selected into it
    HDC selectedInto = 0;              // Bitmap: the context holding it
    QImage pixels;                     // Bitmap
    Colour colour = 0;                 // Brush
};

// Every new memory context starts with this one-pixel stock bitmap selected,
// as the real library does; it is never created or deleted.
constexpr HGDIOBJ stockBitmap = 1;

struct Table
{
    std::unordered_map<quintptr, Object> objects;
    quintptr next = 0x100;
    int live = 0;
    Call failing = Call::None;
    int callsUntilFailure = 0;

    quintptr add(Object object, bool counted)
    {
        const quintptr handle = next++;
        objects.emplace(handle, std::move(object));
        if (counted)
            ++live;
        return handle;
    }

    Object *find(quintptr handle, Kind kind)
    {
        const auto it = objects.find(handle);
        return it != objects.end() && it->second.kind == kind ? &it->second : nullptr;
    }

    void remove(quintptr handle)
    {
        objects.erase(handle);
        --live;
    }

    bool takeFailure(Call call)
    {
        if (failing != call || --callsUntilFailure > 0)
            return false;
        failing = Call::None;
        return true;
    }
};

Table &table()
{
    static Table instance;
    return instance;
}

bool isContext(HDC dc)
{
    return table().find(dc, Kind::MemoryDC) || table().find(dc, Kind::Surface);
}

} // namespace

HDC registerSurface(const Surface *surface)
{
    Object object(Kind::Surface);
    object.surface = surface;
    return table().add(std::move(object), false);
}

void unregisterSurface(HDC dc)
{
    table().objects.erase(dc);
}

HDC CreateCompatibleDC(HDC reference)
{
    if (reference != 0 && !isContext(reference))
        return 0;
    return table().add(Object(Kind::MemoryDC), true);
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO &info, quint32 usage, void **bits, quintptr section,
                         quint32 offset)
{
    Q_UNUSED(section);
    Q_UNUSED(offset);
    const BITMAPINFOHEADER &header = info.bmiHeader;
    if (table().takeFailure(Call::CreateDIBSection) || (dc != 0 && !isContext(dc)))
        return 0;
    if (header.biSize != 40 || header.biWidth <= 0 || header.biHeight == 0 || header.biPlanes != 1
        || header.biBitCount != 24 || header.biCompression != BI_RGB || usage != DIB_RGB_COLORS)
        return 0;
    Object object(Kind::Bitmap);
    object.pixels = QImage(header.biWidth, qAbs(header.biHeight), QImage::Format_RGB32);
    if (object.pixels.isNull())
        return 0;
    object.pixels.fill(Qt::black); // a new section's bits are zero
    const HBITMAP handle = table().add(std::move(object), true);
    if (bits)
        *bits = table().find(handle, Kind::Bitmap)->pixels.bits();
    return handle;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    Object *context = table().find(dc, Kind::MemoryDC);
    Object *bitmap = table().find(object, Kind::Bitmap);
    if (table().takeFailure(Call::SelectObject) || !context)
        return 0;
    if (table().find(object, Kind::Brush))
        return stockBitmap; // brushes are accepted; nothing here paints with them
    if (!bitmap || (bitmap->selectedInto != 0 && bitmap->selectedInto != dc))
        return 0;
    const HGDIOBJ previous = context->selected ? context->selected : stockBitmap;
    if (Object *old = table().find(context->selected, Kind::Bitmap))
        old->selectedInto = 0;
    context->selected = object;
    bitmap->selectedInto = dc;
    return previous;
}

bool BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            quint32 rasterOperation)
{
    if (table().takeFailure(Call::BitBlt) || rasterOperation != SRCCOPY)
        return false;
    Object *target = table().find(destination, Kind::MemoryDC);
    Object *bitmap = target ? table().find(target->selected, Kind::Bitmap) : nullptr;
    const Object *from = table().find(source, Kind::Surface);
    if (!bitmap || !from)
        return false;
    for (int dy = 0; dy < height; ++dy) {
        for (int dx = 0; dx < width; ++dx) {
            const QPoint to(x + dx, y + dy);
            if (!bitmap->pixels.rect().contains(to))
                continue;
            const Colour c = from->surface->surfacePixel(sourceX + dx, sourceY + dy);
            if (c != Colours::invalid)
                bitmap->pixels.setPixel(to, toQRgb(c));
        }
    }
    return true;
}

Colour GetPixel(HDC dc, int x, int y)
{
    if (const Object *surface = table().find(dc, Kind::Surface))
        return surface->surface->surfacePixel(x, y);
    const Object *context = table().find(dc, Kind::MemoryDC);
    const Object *bitmap = context ? table().find(context->selected, Kind::Bitmap) : nullptr;
    if (!bitmap || !bitmap->pixels.rect().contains(x, y))
        return Colours::invalid;
    return fromQRgb(bitmap->pixels.pixel(x, y));
}

HBRUSH CreateSolidBrush(Colour colour)
{
    Object object(Kind::Brush);
    object.colour = colour;
    return table().add(std::move(object), true);
}

bool DeleteDC(HDC dc)
{
    Object *context = table().find(dc, Kind::MemoryDC);
    if (!context)
        return false;
    if (Object *bitmap = table().find(context->selected, Kind::Bitmap))
        bitmap->selectedInto = 0;
    table().remove(dc);
    return true;
}

bool DeleteObject(HGDIOBJ object)
{
    if (Object *bitmap = table().find(object, Kind::Bitmap)) {
        if (bitmap->selectedInto != 0)
            return false; // still selected into a context: the real library refuses too
        table().remove(object);
        return true;
    }
    if (table().find(object, Kind::Brush)) {
        table().remove(object);
        return true;
    }
    return false;
}

int liveObjectCount()
{
    return table().live;
}

void failCall(Call call, int nth)
{
    table().failing = call;
    table().callsUntilFailure = nth;
}

} // namespace gdi
