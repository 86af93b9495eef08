// The main window's registration commands: a new codec file chosen by the
// user, and the system's own codec lists.
#include "register_commands.h"

#include "../base/app_state.h"
#include "../catalogue/filter_list.h"
#include "regsvr32.h"

#include <iterator>

namespace {

const wchar_t kCodecFileFilter[] =
    L"All files\0*.*\0"
    L"Dynamic Link Libraries (*.dll)\0*.dll\0"
    L"DirectShow Filters (*.ax)\0*.ax\0"
    L"All supported types (*.dll;*.ax)\0*.dll;*.ax\0";

const wchar_t* const kMainSystemCodecs[] = {
    L"quartz.dll", L"mpg2splt.ax", L"l3codecx.ax", L"qasf.dll", L"qdvd.dll", L"wmadmoe.dll", L"wmvdmoe2.dll",
};

const wchar_t* const kAdditionalSystemCodecs[] = {
    L"wmpasf.dll", L"wmvds32.ax", L"qdv.dll", L"qcap.dll",
};

// Registers each file of the list silently, in order, then refreshes the list once.
void RegisterSystemCodecs(const wchar_t* const* files, std::size_t count) {
    // Each start and its wait end before the next file; a file that is
    // missing or fails is passed over without a sign.
    for (std::size_t i = 0; i < count; ++i) RunRegsvr32(Regsvr32RegisterSilent, files[i]);
    RefreshFilterList();
}

}  // namespace

void RegisterMainSystemCodecs() { RegisterSystemCodecs(kMainSystemCodecs, std::size(kMainSystemCodecs)); }
void RegisterAdditionalSystemCodecs() {
    RegisterSystemCodecs(kAdditionalSystemCodecs, std::size(kAdditionalSystemCodecs));
}

void RegisterNewCodec() {
    wchar_t fileName[MAX_PATH] = {};
    OPENFILENAMEW dialog;
    ZeroMemory(&dialog, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.lpstrFilter = kCodecFileFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = fileName;
    dialog.nMaxFile = static_cast<DWORD>(std::size(fileName));
    dialog.lpstrTitle = L"Выберите кодек для регистрации";
    dialog.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST | OFN_LONGNAMES;
    if (!GetOpenFileNameW(&dialog)) return;
    fileName[std::size(fileName) - 1] = L'\0';
    RunRegsvr32(Regsvr32Register, fileName);
    RefreshFilterList();
}
