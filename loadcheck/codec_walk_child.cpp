#include "codec_walk.h"

#include "../base/bounded_text.h"
#include "../catalogue/moniker_walk.h"
#include "../child/child_lines.h"
#include "../child/child_side.h"
#include "../drivercodecs/audio_codec_cache.h"
#include "../drivercodecs/driver_codecs.h"
#include "driver_open.h"

const wchar_t kCodecWalkOption[] = L"/vantrel-walk";

namespace {

// Names each step of a driver on the pipe before it begins it.
class PipeSteps : public DriverSteps {
public:
    PipeSteps(HANDLE channel, const wchar_t* name) : channel_(channel), name_(name) {}
    void Begin(LoadStep step, int) override {
        step_ = step;
        wchar_t stepText[8];
        FormatText(stepText, 8, L"%x", static_cast<unsigned>(step));
        WriteChildLine(channel_, kCodecWalkLineChars, L'S', {name_, stepText});
    }
    void Fail(DWORD code) override {
        wchar_t stepText[8], codeText[12];
        FormatText(stepText, 8, L"%x", static_cast<unsigned>(step_));
        FormatText(codeText, 12, L"%lx", static_cast<unsigned long>(code));
        WriteChildLine(channel_, kCodecWalkLineChars, L'E', {name_, stepText, codeText});
    }
    void Pass() override { WriteChildLine(channel_, kCodecWalkLineChars, L'O', {name_}); }

private:
    HANDLE channel_;
    const wchar_t* name_;
    LoadStep step_ = StepLoadLibrary;
};

}  // namespace

bool IsCodecWalkChild(WalkKind* kind) {
    wchar_t text[4];
    wchar_t* fields[] = {text};
    if (!ReadChildCommandLine(kCodecWalkOption, fields, 1, 4)) return false;
    if (text[0] != L'a' && text[0] != L'v') return false;
    *kind = text[0] == L'a' ? WalkAudio : WalkVideo;
    return true;
}

int RunCodecWalkChild(WalkKind kind) {
    const HANDLE channel = BeginChildProcess();
    CoInitialize(nullptr);
    // Each codec of the kind first, alone and named, opened as the system
    // opens it: the one that crashes or hangs is then known by its name. The
    // audio codecs without a cache entry come first, then the audio
    // compression manager, which opens each of them again as it loads.
    const DriverKind driverKind = kind == WalkAudio ? DriverAudio : DriverVideo;
    DriverCodecList codecs;
    ReadDriverCodecs(0, codecs);
    for (int pass = 0; pass < 2; ++pass) {
        for (SIZE_T i = 0; i < codecs.Count(); ++i) {
            const DriverCodec& codec = codecs[i];
            if (codec.kind != driverKind || codec.nameCut || !codec.inOrder || !DriverNameWorks(codec.name)) continue;
            const bool first = driverKind == DriverAudio && !AudioCodecCached(codec.name);
            if (first != (pass == 0)) continue;
            PipeSteps steps(channel, codec.name);
            OpenDriverAsSystem(steps, codec.file, codec.name, kind == WalkAudio);
        }
        // The manager loads before any other DLL can load it: it opens each
        // audio codec without a cache entry once more.
        if (pass == 0 && driverKind == DriverAudio) {
            WriteChildLine(channel, kCodecWalkLineChars, L'M', {});
            LoadLibraryW(L"winmm.dll");
            LoadLibraryW(L"msacm32.dll");
        }
    }
    // Then the walk the program would make: the device enumerator loads the
    // audio compression manager (which opens every audio codec it has not
    // cached) and opens each codec of the category.
    WriteChildLine(channel, kCodecWalkLineChars, L'W', {});
    ComPtr<IEnumMoniker> monikers;
    unsigned long names = 0;
    if (SUCCEEDED(OpenCategoryMonikers(WalkCategory(kind), monikers)) && monikers) {
        ForEachMoniker(monikers.Get(), [&](IMoniker* moniker) {
            ScopedVariant name;
            const wchar_t* text = ReadFriendlyName(moniker, name);
            if (!text) return false;
            const CoTaskMem<wchar_t> displayName(MonikerDisplayName(moniker));
            WriteChildLine(channel, kCodecWalkLineChars, L'N', {displayName.Get() ? displayName.Get() : L"", text});
            ++names;
            return false;
        });
    }
    monikers.Reset();
    wchar_t count[12];
    FormatText(count, 12, L"%lx", names);
    WriteChildLine(channel, kCodecWalkLineChars, L'D', {count});
    // The process ends as a program ends, its DLLs told: the audio
    // compression manager writes its cache entries then, so that the next
    // process that loads it (the program) opens no codec for them.
    CoUninitialize();
    ExitProcess(0);
}
