// Dialog 133, "Кодеки Media Foundation": Wine's own transforms and the test
// codec's in their categories and views, planted hostile entries judged, the
// report agreeing with the dialog, and the actions on a row.
#include "report_saving.h"
#include "test_codec.h"

#include <algorithm>

namespace {

const bool kProgramIs64Bit = sizeof(void*) == 8;  // the driver is built with the program's width
const wchar_t kTransforms[] = L"MediaFoundation\\Transforms\\";
const wchar_t kVideoDecoderEntries[] = L"MediaFoundation\\Transforms\\Categories\\d6c02d4b-6833-45b4-971a-05a4b04bab91\\";
constexpr int kVideoDecoders = 0;
constexpr int kAudioDecoders = 1;
// H.264 by its four-character code, as Media Foundation names it.
constexpr GUID kH264 = {0x34363248, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

std::wstring Braceless(const std::wstring& classId) {
    std::wstring name = classId.substr(1, 36);
    CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

// A video decoder planted in the registry: its category entry, its transform
// key (name, types, flags) and its class key, each only where asked for.
struct Planted {
    std::wstring classId = NewGuidText();
    std::wstring name;
    std::wstring KeyName() const { return Braceless(classId); }
};

std::vector<BYTE> TypePairs(const std::vector<GUID>& subtypes) {
    std::vector<BYTE> bytes;
    for (const GUID& subtype : subtypes) {
        const GUID major = MEDIATYPE_Video;
        bytes.insert(bytes.end(), reinterpret_cast<const BYTE*>(&major), reinterpret_cast<const BYTE*>(&major) + 16);
        bytes.insert(bytes.end(), reinterpret_cast<const BYTE*>(&subtype),
                     reinterpret_cast<const BYTE*>(&subtype) + 16);
    }
    return bytes;
}

void PlantTransform(RegistryScratch& keys, const std::wstring& keyName, const std::wstring& name,
                    const std::vector<BYTE>& inputs, DWORD inputsType = REG_BINARY) {
    const std::wstring key = kTransforms + keyName;
    keys.Own(key);
    keys.Own(kVideoDecoderEntries + keyName);
    CHECK(keys.CreateKey(kVideoDecoderEntries + keyName), keyName);
    CHECK(keys.SetText(key, nullptr, name), key);
    keys.SetBytes(key, L"InputTypes", inputs.data(), static_cast<DWORD>(inputs.size()), inputsType);
    const std::vector<BYTE> outputs = TypePairs({MEDIASUBTYPE_NV12});
    keys.SetBytes(key, L"OutputTypes", outputs.data(), static_cast<DWORD>(outputs.size()));
    const DWORD flags = 1;
    keys.SetBytes(key, L"MFTFlags", &flags, 4, REG_DWORD);
}

void PlantClassKey(RegistryScratch& keys, const std::wstring& classId, const std::wstring& server) {
    keys.Own(L"CLSID\\" + classId);
    CHECK(keys.SetText(L"CLSID\\" + classId + L"\\InprocServer32", nullptr, server), classId);
}

const std::vector<std::wstring>* Row(const Table& rows, const std::wstring& name) {
    const int at = RowNamed(rows, name);
    return at < 0 ? nullptr : &rows[at];
}

// The row's cell, or "(no row)".
std::wstring Cell(const Table& rows, const std::wstring& name, TransformColumn column) {
    const auto* row = Row(rows, name);
    return row ? (*row)[column] : L"(no row " + name + L")";
}

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

}  // namespace

SCENARIO(transforms_listed_judged_and_reported) {
    TestCodec codec(L"Vantrel Transform", L"none");
    codec.AddExtras();
    CHECK(codec.Regsvr32(L"/s") == 0, codec.Regsvr32Result());
    const std::wstring codecRow = codec.name + L" (MFT)";
    const std::wstring id = codec.classId.substr(1, 8);

    // Hostile entries in the video decoder category of the program's own view.
    RegistryScratch keys;
    const std::vector<BYTE> oneType = TypePairs({kH264});
    Planted cut{.name = L"Vantrel MFT cut " + id};
    PlantTransform(keys, cut.KeyName(), cut.name, std::vector<BYTE>(oneType.begin(), oneType.begin() + 20));
    PlantClassKey(keys, cut.classId, codec.dllPath);
    Planted text{.name = L"Vantrel MFT text types " + id};
    PlantTransform(keys, text.KeyName(), text.name, {'a', 0, 'b', 0, 0, 0}, REG_SZ);
    PlantClassKey(keys, text.classId, codec.dllPath);
    std::vector<GUID> many;
    for (DWORD i = 0; i < 100000 / 32; ++i) many.push_back({i, 0x0000, 0x0010, {0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71}});
    Planted big{.name = L"Vantrel MFT big " + id};
    PlantTransform(keys, big.KeyName(), big.name, TypePairs(many));
    PlantClassKey(keys, big.classId, codec.dllPath);
    Planted orphan;  // a category entry only
    keys.Own(kVideoDecoderEntries + orphan.KeyName());
    keys.CreateKey(kVideoDecoderEntries + orphan.KeyName());
    Planted classless{.name = L"Vantrel MFT classless " + id};
    PlantTransform(keys, classless.KeyName(), classless.name, oneType);
    Planted missing{.name = L"Vantrel MFT missing file " + id};
    PlantTransform(keys, missing.KeyName(), missing.name, oneType);
    PlantClassKey(keys, missing.classId, codec.folder.path + L"\\missing.dll");
    const std::wstring notGuid = L"vantrel-not-a-guid-" + id;
    PlantTransform(keys, notGuid, L"Vantrel MFT not a GUID " + id, oneType);
    Planted hostile{.name = L"Vantrel\r\nMFT\x202E" L"evil " + id};
    PlantTransform(keys, hostile.KeyName(), hostile.name, oneType);
    PlantClassKey(keys, hostile.classId, codec.dllPath);
    // A link in the category's place of a transform key: never gone through.
    Planted linked;
    keys.Own(kVideoDecoderEntries + linked.KeyName());
    keys.CreateKey(kVideoDecoderEntries + linked.KeyName());
    ScratchLink link(kTransforms + linked.KeyName(), std::wstring(kTransforms) + codec.TransformKeyName());
    CHECK(link.made, link.path);
    // Windows' preferences, which Wine does not read: the test codec's
    // transform preferred for its subtype, the missing-file one not to be used.
    const PlantedValue preferred(L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\Preferred",
                                 L"{54464D56-0000-0010-8000-00AA00389B71}", codec.extraMftId);
    const PlantedValue blocked(L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\DoNotUse", missing.classId, L"");

    ProgramUnderTest program;
    if (!program.Start(exePath)) return;
    HWND dialog = OpenTransforms(program);
    if (!dialog) return;
    const Table rows = TransformRows(program, dialog);
    std::printf("video decoders:%s\n", Utf8(TableText(rows)).c_str());
    LookPoint(L"transforms-video-decoders");

    // Wine's own decoder, and the test codec's transform with its named types and note.
    const std::wstring h264 = L"Microsoft H264 Video Decoder MFT";
    CHECK(Contains(Cell(rows, h264, kTransformInputs), L"H.264") && Cell(rows, h264, kTransformStatus) == L"в порядке" &&
              Contains(Cell(rows, h264, kTransformFile), L"winegstreamer.dll"),
          TableText(rows));
    CHECK(Cell(rows, codecRow, kTransformInputs) == L"VMFT" && Cell(rows, codecRow, kTransformOutputs) == L"NV12" &&
              Cell(rows, codecRow, kTransformType) == L"" && Cell(rows, codecRow, kTransformStatus) == L"в порядке" &&
              Contains(Cell(rows, codecRow, kTransformFile), codec.dllPath) &&
              Cell(rows, codecRow, kTransformNote) == L"предпочтительный для: VMFT",
          TableText(rows));
    // Each hostile entry's status; the names sorted as the program sorts.
    const std::pair<std::wstring, std::wstring> statuses[] = {
        {cut.name, L"данные типов повреждены"},
        {text.name, L"данные типов повреждены"},
        {big.name, L"в порядке"},
        {classless.name, L"нет раздела класса"},
        {missing.name, L"файл не найден"},
        {L"Vantrel MFT not a GUID " + id, L"нет раздела класса"},
        {L"Vantrel??MFT?evil " + id, L"в порядке"},
    };
    for (const auto& [name, status] : statuses) {
        CHECK(Cell(rows, name, kTransformStatus) == status, name + L": " + Cell(rows, name, kTransformStatus));
    }
    CHECK(Cell(rows, missing.name, kTransformNote) == L"отключен (DoNotUse)", Cell(rows, missing.name, kTransformNote));
    const std::wstring bigInputs = Cell(rows, big.name, kTransformInputs);
    CHECK(bigInputs.size() < 64 && bigInputs.ends_with(L"…"), bigInputs);
    // The entry without a transform key and the link: no name to show.
    int orphans = 0, links = 0;
    for (const auto& row : rows) {
        orphans += row[kTransformName] == L"(без имени)" && row[kTransformStatus] == L"нет записи кодека";
        links += row[kTransformName] == L"(без имени)" && row[kTransformStatus] == L"ссылка реестра, не открывалась";
    }
    CHECK(orphans == 1 && links == 1, TableText(rows));
    std::vector<std::wstring> names;
    for (const auto& row : rows) names.push_back(row[kTransformName]);
    CHECK(std::is_sorted(names.begin(), names.end(),
                         [](const std::wstring& a, const std::wstring& b) {
                             return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
                                    CSTR_LESS_THAN;
                         }),
          TableText(rows));

    // Wine's audio decoders in theirs; the test codec's transform only in its own width's view.
    ChooseTransformsRow(dialog, IDC_TRANSFORM_CATEGORY, kAudioDecoders);
    const Table audio = TransformRows(program, dialog);
    LookPoint(L"transforms-audio-decoders");
    CHECK(Contains(Cell(audio, L"Microsoft AAC Audio Decoder MFT", kTransformInputs), L"AAC"), TableText(audio));
    ChooseTransformsRow(dialog, IDC_TRANSFORM_CATEGORY, kVideoDecoders);
    ChooseTransformsRow(dialog, IDC_TRANSFORM_VIEW, kProgramIs64Bit ? 1 : 0);
    const Table other = TransformRows(program, dialog);
    CHECK(RowNamed(other, codecRow) < 0 && RowNamed(other, h264) >= 0, TableText(other));
    CHECK(!IsWindowEnabled(GetDlgItem(dialog, IDC_TRANSFORM_DELETE)), L"delete enabled in the other view");
    ChooseTransformsRow(dialog, IDC_TRANSFORM_VIEW, kProgramIs64Bit ? 0 : 1);

    // "Проверка корректности" on the row whose file is missing.
    SelectListViewRow(GetDlgItem(dialog, IDC_TRANSFORM_LIST), program.processId, RowNamed(rows, missing.name));
    PressButton(dialog, IDC_TRANSFORM_CHECK_FILE);
    HWND box = WaitForMessageBox(program, {dialog});
    CHECK(box && MessageBoxText(box) == L"Возможно, кодек зарегистрирован некорректно", program.Dialogs());
    if (box) PressButton(box, IDOK);
    program.WaitDialogGone(box);
    PressButton(dialog, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog), L"dialog 133 stayed");

    // The report says the same of every row, its problems first.
    ScratchFolder folder(L"Vantrel MF report");
    const std::wstring path = folder.path + L"\\report.txt";
    const SaveOutcome saved = SaveReport(program, path);
    CHECK(saved.caption == kSavedCaption, Describe(saved));
    const std::wstring report = Utf8FileText(path);
    for (const auto& [name, status] : statuses) {
        const std::wstring problem = L"Media Foundation, Видеодекодеры: " + name + L" - " + status + L"\r\n";
        CHECK(status == L"в порядке" || Contains(report, problem), L"not among the problems: " + problem);
        // The row's own status line follows its title.
        const size_t row = report.find(L". " + name + L"\r\n");
        const size_t statusLine = row == std::wstring::npos ? row : report.find(L"Состояние:", row);
        const std::wstring line = statusLine == std::wstring::npos
                                      ? L"(no row)"
                                      : report.substr(statusLine, report.find(L"\r\n", statusLine) - statusLine);
        CHECK(line.ends_with(L" " + status), name + L": " + line);
    }
    CHECK(Contains(report, L"Media Foundation, Видеодекодеры: (без имени) - нет записи кодека\r\n"),
          L"the entry without a transform key is not among the problems");
    CHECK(Contains(report, L"  VMFT:  " + codec.extraMftId + L"  " + codecRow + L"\r\n") &&
              Contains(report, L"  " + missing.classId + L"  " + missing.name + L"\r\n"),
          L"Preferred and DoNotUse not in the report");
}
