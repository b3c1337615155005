#pragma once

#include "conversion.h"
#include "setwriter.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// A web site's icons, made from one picture, or a picture and hand-drawn
// small sizes, as --sizes packs them into one icon: each size from its best
// source (a drawing drawn afresh, a picture exactly that size as it is, else
// the smallest larger picture shrunk), fitted as into the window's square.

// Writes the set of `request.inputs` into `request.folder` (made when missing, as a set's
// files are written: SetWriter): favicon.ico (16,
// 32 and 48, as --sizes 48,32,16 makes it), icon.svg when the source is a
// drawing, icon-192.png and icon-512.png with transparent bands,
// apple-touch-icon.png (180) and icon-maskable-512.png opaque over
// `background` (white when none is given), and site.webmanifest naming the
// app (`request.name`, else the first picture's name), where it starts and
// how it shows, and the PNGs, merged into the site's own (its "icons"
// replaced, its colours when `background` is given, every other field
// kept). Each file is written
// whole or not at all; the first that cannot be ends the set.
SetFiles writeFaviconSet(const SetRequest &request);
// The same of pictures read already, once, with detail for the largest
// size; `inputs` as they were given, which failures name.
// The app a web set is for: its short name and full name, the colour
// behind its opaque images and splash screen, whether pure black is made
// transparent, and the path the set is served under.
struct WebApp
{
    QString name; // the first picture's, without its ending, when empty
    QString title; // the name's when empty
    std::optional<QColor> background;
    bool keyBlack = false;
    QString path; // "/" when empty; ends with "/" either way
};
// The web app a set request asks for.
WebApp webAppOf(const SetRequest &request);
SetFiles writeFaviconSetOf(const std::vector<Picture> &pictures, const QStringList &inputs, SetWriter set, WebApp app);
