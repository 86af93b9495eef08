#include "driver_open.h"

#include "codec_kinds.h"

#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>
#include <vfw.h>

#include <cwchar>

namespace {

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
}  // namespace

void OpenDriverAsSystem(DriverSteps& steps, const wchar_t* path, const wchar_t* alias, bool audioCodec) {
    const int kind = audioCodec ? LoadKindAcm : LoadKindVfw;
    steps.Begin(StepLoadLibrary, kind);
    const HMODULE module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
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
        video.fccType = FourCharacters(alias);  // "vidc" or "vids"
        video.fccHandler = std::wcslen(alias) > 5 ? FourCharacters(alias + 5) : 0;
        video.dwVersion = ICVERSION;
        video.dwFlags = ICMODE_QUERY;
        description = reinterpret_cast<LPARAM>(&video);
    } else {
        audio.cbStruct = sizeof(audio);
        audio.fccType = ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC;
        audio.dwVersion = kAcmVersion;
        audio.pszSectionName = L"Drivers32";
        audio.pszAliasName = alias;
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

