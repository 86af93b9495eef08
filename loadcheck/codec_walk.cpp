#include "codec_walk.h"

#include "../base/bounded_text.h"
#include "../catalogue/key_watch.h"
#include "../child/child_lines.h"
#include "../child/child_process.h"
#include "../drivercodecs/audio_codec_cache.h"
#include "codec_kinds.h"
#include "load_steps.h"

namespace {

// What the walk's child says, in the order it says it.
class WalkReader : public ChildLineReader {
public:
    explicit WalkReader(ChildProcess*& child) : child_(child) {}
    void TakeLine(wchar_t* line) override {
        const wchar_t* cursor = line + 1;
        unsigned long step = 0;
        switch (line[0]) {
        case L'S':
            if (!NextLineField(cursor, codec, kDriverNameCapacity) || !NextHexField(cursor, &step) ||
                step >= kLoadStepCount) {
                return Flood();
            }
            this->step = static_cast<LoadStep>(step);
            walking = false;
            // Each step has its own time.
            if (child_) child_->RestartClock(kWalkStepSeconds * 1000);
            return;
        case L'E':
        case L'O': return;
        case L'W':
            codec[0] = L'\0';
            walking = true;
            if (child_) child_->RestartClock(kWalkSeconds * 1000);
            return;
        case L'D': done = walking; return;
        default: return Flood();
        }
    }
    // The child's end is what counts: its cache entries are written as it ends.
    bool Complete() const override { return false; }

