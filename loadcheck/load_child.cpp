#include "load_child.h"

#include "../base/bounded_text.h"
#include "../child/child_lines.h"
#include "../child/child_side.h"
#include "codec_kinds.h"
#include "load_steps.h"
#include "load_work.h"

#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>
#include <vfw.h>

#include <cwchar>

const wchar_t kLoadCheckOption[] = L"/vantrel-load-check";

namespace {

bool ReadNumber(const wchar_t* text, unsigned long long* value) {
    wchar_t* end = nullptr;
    *value = std::wcstoull(text, &end, 16);
    return text[0] != L'\0' && *end == L'\0';
}

// Names each step of one codec in the journal before it begins it, and its
// result after it.
class CodecSteps {
public:
    CodecSteps(LoadWorkView& work, std::size_t index) : work_(work) { FormatText(index_, 20, L"%zx", index); }
    void Begin(LoadStep step, int kind = -1) {
        step_ = step;
        kind_ = kind;
        wchar_t stepText[8], kindText[8];
        FormatText(stepText, 8, L"%x", static_cast<unsigned>(step_));
        FormatText(kindText, 8, L"%x", static_cast<unsigned>(kind_));
        Write(L'S', {index_, stepText, kind_ >= 0 ? kindText : nullptr});
    }
    // The step begun last failed with code; the codec is done.
    void Fail(DWORD code) {
        wchar_t stepText[8], codeText[12], kindText[8];
        FormatText(stepText, 8, L"%x", static_cast<unsigned>(step_));
        FormatText(codeText, 12, L"%lx", static_cast<unsigned long>(code));
        FormatText(kindText, 8, L"%x", static_cast<unsigned>(kind_));
        Write(L'E', {index_, stepText, codeText, kind_ >= 0 ? kindText : nullptr});
    }
    void Pass() { Write(L'O', {index_}); }

private:
    void Write(wchar_t kind, std::initializer_list<const wchar_t*> fields) {
        wchar_t line[kLoadLineChars + 1];
        FormatChildLine(line, kLoadLineChars + 1, kind, fields);
        work_.Write(line);
    }

    LoadWorkView& work_;
    wchar_t index_[20];
    LoadStep step_ = StepLoadLibrary;
    int kind_ = -1;
};

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// A COM class as a player's COM would make it, each step named first. The
// objects are released at once; the DLL stays loaded.
void CheckComClass(CodecSteps& steps, const LoadWorkItem& item) {
    CLSID classId = GUID_NULL;
    steps.Begin(StepLoadLibrary);
    // As COM loads an in-process server: the DLL's own folder is searched
    // for the DLLs it needs.
    const HMODULE module = LoadLibraryExW(item.path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) return steps.Fail(GetLastError());
    steps.Begin(StepFindEntry);
    const FARPROC entry = GetProcAddress(module, "DllGetClassObject");
    if (!entry) return steps.Fail(GetLastError());
    steps.Begin(StepClassObject);
    if (FAILED(CLSIDFromString(item.classId, &classId))) return steps.Fail(static_cast<DWORD>(CO_E_CLASSSTRING));
    IClassFactory* factory = nullptr;
    HRESULT hr = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(entry))(
        classId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr) || !factory) return steps.Fail(static_cast<DWORD>(FAILED(hr) ? hr : E_POINTER));
    steps.Begin(StepCreateObject);
    IUnknown* object = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object));
    if (FAILED(hr) || !object) {
        steps.Fail(static_cast<DWORD>(FAILED(hr) ? hr : E_POINTER));
        factory->Release();
        return;
    }
    for (int kind = 0; kind < kLoadKindCount; ++kind) {
        if ((item.kinds & KindBit(static_cast<LoadKind>(kind))) == 0 || !kLoadKinds[kind].interfaceId) continue;
        steps.Begin(StepQueryInterface, kind);
        IUnknown* answer = nullptr;
        hr = object->QueryInterface(*kLoadKinds[kind].interfaceId, reinterpret_cast<void**>(&answer));
        if (answer) answer->Release();
        if (FAILED(hr) || !answer) {
            steps.Fail(static_cast<DWORD>(FAILED(hr) ? hr : E_NOINTERFACE));
            object->Release();
            factory->Release();
            return;
        }
    }
    steps.Begin(StepRelease);
    object->Release();
    factory->Release();
    steps.Pass();
}

using DriverEntry = LRESULT(WINAPI*)(DWORD_PTR id, HDRVR driver, UINT message, LPARAM first, LPARAM second);

// What the audio compression manager hands a driver it opens (the driver
// kit's msacmdrv.h, which mingw-w64 does not ship).
struct AcmOpenDescription {
    DWORD cbStruct;
    FOURCC fccType;
    FOURCC fccComp;
    DWORD dwVersion;
    DWORD dwFlags;
    DWORD dwError;
    LPCWSTR pszSectionName;
    LPCWSTR pszAliasName;
    DWORD dnDevNode;
};
constexpr UINT kAcmDriverDetails = ACMDM_BASE + 10;  // ACMDM_DRIVER_DETAILS
constexpr DWORD kAcmVersion = 0x04000000;            // the manager's version a driver is told

// Four characters of the value's name as a FOURCC, as ICOpen is handed one.
FOURCC FourCharacters(const wchar_t* chars) {
    FOURCC code = 0;
    for (int i = 0; i < 4 && chars[i] != L'\0'; ++i) code |= static_cast<FOURCC>(chars[i] & 0xFF) << (8 * i);
    return code;
}

