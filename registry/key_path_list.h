// The key paths (under HKEY_CLASSES_ROOT) that one action removes, as many as
// it takes, each kept once: a path equal to one already held, or lying inside
// one, adds nothing, and one that holds paths already kept takes their place.
#pragma once
#include "../base/scoped.h"

#include <cstddef>

struct KeyPathList {
    HeapBuffer records;     // count paths of kNameCapacity characters each
    std::size_t count = 0;
    bool failed = false;    // a path could not be kept: the list is not whole
};

// Keeps path (of at most kNameCapacity - 1 characters, or the list fails).
void AddKeyPath(KeyPathList& list, const wchar_t* path);
const wchar_t* KeyPathAt(const KeyPathList& list, std::size_t index);
