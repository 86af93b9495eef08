// The device enumerator's walk of a compressor category opens every codec of
// it in the process that makes it; and under Wine, loading the enumerator or
// the filter mapper at all loads the audio compression manager, which opens
// every audio codec it has no complete cache entry for. So the program makes
// such a walk only after a child made the same walk whole: each codec of the
// kind opened alone and named first, then the platform's walk. The child's
// verdict is kept until the keys and the file it read change.
#pragma once
#include "../base/app_state.h"
#include "../base/growing_text.h"
#include "../drivercodecs/driver_codecs.h"

extern const wchar_t kCodecWalkOption[];  // "/vantrel-walk"

enum WalkKind { WalkAudio, WalkVideo, kWalkKindCount };

// The longest line the walk's child writes, its line feed included.
constexpr std::size_t kCodecWalkLineChars = 1024;

// Limits of the child: each step of a codec, and the platform's walk.
constexpr DWORD kWalkStepSeconds = 5;
constexpr DWORD kWalkSeconds = 10;

// The category of the kind: audio or video compressors.
const GUID& WalkCategory(WalkKind kind);

struct WalkVerdict {
    bool sound = false;                        // the child's walk ended cleanly
    wchar_t codec[kDriverNameCapacity] = {};   // the codec it was at when it failed; empty: the walk itself
    // "не ответил за 5 секунд при открытии", "аварийно завершил работу при открытии (0xC0000005)",
    // "не удалось запустить проверку".
    wchar_t what[kShortTextCapacity] = {};
    bool hung = false;                         // it was ended at its time limit
    // The rows its walk listed: each a moniker's display name and its friendly name, terminated.
    GrowingText rows;
};

// The verdict for the kind, the child's walk made first where none is kept
// or what it read has changed since.
const WalkVerdict& CodecWalkVerdict(WalkKind kind);

// The rows the child walked for a compressor category (null: another
// category, or no sound verdict), the verdict made first where none is kept.
const GrowingText* CodecWalkRows(const GUID* category);

// Counts the verdicts of the kind made so far: a new number, a new verdict.
ULONG CodecWalkVerdictNumber(WalkKind kind);

// Whether this process may make the platform's walk of category (null: the
// filter mapper's walk of every category; another category: the enumerator
// loaded at all). Installed as the catalogue's guard at start.
bool CodecWalkAllowed(const GUID* category);

// The kind whose verdict refuses the walk of category (null: every
// category); false when none does (or none was asked for yet).
bool RefusingWalk(const GUID* category, WalkKind* kind);

// "Кодек msacm.x не ответил за 5 секунд при открытии: список «Audio
// Compressors» не заполнен, чтобы программа не зависла".
void DescribeRefusedWalk(WalkKind kind, wchar_t* text, std::size_t capacity);

// The child's side.
bool IsCodecWalkChild(WalkKind* kind);
int RunCodecWalkChild(WalkKind kind);