// A multimedia driver opened as the system opens it, each step named first:
// its file loaded (as the system loads a driver, with its own folder
// searched for the DLLs it needs), DriverProc found, DRV_LOAD and
// DRV_ENABLE, then DRV_OPEN with the description that ICOpen (in query mode,
// for the codec's FOURCC) or the audio compression manager (for the value's
// name as the alias, of the section Drivers32) gives, the driver's details
// asked for, and the driver closed. The driver is opened through its own
// entry rather than through msvfw32.dll and msacm32.dll: under Wine, loading
// them (through winmm.dll) opens every audio codec the manager has no cache
// entry for, so that one audio codec that crashes or hangs there would take
// every other codec's check with it. The DLL stays loaded.
void CheckDriver(CodecSteps& steps, const LoadWorkItem& item) {
    const int kind = (item.kinds & KindBit(LoadKindAcm)) != 0 ? LoadKindAcm : LoadKindVfw;
    steps.Begin(StepLoadLibrary, kind);
    const HMODULE module = LoadLibraryExW(item.path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) return steps.Fail(GetLastError());
    steps.Begin(StepFindEntry, kind);
    const auto entry = reinterpret_cast<DriverEntry>(reinterpret_cast<void*>(GetProcAddress(module, "DriverProc")));
    if (!entry) return steps.Fail(GetLastError());
    // The handle the system gives an open driver; the driver only hands it back.
    const HDRVR handle = reinterpret_cast<HDRVR>(static_cast<ULONG_PTR>(1));
    steps.Begin(StepDriverLoad, kind);
    if (entry(0, handle, DRV_LOAD, 0, 0) == 0) return steps.Fail(DRV_LOAD);
    entry(0, handle, DRV_ENABLE, 0, 0);
    steps.Begin(StepDriverOpen, kind);
    ICOPEN video = {};
    AcmOpenDescription audio = {};
    LPARAM description = 0;
    if (kind == LoadKindVfw) {
        video.dwSize = sizeof(video);
        video.fccType = FourCharacters(item.alias);  // "vidc" or "vids"
        video.fccHandler = std::wcslen(item.alias) > 5 ? FourCharacters(item.alias + 5) : 0;
        video.dwVersion = ICVERSION;
        video.dwFlags = ICMODE_QUERY;
        description = reinterpret_cast<LPARAM>(&video);
    } else {
        audio.cbStruct = sizeof(audio);
        audio.fccType = ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC;
        audio.dwVersion = kAcmVersion;
        audio.pszSectionName = L"Drivers32";
        audio.pszAliasName = item.alias;
        description = reinterpret_cast<LPARAM>(&audio);
    }
    const DWORD_PTR id = static_cast<DWORD_PTR>(entry(0, handle, DRV_OPEN, reinterpret_cast<LPARAM>(L""), description));
    if (id == 0) return steps.Fail(kind == LoadKindVfw ? static_cast<DWORD>(video.dwError) : audio.dwError);
    steps.Begin(StepDriverInfo, kind);
    if (kind == LoadKindVfw) {
        ICINFO info = {};
        info.dwSize = sizeof(info);
        if (entry(id, handle, ICM_GETINFO, reinterpret_cast<LPARAM>(&info), sizeof(info)) == 0) return steps.Fail(0);
    } else {
        ACMDRIVERDETAILSW details = {};
        details.cbStruct = sizeof(details);
        const LRESULT answer = entry(id, handle, kAcmDriverDetails, reinterpret_cast<LPARAM>(&details), 0);
        if (answer != MMSYSERR_NOERROR) return steps.Fail(static_cast<DWORD>(answer));
    }
    steps.Begin(StepDriverClose, kind);
    entry(id, handle, DRV_CLOSE, 0, 0);
    entry(0, handle, DRV_DISABLE, 0, 0);
    entry(0, handle, DRV_FREE, 0, 0);
    steps.Pass();
}

// How the child checks a codec, by its procedure (codec_kinds.h).
using CheckProcedure = void (*)(CodecSteps& steps, const LoadWorkItem& item);
const CheckProcedure kProcedures[kLoadProcedureCount] = {CheckComClass, CheckDriver};

}  // namespace

bool IsLoadCheckChild(HANDLE* section) {
    wchar_t text[24];
    wchar_t* fields[] = {text};
    unsigned long long value = 0;
    if (!ReadChildCommandLine(kLoadCheckOption, fields, 1, 24) || !ReadNumber(text, &value)) return false;
    *section = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value));
    return true;
}

int RunLoadCheckChild(HANDLE section) {
    BeginChildProcess();
    // As a player's thread has it: a single-threaded apartment.
    CoInitialize(nullptr);
    // The program's word: how many items the list holds, and which it takes:
    // from first up to, not including, end.
    wchar_t word[64];
    unsigned long long count = 0, first = 0, end = 0;
    wchar_t* fields[3] = {};
    LoadWorkView work;
    bool read = ReadChildInput(word, 64);
    fields[0] = word;
    for (int i = 1; read && i < 3; ++i) {
        fields[i] = wcschr(fields[i - 1], L' ');
        if (fields[i]) *fields[i]++ = L'\0';
        read = fields[i] != nullptr;
    }
    if (read && ReadNumber(fields[0], &count) && ReadNumber(fields[1], &first) && ReadNumber(fields[2], &end) &&
        end <= count && work.Open(section, count)) {
        for (std::size_t index = first; index < end; ++index) {
            const LoadWorkItem item = work.Item(index);
            CodecSteps steps(work, index);
            if (item.procedure < kLoadProcedureCount) kProcedures[item.procedure](steps, item);
        }
        wchar_t last[kLoadLineChars + 1];
        FormatChildLine(last, kLoadLineChars + 1, L'D', {});
        work.Write(last);
    }
    EndChildProcess();
}
