#pragma once

#include <QString>

#include <cstdio>

// The converter's own messages, one line each. Some image libraries print
// complaints of their own straight to the process's stderr (libpng does for
// a damaged PNG), so stderr itself goes to the null device and the
// converter writes to a copy of the real one; sanitizer reports, in builds
// that have them, still go to the real one. Returns the stream to write to.
FILE *keepLibraryMessagesOffStderr();

// Writes `text` and a line break to `stream`: standard output through its
// buffer, emptied before each message, and messages at once.
void printLine(FILE *stream, const QString &text);
