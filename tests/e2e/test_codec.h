// A configured copy of the test codec DLL in a folder of its own (with a blank
// in its name), under fresh class ids, unregistered and removed at the end.
#pragma once
#include "driver.h"
#include "list_view_rows.h"

struct TestCodec {
    ScratchFolder folder{L"Vantrel codec"};
    std::wstring classId = NewGuidText();
    std::wstring pageId = NewGuidText();
    // The second filter (audio compressor category) and the DMO (video decoder
    // DMO category) that AddExtras puts into the same DLL.
    std::wstring extraFilterId = NewGuidText();
    std::wstring extraDmoId = NewGuidText();
    // The Media Foundation transform (a video decoder) that AddExtras adds too.
    std::wstring extraMftId = NewGuidText();
    std::wstring name;
    std::wstring object;
    std::wstring dllPath;

    // pages: "1", "0" or "none".
    explicit TestCodec(const std::wstring& namePrefix, const std::wstring& pages = L"1",
                       const std::wstring& kind = L"filter", bool otherWidth = false);

    bool otherWidth;  // a copy of the other width's DLL, registered by the other width's regsvr32
    mutable std::wstring lastRegsvr32;
    ~TestCodec();

    // Makes the DLL register its extra filter, DMO and transform as well; before Regsvr32.
    void AddExtras() const;
    // Appends lines to the copy's testcodec.cfg (CREATE_ALWAYS: starts it afresh).
    void AppendConfig(const std::wstring& lines, DWORD disposition) const;

    // Runs the system's regsvr32 on the copy and waits for it to end; returns its exit code.
    int Regsvr32(const std::wstring& options) const;
    // How the last Regsvr32 call ended, for failure messages: "regsvr32 /s exited with 3".
    std::wstring Regsvr32Result() const { return lastRegsvr32; }
    std::wstring InstancePath() const { return kLegacyInstance + classId; }
    std::wstring ClassKey() const { return L"CLSID\\" + classId; }
    // The transform's key and its entry in the video decoder category, as
    // MFTRegister names them (the class id in lower case without braces).
    std::wstring TransformKeyName() const;
    std::wstring TransformKey() const;
    std::wstring TransformCategoryEntry() const;
    // Every key the DLL registers with its extras, as paths under HKEY_CLASSES_ROOT.
    std::vector<std::wstring> KeysWithExtras() const;
};

// The video decoder category of Media Foundation transforms, as its key is named.
constexpr wchar_t kVideoDecoderTransforms[] = L"d6c02d4b-6833-45b4-971a-05a4b04bab91";

// The codec management dialog of the program, driven as a user drives it.
extern const wchar_t kManageTitle[];   // "Управление кодеком"
extern const wchar_t kConfirmTitle[];  // "Подтвердите действие"
extern const wchar_t kMeritTitle[];    // "Изменить приоритет кодека"

// Starts the program and opens the management dialog on the row by a double click.
HWND OpenManagement(ProgramUnderTest& program, const std::wstring& row, const std::wstring& exePath);
// The message box that appears next, other than the known dialogs, or null.
HWND WaitForMessageBox(const ProgramUnderTest& program, std::initializer_list<HWND> known);

// Dialog 133, "Кодеки Media Foundation", opened by its command on the running
// program; its columns, in the dialog's order.
extern const wchar_t kTransformsTitle[];
enum TransformColumn { kTransformName, kTransformType, kTransformInputs, kTransformOutputs, kTransformFile,
                       kTransformStatus, kTransformNote, kTransformColumns };
HWND OpenTransforms(const ProgramUnderTest& program);
// Chooses a row of the dialog's category (1331) or view (1332) combobox as a user does.
void ChooseTransformsRow(HWND dialog, int comboId, int row);
Table TransformRows(const ProgramUnderTest& program, HWND dialog);
