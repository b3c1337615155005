#pragma once

#include "iconfile.h"

// The program-wide state of the icon build: the three icon header records,
// filled by InitIconHeaders before each icon file is written.
namespace Module1 {

extern IconDirRecord IconDir;
extern IconEntryRecord IconEntry;
extern IconHeaderRecord IconHeader;

// Sets every field of the three header records to the values of a 32 x 32,
// 24-bit icon, the zero fields included.
void InitIconHeaders();

} // namespace Module1
