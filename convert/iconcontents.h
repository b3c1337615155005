#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// Looking inside icon and cursor files: what each holds (--list), and each
// of its images written out as a PNG (--extract).

// What one icon was found to hold: the lines that list it, and the line that
// says why it is damaged or cannot be read (empty when it is whole).
struct IconReport
{
    QStringList lines;
    QString failure;
};
IconReport listIconFile(const QString &path);

// Writes each image of the icon at `path` into `folder` as a PNG with alpha,
// named after the icon, the image's size and its bits per pixel
// ("logo-32x32-32bit.png"; a second image of one name in the run, which
// `taken` keeps, gains "-2"). `lines` name the files written; a damaged
// icon gives none, and the line that says why.
IconReport extractIcon(const QString &path, const QString &folder, QSet<QString> &taken);
