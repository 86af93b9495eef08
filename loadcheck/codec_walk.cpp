#include "codec_walk.h"

#include "../base/bounded_text.h"
#include "../catalogue/key_watch.h"
#include "../child/child_lines.h"
#include "../child/child_process.h"
#include "../drivercodecs/audio_codec_cache.h"
#include "codec_kinds.h"
#include "load_steps.h"

#include <cwchar>

namespace {

// What the walk's child says, in the order it says it.
class WalkReader : public ChildLineReader {
public:
    WalkReader(ChildProcess*& child, GrowingText& rows) : child_(child), rows_(rows) {}
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
            manager = false;
            walking = false;
            // Each step has its own time.
            if (child_) child_->RestartClock(kWalkStepSeconds * 1000);
            return;
        case L'E':
        case L'O': return;
        case L'M':
            codec[0] = L'\0';
            this->step = StepDriverOpen;
            manager = true;
            if (child_) child_->RestartClock(kWalkSeconds * 1000);
            return;
        case L'W':
            codec[0] = L'\0';
            manager = false;
            walking = true;
            if (child_) child_->RestartClock(kWalkSeconds * 1000);
            return;
        case L'N': {
            wchar_t displayName[kChildLineCapacity], name[kChildLineCapacity];
            if (!walking || !NextLineField(cursor, displayName, kChildLineCapacity) ||
                !NextLineField(cursor, name, kChildLineCapacity)) {
                return Flood();
            }
            AppendChars(rows_, displayName, std::wcslen(displayName) + 1);
            AppendChars(rows_, name, std::wcslen(name) + 1);
            return;
        }
        case L'D': done = walking; return;
        default: return Flood();
        }
    }
    // The child's end is what counts: its cache entries are written as it ends.
    bool Complete() const override { return false; }

    wchar_t codec[kDriverNameCapacity] = {};
    LoadStep step = StepLoadLibrary;
    bool manager = false;  // the audio compression manager loads, and opens the codecs it has not cached
    bool walking = false;
    bool done = false;
    bool flooded = false;

private:
    void Flood() {
        flooded = true;
        if (child_) child_->End(ChildFlooded);
    }
    ChildProcess*& child_;
    GrowingText& rows_;
};

// A verdict kept with what tells that it may no longer hold.
struct KeptVerdict {
    bool made = false;
    ULONG number = 0;
    WalkVerdict verdict;
    KeyWatch drivers;
    KeyWatch descriptions;
    WIN32_FILE_ATTRIBUTE_DATA systemIni = {};
    ChangeNotification windowsFolder;  // system.ini's folder: its size and time are compared only once it changed
};

KeptVerdict g_kept[kWalkKindCount];

constexpr DWORD kFileChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;

