// Under Wine every process that loads winmm.dll (DirectShow's device
// enumerator and filter mapper import it) has the audio compression manager
// open, as it loads, each ACM codec that has no complete entry in the
// manager's cache (HKLM\SOFTWARE\Microsoft\AudioCompressionManager\DriverCache):
// what a codec pack installed since, or a codec that hung or crashed the last
// time it was opened. Which codecs those are, read as data only.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

// The audio codecs of the program's own view (the "msacm." values of
// Drivers32 and the rows of system.ini's [drivers32]) that have no complete
// cache entry: how many, and their names joined by ", " into names (cut to
// its capacity).
std::size_t FindUncachedAudioCodecs(wchar_t* names, std::size_t capacity);

// Whether the audio codec of that alias has a complete cache entry.
bool AudioCodecCached(const wchar_t* name);
