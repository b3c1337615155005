// Arrays made with new[] start zeroed, in every library the program uses.
// Qt's GIF reader fills the screen around a first image that does not
// cover it with a colour it looks up in a colour table it has allocated
// but not yet read: what memory held before would show in the picture.
// Zeroed, that colour is black, the same on every run; the reduced GIF
// reader (gifreduce.cpp) gives the same. The programs and the tests link
// this file; a library cannot, since only a program may replace new[].

#include <cstdlib>
#include <new>

void *operator new[](std::size_t size)
{
    if (void *memory = std::calloc(1, size > 0 ? size : 1))
        return memory;
    throw std::bad_alloc();
}

void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    return std::calloc(1, size > 0 ? size : 1);
}

void operator delete[](void *memory) noexcept
{
    std::free(memory);
}

void operator delete[](void *memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete[](void *memory, const std::nothrow_t &) noexcept
{
    std::free(memory);
}
