#include "classicerror.h"

ClassicError classicErrorFor(const Failure &failure)
{
    switch (failure.kind) {
    case Failure::Kind::NoSuchFile: return {53, QStringLiteral("File not found")};
    case Failure::Kind::NoSuchFolder: return {76, QStringLiteral("Path not found")};
    case Failure::Kind::PermissionDenied: return {70, QStringLiteral("Permission denied")};
    case Failure::Kind::NameTooLong: return {52, QStringLiteral("Bad file name or number")};
    case Failure::Kind::DiskFull: return {61, QStringLiteral("Disk full")};
    case Failure::Kind::Unusable: break;
    case Failure::Kind::NotAPicture: return {481, QStringLiteral("Invalid picture")};
    case Failure::Kind::TooLarge: return {7, QStringLiteral("Out of memory")};
    }
    return {75, QStringLiteral("Path/File access error")};
}
