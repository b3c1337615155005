#include "module1.h"

namespace Module1 {

IconDirRecord IconDir{};
IconEntryRecord IconEntry{};
IconHeaderRecord IconHeader{};

void InitIconHeaders()
{
    IconDir = iconDirValues();
    IconEntry = iconEntryValues();
    IconHeader = iconHeaderValues();
}

} // namespace Module1
