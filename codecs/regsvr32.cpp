#include "regsvr32.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/scoped.h"
#include "../catalogue/mapper_entries.h"

#include <cwchar>

namespace {

const wchar_t* ModeText(Regsvr32Mode mode) {
    switch (mode) {
    case Regsvr32RegisterSilent: return L"regsvr32 /s ";
    case Regsvr32Unregister: return L"regsvr32 /u ";
    case Regsvr32Register: break;
    }
    return L"regsvr32 ";
}

// The full path of regsvr32.exe in the system directory, so that a copy
// planted in the current or program directory is never the one started.
bool SystemRegsvr32Path(wchar_t* out, std::size_t capacity) {
    const UINT length = GetSystemDirectoryW(out, static_cast<UINT>(capacity));
    if (length == 0 || length >= capacity) return false;
    return AppendText(out, capacity, L"\\regsvr32.exe") == kTextOk;
}

}  // namespace

bool BuildRegsvr32CommandLine(Regsvr32Mode mode, const wchar_t* path, wchar_t* commandLine, std::size_t capacity) {
    // No file name holds a double quote; one in the path would break the quoting.
    if (std::wcschr(path, L'"') != nullptr) return false;
    CopyText(commandLine, capacity, ModeText(mode));
    AppendText(commandLine, capacity, L"\"");
    AppendText(commandLine, capacity, path);
    // A line that does not fit is never cut and started.
    return AppendText(commandLine, capacity, L"\"") == kTextOk;
}

void RunRegsvr32(Regsvr32Mode mode, const wchar_t* path) {
    wchar_t commandLine[kNameCapacity];
    if (!BuildRegsvr32CommandLine(mode, path, commandLine, kNameCapacity)) return;
    wchar_t application[MAX_PATH];
    if (!SystemRegsvr32Path(application, MAX_PATH)) return;

    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    ProcessHandles process;
    if (!CreateProcessW(application, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        process.Get())) {
        return;
    }
    WaitForInputIdle(process.Process(), 4000);
    // The mapper's entries are read again at the next check; whatever the
    // tool still writes after going idle, their change notifications tell.
    ForgetMapperEntriesCheck();
}
