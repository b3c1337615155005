#pragma once

#include "operand.h"
#include "runfailure.h"
#include "setfiles.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

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
    QStringList m_inputs;
    OwnLink m_ownLink;
    QStringList m_written;
};
