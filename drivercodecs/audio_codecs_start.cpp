#include "audio_codecs_start.h"

#include "../base/bounded_text.h"
#include "../base/scoped.h"
#include "../child/child_lines.h"
#include "../child/child_process.h"
#include "../child/child_side.h"
#include "driver_codecs.h"


const wchar_t kAudioStartOption[] = L"/vantrel-audio-start";

namespace {

const wchar_t kDriverCachePath[] = L"SOFTWARE\\Microsoft\\AudioCompressionManager\\DriverCache";

// Whether the cache entry holds what the manager reads instead of opening the
// codec. Wine's manager makes the entry's key before it opens a codec and
// writes its values only once the codec answered: a codec that hung or
// crashed in the open (in the child of this check, say) leaves an empty key,
// and the manager opens that codec again in the next process.
bool CacheEntryComplete(HKEY entry) {
    for (const wchar_t* value : {L"fdwSupport", L"cFormatTags", L"cFilterTags"}) {
        if (RegQueryValueExW(entry, value, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return false;
    }
    return true;
}

// Adds the name to the list when it is an audio codec's without a complete cache entry.
void NoteIfUncached(HKEY cache, const wchar_t* name, std::size_t* count, wchar_t* names, std::size_t capacity) {
    DriverKind kind;
    if (!DriverKindOfName(name, &kind) || kind != DriverAudio) return;
    RegKey entry;
    if (cache && RegOpenKeyExW(cache, name, 0, KEY_QUERY_VALUE, entry.Put()) == ERROR_SUCCESS &&
        CacheEntryComplete(entry.Get())) {
        return;
    }
    if (*count > 0) AppendText(names, capacity, L", ");
    AppendText(names, capacity, name);
    ++*count;
}

// The loads the child tries before it says they fail.
constexpr int kLoadAttempts = 16;

// The child's one line: "D", both DLLs loaded; "F", they would not load.
class EndLineReader : public ChildLineReader {
public:
    void TakeLine(wchar_t* line) override {
        if (last_ == L'\0' && (line[0] == L'D' || line[0] == L'F')) last_ = line[0];
    }
    bool Complete() const override { return last_ != L'\0'; }
    bool Loaded() const { return last_ == L'D'; }

private:
    wchar_t last_ = L'\0';
};

}  // namespace

std::size_t FindUncachedAudioCodecs(wchar_t* names, std::size_t capacity) {
    if (capacity > 0) names[0] = L'\0';
    std::size_t count = 0;
    RegKey cache;
    // No cache at all: every audio codec is opened as the manager loads.
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDriverCachePath, 0, KEY_ENUMERATE_SUB_KEYS, cache.Put());
    RegKey drivers;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDrivers32Path, 0, KEY_QUERY_VALUE, drivers.Put()) == ERROR_SUCCESS) {
        wchar_t name[kDriverNameCapacity];
        for (DWORD index = 0;; ++index) {
            DWORD length = kDriverNameCapacity;
            const LONG status = RegEnumValueW(drivers.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_MORE_DATA) continue;  // longer than any name the manager takes
            if (status != ERROR_SUCCESS) break;
            name[kDriverNameCapacity - 1] = L'\0';
            NoteIfUncached(cache.Get(), name, &count, names, capacity);
        }
    }
    // The rows of system.ini the registry does not hold.
    HeapBuffer section;
    ForEachSystemIniDriver(ReadSystemIniDrivers(section), [&](const wchar_t* name, const wchar_t*) {
        const bool inRegistry =
            drivers && RegQueryValueExW(drivers.Get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        if (!inRegistry) NoteIfUncached(cache.Get(), name, &count, names, capacity);
        return true;
    });
    return count;
}

AudioStartResult CheckAudioCodecsStart(DWORD* code) {
    *code = 0;
    EndLineReader reader;
    ChildProcess child(reader);
    const ChildLimits limits = {8, 64, kAudioStartSeconds * 1000};
    if (!child.Start(kAudioStartOption, limits)) return AudioStartNotRun;
    for (;;) {
        switch (child.Poll()) {
        case ChildRunning: break;
        case ChildFinished: return reader.Loaded() ? AudioStartEnded : AudioStartFailed;
        case ChildTimedOut: return AudioStartHung;
        case ChildNotStarted: return AudioStartNotRun;
        default: *code = child.ExitCode(); return AudioStartCrashed;
        }
        // The child either ends within its time or is ended; nothing else
        // of the program runs yet, so this wait keeps nothing from answering.
        child.WaitForEnd(20);
    }
}

bool IsAudioStartChild() { return ReadChildCommandLine(kAudioStartOption, nullptr, 0, 0); }

int RunAudioStartChild() {
    const HANDLE channel = BeginChildProcess();
    // As DirectShow's device enumerator loads them in the program. Under Wine
    // a codec that crashes as the manager opens it fails that load (the crash
    // is caught) and leaves a cache entry, so the next load passes it by: the
    // load is tried again while it fails, as the program's later list fills
    // would try it.
    for (int attempt = 0; attempt < kLoadAttempts; ++attempt) {
        const HMODULE winmm = LoadLibraryW(L"winmm.dll");
        const HMODULE manager = winmm ? LoadLibraryW(L"msacm32.dll") : nullptr;
        if (manager) {
            WriteChildLine(channel, 8, L'D', {});
            EndChildProcess();
        }
        if (winmm) FreeLibrary(winmm);
    }
    WriteChildLine(channel, 8, L'F', {});
    EndChildProcess();
}
