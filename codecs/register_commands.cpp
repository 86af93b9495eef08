// The main window's registration commands: a new codec file chosen by the
// user, and the system's own codec lists.
#include "../app/app_state.h"
#include "../app/commands.h"
#include "../catalogue/filter_list.h"
#include "regsvr32.h"

const wchar_t CodecFileFilter[] =
    L"All files\0*.*\0"
    L"Dynamic Link Libraries (*.dll)\0*.dll\0"
    L"DirectShow Filters (*.ax)\0*.ax\0"
    L"All supported types (*.dll;*.ax)\0*.dll;*.ax\0";

const wchar_t* const MainSystemCodecs[7] = {
    L"quartz.dll", L"mpg2splt.ax", L"l3codecx.ax", L"qasf.dll", L"qdvd.dll", L"wmadmoe.dll", L"wmvdmoe2.dll",
};

const wchar_t* const AdditionalSystemCodecs[4] = {
    L"wmpasf.dll", L"wmvds32.ax", L"qdv.dll", L"qcap.dll",
};

void RegisterSystemCodecs(const wchar_t* const* files, std::size_t count) {
    // Each start and its wait end before the next file; a file that is
    // missing or fails is passed over without a sign.
    for (std::size_t i = 0; i < count; ++i) RunRegsvr32(Regsvr32RegisterSilent, files[i]);
    RefreshFilterList();
}

void RegisterMainSystemCodecs() { RegisterSystemCodecs(MainSystemCodecs, 7); }
void RegisterAdditionalSystemCodecs() { RegisterSystemCodecs(AdditionalSystemCodecs, 4); }

void RegisterNewCodec() {
    wchar_t fileName[260] = {};
    OPENFILENAMEW dialog;
    ZeroMemory(&dialog, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.lpstrFilter = CodecFileFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = fileName;
    dialog.nMaxFile = 260;
    dialog.lpstrTitle = L"Выберите кодек для регистрации";
    dialog.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_FILEMUSTEXIST | OFN_LONGNAMES;
    if (!GetOpenFileNameW(&dialog)) return;
    fileName[259] = L'\0';
    RunRegsvr32(Regsvr32Register, fileName);
    RefreshFilterList();
}
