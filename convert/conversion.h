#pragma once

#include "square.h"

#include <QByteArray>
#include <QString>

#include <vector>

// What each picture is made into.
struct ConversionOptions
{
    SquareOutput output = SquareOutput::ColourIcon;
    // With --sizes: one icon of these sizes (largest first) instead.
    std::vector<int> sizes;
    bool keyBlack = false;
};

// The result's file name ending: ".bmp" for a bitmap, else ".ico".
QString resultExtension(const ConversionOptions &options);

// One picture made into the bytes of its result, or the line that says why
// it cannot be.
struct Converted
{
    QByteArray bytes;
    QString failure;
};
Converted convertPicture(const ConversionOptions &options, const QString &input);
