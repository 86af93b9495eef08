// The guard of the platform's walks of categories in this process: the
// device enumerator's and the filter mapper's load codecs (compressors of
// every kind, and under Wine every audio codec the audio compression manager
// has not cached). The program installs the guard that has a child make the
// same walk first; without one every walk is allowed (a child's own process).
#pragma once
#include "../base/growing_text.h"
#include "../base/win_headers.h"

#include <cstddef>

struct WalkGuard {
    // Whether this process may make the walk of category; null: the filter
    // mapper's walk of every category.
    bool (*allowed)(const GUID* category);
    // Why the walk of category is refused: the codec at fault (may be empty)
    // and what it did; false when it is not.
    bool (*why)(const GUID* category, wchar_t* codec, std::size_t codecCapacity, wchar_t* what,
                std::size_t whatCapacity);
    // The main list's walk of category was refused (its list stays empty,
    // or shows the category's Instance entries only).
    void (*refused)(const GUID* category);
    // The rows the child walked for a compressor category, each a moniker's
    // display name and its friendly name, both terminated; null where it has none.
    const GrowingText* (*walkedRows)(const GUID* category);
};

void SetWalkGuard(const WalkGuard& guard);

bool PlatformWalkAllowed(const GUID* category);
bool WhyWalkRefused(const GUID* category, wchar_t* codec, std::size_t codecCapacity, wchar_t* what,
                    std::size_t whatCapacity);
void NoteWalkRefused(const GUID* category);
const GrowingText* WalkedRows(const GUID* category);
