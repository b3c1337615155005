#pragma once

#include "conversion.h"
#include "operand.h"
#include "outputplan.h"
#include "runfailure.h"
#include "setfiles.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// How every kind that makes a set of files writes them (an icon theme, a
// favicon set, every icon a program ships, a cursor theme): into the folder
// the user gave, each file whole or not at all, never over a picture of the
// run, never through a link the set did not make, nothing outside the
// folder. `within` places the set in a subfolder of it ("linux/" of
// --app-icons), a name the program picks like the others.
struct SetPlace
{
    QString folder;
    QString within;
};

class SetWriter
{
public:
    SetWriter(SetPlace place, QStringList inputs, OwnLink ownLink = {});

    // The same folder and pictures, the set placed further in `subfolder`.
    SetWriter within(const QString &subfolder) const;

    // The path of `name` of the set, as the user's folder leads to it.
    QString pathOf(const QString &name) const;

    // Why `name` of the set may not be written: it is one of the pictures.
    std::optional<RunFailure> refusal(const QString &name) const;
    // The first of `names` that may not be written, checked before any is.
    std::optional<RunFailure> firstRefusal(const QStringList &names) const;

    // Writes `bytes` as `name` of the set for `picture`; the path is added
    // to written().
    std::optional<RunFailure> write(const QString &name, const QByteArray &bytes, const Operand &picture);

    // The paths written, in order.
    const QStringList &written() const { return m_written; }

private:
    SetPlace m_place;
    InputFiles m_inputs; // told once: a set writes many files
    OwnLink m_ownLink;
    QStringList m_written;
};

// What a run of a set kind asks for: the pictures, the folder given, the
// icon's name (--name), the colour under the opaque icons (--background;
// none given: white, and a site manifest's own colours kept), whether
// pure black is transparent too (--key-black), and of a web set, the app's
// full name (--title) and the path its files are served under (--web-path;
// empty: the site's root).
struct SetRequest
{
    QStringList inputs;
    QString folder;
    QString name;
    std::optional<QColor> background;
    bool keyBlack = false;
    QString title;
    QString webPath;
    bool iosAll = false; // --ios-all: iOS' older list of sizes too
    QStringList platforms; // --platforms: those --app-icons writes; empty for all
    QString backgroundPicture; // --background-picture: the layer under Android's adaptive icon
};

// The pictures a set is made of, which none of its files may replace: the
// inputs, and the background picture.
QStringList picturesOf(const SetRequest &request);

// What writing a set came to, whatever its kind: the files written, in
// order; the lines a page links the web's icons with; what of a drawing
// could not be drawn (the files are made all the same); or the failure
// that ended it, `badCombination` when the pictures cannot make the sizes
// whatever they hold. `removed`: an index.theme an earlier version wrote
// into hicolor, removed; `keptAsItIs`: a site's manifest left as it is, as
// it is no JSON object Tervana can read.
struct SetFiles
{
    QStringList written;
    QStringList links;
    std::vector<RunNote> notes;
    QStringList removed;
    QStringList keptAsItIs;
    std::optional<RunFailure> failure;
    bool badCombination = false;
};