// Reads system.ini's size and time, and watches its folder from then on.
void ReadSystemIniFacts(KeptVerdict& kept, WIN32_FILE_ATTRIBUTE_DATA* facts) {
    *facts = {};
    wchar_t path[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    kept.windowsFolder.Open(path, kFileChanges);
    AppendText(path, MAX_PATH, L"\\system.ini");
    GetFileAttributesExW(path, GetFileExInfoStandard, facts);
}

bool StillHolds(KeptVerdict& kept) {
    if (!kept.made) return false;
    // One wait on all three: each wait is a round trip to the system.
    const HANDLE changes[] = {kept.drivers.ArmedEvent(), kept.descriptions.ArmedEvent(), kept.windowsFolder.Handle()};
    if (!changes[0] || !changes[1]) return false;
    if (changes[2] && WaitForMultipleObjects(3, changes, FALSE, 0) == WAIT_TIMEOUT) return true;
    if (kept.drivers.Fired() || kept.descriptions.Fired()) return false;
    // Something in the folder changed: system.ini itself, or another file.
    WIN32_FILE_ATTRIBUTE_DATA now;
    ReadSystemIniFacts(kept, &now);
    return now.nFileSizeLow == kept.systemIni.nFileSizeLow && now.nFileSizeHigh == kept.systemIni.nFileSizeHigh &&
           CompareFileTime(&now.ftLastWriteTime, &kept.systemIni.ftLastWriteTime) == 0;
}

void Walk(WalkKind kind, WalkVerdict& verdict) {
    verdict.sound = false;
    verdict.hung = false;
    verdict.codec[0] = L'\0';
    verdict.what[0] = L'\0';
    TruncateText(verdict.rows, 0);
    verdict.rows.failed = false;
    ChildProcess* running = nullptr;
    WalkReader reader(running, verdict.rows);
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
    // child's walk ends, and every step of it has its time limit. Meanwhile
    // its windows are drawn and answer what is sent to them; the user's input
    // and posted commands wait for the walk's end, so that no second fill
    // starts inside this one.
    while ((state = child.Poll()) == ChildRunning) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_PAINT | QS_SENDMESSAGE);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE)) {
            DispatchMessageW(&message);
        }
    }
    if (state == ChildCrashed && child.ExitCode() == 0 && reader.done && !verdict.rows.failed) {
        verdict.sound = true;
        return;
    }
    CopyText(verdict.codec, kDriverNameCapacity, reader.walking ? L"" : reader.codec);
    // Every codec passed alone: the failure comes from a codec the audio
    // compression manager opened again; the one it has no cache entry for
    // (the child ended before it wrote one) is named.
    if ((reader.walking || reader.manager) && kind == WalkAudio) {
        wchar_t uncached[kNameCapacity];
        if (FindUncachedAudioCodecs(uncached, kNameCapacity) != 0) {
            for (wchar_t* at = uncached; *at; ++at) {
                if (*at == L',') *at = L'\0';
            }
            CopyText(verdict.codec, kDriverNameCapacity, uncached);
        }
    }
    wchar_t phrase[kShortTextCapacity];
    if (reader.walking) {
        CopyText(phrase, kShortTextCapacity, L"при обходе списка");
    } else {
        NameStepPhrase(reader.step, kind == WalkAudio ? LoadKindAcm : LoadKindVfw, phrase, kShortTextCapacity);
    }
    if (state == ChildTimedOut) {
        verdict.hung = true;
        FormatText(verdict.what, kShortTextCapacity, L"не ответил за %lu секунд %ls",
                   reader.walking || reader.manager ? kWalkSeconds : kWalkStepSeconds, phrase);
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
    // The codecs' keys and file, watched from after the child's end. The
    // audio compression manager's cache is not: every process that loads the
    // manager writes it, and a codec it caches has passed.
    kept.drivers.Arm(HKEY_LOCAL_MACHINE, kDrivers32Path);
    kept.descriptions.Arm(HKEY_LOCAL_MACHINE, kDriverDescriptionsPath);
    ReadSystemIniFacts(kept, &kept.systemIni);
    return kept.verdict;
}

const GrowingText* CodecWalkRows(const GUID* category) {
    if (!category) return nullptr;
    const WalkKind kind = *category == CLSID_AudioCompressorCategory   ? WalkAudio
                          : *category == CLSID_VideoCompressorCategory ? WalkVideo
                                                                       : kWalkKindCount;
    if (kind == kWalkKindCount) return nullptr;
    const WalkVerdict& verdict = CodecWalkVerdict(kind);
    return verdict.sound ? &verdict.rows : nullptr;
}

ULONG CodecWalkVerdictNumber(WalkKind kind) { return g_kept[kind].number; }

bool CodecWalkAllowed(const GUID* category) {
    if (category && *category == CLSID_AudioCompressorCategory) return CodecWalkVerdict(WalkAudio).sound;
    if (category && *category == CLSID_VideoCompressorCategory) return CodecWalkVerdict(WalkVideo).sound;
    // The filter mapper's walk goes through every category, the compressors'
    // too: their two verdicts say all (a sound audio walk makes the manager safe).
    if (!category) return CodecWalkVerdict(WalkAudio).sound && CodecWalkVerdict(WalkVideo).sound;
    // Any other walk loads the audio compression manager with the enumerator:
    // harmless while every audio codec has its cache entry.
    wchar_t names[kShortTextCapacity];
    return (StillHolds(g_kept[WalkAudio]) && g_kept[WalkAudio].verdict.sound) ||
           FindUncachedAudioCodecs(names, kShortTextCapacity) == 0 || CodecWalkVerdict(WalkAudio).sound;
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
    const wchar_t* codec = verdict.codec[0] ? verdict.codec : kind == WalkAudio ? L"ACM" : L"Video for Windows";
    FormatText(text, capacity, L"Кодек %ls %ls: список «%ls» не заполнен, чтобы программа %ls", codec, verdict.what,
               list, verdict.hung ? L"не зависла" : L"не закрылась");
}
