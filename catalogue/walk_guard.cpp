#include "walk_guard.h"

namespace {
WalkGuard g_guard = {};
}  // namespace

void SetWalkGuard(const WalkGuard& guard) { g_guard = guard; }

bool PlatformWalkAllowed(const GUID* category) { return !g_guard.allowed || g_guard.allowed(category); }

bool WhyWalkRefused(const GUID* category, wchar_t* codec, std::size_t codecCapacity, wchar_t* what,
                    std::size_t whatCapacity) {
    return g_guard.why && g_guard.why(category, codec, codecCapacity, what, whatCapacity);
}

void NoteWalkRefused(const GUID* category) {
    if (g_guard.refused) g_guard.refused(category);
}

const GrowingText* WalkedRows(const GUID* category) { return g_guard.walkedRows ? g_guard.walkedRows(category) : nullptr; }