    wchar_t codec[kDriverNameCapacity] = {};
    LoadStep step = StepLoadLibrary;
    bool walking = false;
    bool done = false;
    bool flooded = false;

private:
    void Flood() {
        flooded = true;
        if (child_) child_->End(ChildFlooded);
    }
    ChildProcess*& child_;
};

// A verdict kept with what tells that it may no longer hold.
struct KeptVerdict {
    bool made = false;
    ULONG number = 0;
    WalkVerdict verdict;
    KeyWatch drivers;
    KeyWatch descriptions;
    KeyWatch cache;
    WIN32_FILE_ATTRIBUTE_DATA systemIni = {};
};

KeptVerdict g_kept[kWalkKindCount];

const wchar_t kDriverCachePath[] = L"SOFTWARE\\Microsoft\\AudioCompressionManager\\DriverCache";

void ReadSystemIniFacts(WIN32_FILE_ATTRIBUTE_DATA* facts) {
    *facts = {};
    wchar_t path[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    AppendText(path, MAX_PATH, L"\\system.ini");
    GetFileAttributesExW(path, GetFileExInfoStandard, facts);
}

bool StillHolds(KeptVerdict& kept) {
    if (!kept.made || kept.drivers.Fired() || kept.descriptions.Fired() || kept.cache.Fired()) return false;
    WIN32_FILE_ATTRIBUTE_DATA now;
    ReadSystemIniFacts(&now);
    return now.nFileSizeLow == kept.systemIni.nFileSizeLow && now.nFileSizeHigh == kept.systemIni.nFileSizeHigh &&
           CompareFileTime(&now.ftLastWriteTime, &kept.systemIni.ftLastWriteTime) == 0;
}

void Walk(WalkKind kind, WalkVerdict& verdict) {
    verdict = WalkVerdict();
    ChildProcess* running = nullptr;
    WalkReader reader(running);
    ChildProcess child(reader);
    const ChildLimits limits = {kCodecWalkLineChars, 4 * 1024 * 1024, kWalkStepSeconds * 1000};
    wchar_t arguments[32];
    FormatText(arguments, 32, L"%ls %lc", kCodecWalkOption, kind == WalkAudio ? L'a' : L'v');
    if (!child.Start(arguments, limits)) {
        CopyText(verdict.what, kShortTextCapacity, L"не удалось запустить проверку");
        return;
    }
    running = &child;
    ChildState state;
    // The program waits: nothing of its own may load these codecs before the
    // child's walk ends, and every step of it has its time limit.
    while ((state = child.Poll()) == ChildRunning) child.WaitForEnd(10);
    if (state == ChildCrashed && child.ExitCode() == 0 && reader.done) {
        verdict.sound = true;
        return;
    }
    CopyText(verdict.codec, kDriverNameCapacity, reader.walking ? L"" : reader.codec);
    wchar_t phrase[kShortTextCapacity];
    if (reader.walking) {
        CopyText(phrase, kShortTextCapacity, L"при обходе списка");
    } else {
        NameStepPhrase(reader.step, kind == WalkAudio ? LoadKindAcm : LoadKindVfw, phrase, kShortTextCapacity);
    }
    if (state == ChildTimedOut) {
        verdict.hung = true;
        FormatText(verdict.what, kShortTextCapacity, L"не ответил за %lu секунд %ls",
                   reader.walking ? kWalkSeconds : kWalkStepSeconds, phrase);
    } else if (state == ChildFlooded || reader.flooded) {
        FormatText(verdict.what, kShortTextCapacity, L"вмешался в работу проверки %ls", phrase);
    } else {
        FormatText(verdict.what, kShortTextCapacity, L"аварийно завершил работу %ls (0x%08lX)", phrase,
                   static_cast<unsigned long>(child.ExitCode()));
    }
}

}  // namespace

const GUID& WalkCategory(WalkKind kind) {
    return kind == WalkAudio ? CLSID_AudioCompressorCategory : CLSID_VideoCompressorCategory;
}

const WalkVerdict& CodecWalkVerdict(WalkKind kind) {
    KeptVerdict& kept = g_kept[kind];
    if (StillHolds(kept)) return kept.verdict;
    Walk(kind, kept.verdict);
    kept.made = true;
    ++kept.number;
    // Watched from after the child's end: the cache entries it wrote are no change.
    kept.drivers.Arm(HKEY_LOCAL_MACHINE, kDrivers32Path);
    kept.descriptions.Arm(HKEY_LOCAL_MACHINE, kDriverDescriptionsPath);
    kept.cache.Arm(HKEY_LOCAL_MACHINE, kDriverCachePath);
    ReadSystemIniFacts(&kept.systemIni);
    return kept.verdict;
}

ULONG CodecWalkVerdictNumber(WalkKind kind) { return g_kept[kind].number; }

bool CodecWalkAllowed(const GUID* category) {
    if (category && *category == CLSID_AudioCompressorCategory) return CodecWalkVerdict(WalkAudio).sound;
    if (category && *category == CLSID_VideoCompressorCategory) return CodecWalkVerdict(WalkVideo).sound;
    // Any other walk loads the audio compression manager with the enumerator:
    // harmless while every audio codec has its cache entry.
    wchar_t names[kShortTextCapacity];
    const bool managerSafe = (StillHolds(g_kept[WalkAudio]) && g_kept[WalkAudio].verdict.sound) ||
                             FindUncachedAudioCodecs(names, kShortTextCapacity) == 0 ||
                             CodecWalkVerdict(WalkAudio).sound;
    // The filter mapper's walk goes through every category, the compressors' too.
    if (!category) return managerSafe && CodecWalkVerdict(WalkAudio).sound && CodecWalkVerdict(WalkVideo).sound;
    return managerSafe;
}

bool RefusingWalk(const GUID* category, WalkKind* kind) {
    for (int i = 0; i < kWalkKindCount; ++i) {
        const KeptVerdict& kept = g_kept[i];
        if (!kept.made || kept.verdict.sound) continue;
        const bool ofCategory = !category || *category == WalkCategory(static_cast<WalkKind>(i)) ||
                                (i == WalkAudio && *category != CLSID_VideoCompressorCategory);
        if (!ofCategory) continue;
        *kind = static_cast<WalkKind>(i);
        return true;
    }
    return false;
}

void DescribeRefusedWalk(WalkKind kind, wchar_t* text, std::size_t capacity) {
    const WalkVerdict& verdict = g_kept[kind].verdict;
    const wchar_t* list = kind == WalkAudio ? L"Audio Compressors" : L"Video Compressors";
    const wchar_t* because = verdict.hung ? L"не зависла" : L"не закрылась";
    if (verdict.codec[0]) {
        FormatText(text, capacity, L"Кодек %ls %ls: список «%ls» не заполнен, чтобы программа %ls", verdict.codec,
                   verdict.what, list, because);
    } else {
        FormatText(text, capacity, L"Список «%ls» %ls: он не заполнен, чтобы программа %ls", list, verdict.what,
                   because);
    }
}
