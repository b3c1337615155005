#pragma once

// The kinds of result the converter makes. Which options each takes, its
// words and how it is made are the rows of outputkinds.h; the kind alone is
// here, for the values that carry it.
enum class OutputKind {
    Icon,           // an icon (.ico): the window's 32 x 32, or --sizes
    Bitmap,         // the window's square as a bitmap (--bmp)
    Cursor,         // a cursor (.cur)
    AnimatedCursor, // an animated cursor (.ani)
    Xcursor,        // a Linux cursor, animated or not
    Icns,           // a macOS icon family (.icns)
    CursorTheme,    // a folder of Linux cursors under every name desktops look them up by
    IconTheme,      // a program's icon laid out in the hicolor theme
    FaviconSet,     // a web site's icons and manifest
    AppIcons,       // every icon a program ships, one folder a platform
    Android,        // an Android app's launcher icons (res/)
    Ios,            // an iOS app's icon (AppIcon.appiconset)
    Msix,           // a Windows package's logos (Assets/)
    Iconset,        // a folder of PNGs as macOS' iconutil takes it (.iconset)
    Listing,        // what icons hold, listed
    Extraction,     // each image of icons, written as a PNG
};

constexpr int outputKindCount = int(OutputKind::Extraction) + 1;

// A set of kinds, one bit each.
constexpr unsigned kindsOf(OutputKind kind)
{
    return 1u << unsigned(kind);
}
template<typename... More>
constexpr unsigned kindsOf(OutputKind kind, More... more)
{
    return kindsOf(kind) | kindsOf(more...);
}
constexpr unsigned everyKind = (1u << outputKindCount) - 1;

// The kinds that point: each image has a hot spot.
constexpr bool isCursor(OutputKind kind)
{
    return kind == OutputKind::Cursor || kind == OutputKind::AnimatedCursor || kind == OutputKind::Xcursor
           || kind == OutputKind::CursorTheme;
}

// The kinds whose files are Linux cursors (Xcursor).
constexpr bool isXcursor(OutputKind kind)
{
    return kind == OutputKind::Xcursor || kind == OutputKind::CursorTheme;
}
