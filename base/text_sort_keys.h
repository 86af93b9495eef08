// Keys that order texts as lstrcmpiW orders them (the thread's locale, the
// letter case ignored), each made once, so that sorting n texts compares
// bytes rather than calling the locale's comparison n log n times: for the
// few hundred rows of a list that took several milliseconds.
#pragma once
#include "scoped.h"

class TextSortKeys {
public:
    // Adds the key of the next text (its index is the count of texts added
    // before); false when the key cannot be made.
    bool Add(const wchar_t* text);
    // Below zero, zero or above zero as text a orders before, with or after text b.
    int Compare(std::size_t a, std::size_t b) const;

private:
    HeapBuffer bytes_;
    SIZE_T used_ = 0;
    HeapArray<SIZE_T> starts_;
};
