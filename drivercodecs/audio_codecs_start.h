// Under Wine every process that loads winmm.dll (DirectShow's device
// enumerator imports it) has the audio compression manager open, as it
// loads, each ACM codec that has no entry in the manager's cache
// (HKLM\SOFTWARE\Microsoft\AudioCompressionManager\DriverCache): what a codec
// pack installed since the last enumeration leaves. One that hangs there
// would hang the program at its first list fill, before its window shows.
// So while such codecs are registered, winmm.dll and msacm32.dll are loaded
// first in a child process (a copy of the program started with
// "/vantrel-audio-start"), with a time limit; only if that child ends do they
// load in the program.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

extern const wchar_t kAudioStartOption[];  // "/vantrel-audio-start"

// The audio codecs of the program's own view (the "msacm." values of
// Drivers32 and the rows of system.ini's [drivers32]) that have no cache
// entry: how many, and their names joined by ", " into names (cut to its
// capacity). Read as data only.
std::size_t FindUncachedAudioCodecs(wchar_t* names, std::size_t capacity);

enum AudioStartResult {
    AudioStartEnded,     // the child loaded both DLLs and ended
    AudioStartFailed,    // the two would not load (nothing hung or crashed the child)
    AudioStartHung,      // it was ended at the time limit
    AudioStartCrashed,   // it ended without saying it had loaded them
    AudioStartNotRun,    // it could not be started
};

// The time the child has: the load check's own for opening one codec.
constexpr DWORD kAudioStartSeconds = 5;

// Loads winmm.dll and msacm32.dll in the child and waits for it, at most
// kAudioStartSeconds; a crashed child's exit code goes to *code.
AudioStartResult CheckAudioCodecsStart(DWORD* code);

// Whether the process was started as that child.
bool IsAudioStartChild();

// The child's work: loads the two DLLs, says so and ends the process.
int RunAudioStartChild();
