// Dialog 133, "Кодеки Media Foundation": Wine's own transforms and the test
// codec's in their categories and views, planted hostile entries judged, the
// report agreeing with the dialog, and the actions on a row: a deletion takes
// exactly the chosen class, in every spelling of its class id.
#include "report_saving.h"
#include "test_codec.h"

#include <algorithm>

namespace {

const wchar_t kTransforms[] = L"MediaFoundation\\Transforms\\";
const wchar_t kVideoDecoderEntries[] = L"MediaFoundation\\Transforms\\Categories\\d6c02d4b-6833-45b4-971a-05a4b04bab91\\";
const wchar_t kAudioDecoderEntries[] = L"MediaFoundation\\Transforms\\Categories\\9ea73fb4-ef7a-4559-8d5d-719d8f0426c7\\";
const wchar_t kVideoEffectEntries[] = L"MediaFoundation\\Transforms\\Categories\\12e17c21-532c-4a6e-8a1c-40825a736397\\";
const wchar_t kTransformsRoot[] = L"MediaFoundation\\Transforms";
constexpr int kVideoDecoders = 0;
constexpr int kAudioDecoders = 1;
constexpr int kVideoEffects = 4;
// The other width's registry view, as the driver (of the program's width) names it.
const int kOtherViewRow = kProgramIs64Bit ? 1 : 0;  // the views combobox lists the 64-bit view first
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
                    const std::vector<BYTE>& inputs, DWORD inputsType = REG_BINARY,
                    const wchar_t* entries = kVideoDecoderEntries) {
    const std::wstring key = kTransforms + keyName;
    keys.Own(key);
    keys.Own(entries + keyName);
    CHECK(keys.CreateKey(entries + keyName), keyName);
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

// The row's cell, or "(no row)".
std::wstring Cell(const Table& rows, const std::wstring& name, TransformColumn column) {
    const auto* row = Row(rows, name);
    return row ? (*row)[column] : L"(no row " + name + L")";
}

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

// A key with its default value in the other width's view, made for one
// scenario; the caller removes it.
bool WriteOtherView(const std::wstring& path, const wchar_t* valueName, const std::wstring& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kOtherView, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG status = RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// Presses the button and answers the confirmation that follows with Yes.
void PressAndConfirm(const ProgramUnderTest& program, HWND dialog, int button) {
    PressButton(dialog, button);
    HWND confirm = WaitForMessageBox(program, {dialog});
    CHECK(confirm && WindowText(confirm) == kConfirmTitle, confirm ? WindowText(confirm) : L"no confirmation");
    if (!confirm) return;
    PressButton(confirm, IDYES);
    CHECK(program.WaitDialogGone(confirm), L"confirmation stayed");
}

// Opens dialog 133, deletes the row of that name in the category with
// "Удалить кодек" and Yes, and closes the dialog; returns the backup written
// ("" when none came).
std::wstring DeleteRow(const ProgramUnderTest& program, int category, const std::wstring& name) {
    HWND dialog = OpenTransforms(program);
    if (!dialog) return L"";
    ChooseTransformsRow(dialog, IDC_TRANSFORM_CATEGORY, category);
    const Table rows = TransformRows(program, dialog);
    const int at = RowNamed(rows, name);
    CHECK(at >= 0, L"no row " + name + L":" + TableText(rows));
    std::wstring backup;
    if (at >= 0) {
        SelectListViewRow(GetDlgItem(dialog, IDC_TRANSFORM_LIST), program.processId, at);
        const std::vector<std::wstring> files = BackupFiles();
        PressAndConfirm(program, dialog, IDC_TRANSFORM_DELETE);
        backup = WaitForNewBackup(files);
        CHECK(!backup.empty(), L"no backup of " + name + L"; on the screen: " + program.Dialogs());
        CHECK(WaitUntil([&] { return RowNamed(TransformRows(program, dialog), name) < 0; }), name + L" stayed");
        CHECK(program.FindDialog(L"", dialog) == nullptr, L"after deleting " + name + L": " + program.Dialogs());
    }
    PressButton(dialog, IDCANCEL);
    CHECK(program.WaitDialogGone(dialog), L"dialog 133 stayed");
    return backup;
}

std::wstring Lower(std::wstring text) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// The keys a backup file names, as paths under HKEY_CLASSES_ROOT in lower
// case (the machine's classes, the 32-bit view's Wow6432Node left out).
std::vector<std::wstring> BackupKeyPaths(const std::wstring& file) {
    std::vector<std::wstring> paths;
    const std::wstring text = RegFileText(file);
    for (std::size_t start = 0, end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        const std::wstring line = Lower(text.substr(start, end - start));
        const std::size_t classes = line.find(L"\\classes\\");
        if (line.empty() || line[0] != L'[' || line.back() != L']' || classes == std::wstring::npos) continue;
        std::wstring path = line.substr(classes + 9, line.size() - classes - 10);
        if (path.rfind(L"wow6432node\\", 0) == 0) path.erase(0, 12);
        paths.push_back(path);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<std::wstring> LowerSorted(std::vector<std::wstring> paths) {
    for (std::wstring& path : paths) path = Lower(path);
    std::sort(paths.begin(), paths.end());
    return paths;
}

// A snapshot of the transforms' tree without the keys (paths under
// HKEY_CLASSES_ROOT) that went, and everything below them.
RegistrySnapshot Without(const RegistrySnapshot& snapshot, const std::vector<std::wstring>& gone) {
    RegistrySnapshot kept;
    for (const RegistryItem& item : snapshot) {
        const std::wstring path = Lower(std::wstring(kTransformsRoot) + item.key);
        const bool went = std::any_of(gone.begin(), gone.end(), [&](const std::wstring& key) {
            const std::wstring lower = Lower(key);
            return path == lower || path.rfind(lower + L"\\", 0) == 0;
        });
        if (!went) kept.push_back(item);
    }
    return kept;
}

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
    // A transform of the other width's view whose class id the program's own
    // view has a class key of: only shown, never acted on there.
    Planted twin{.name = L"Vantrel MFT other view " + id};
    PlantClassKey(keys, twin.classId, codec.dllPath);
    const std::vector<std::wstring> twinKeys = {kTransforms + twin.KeyName(), kVideoDecoderEntries + twin.KeyName(),
                                                L"CLSID\\" + twin.classId};
    CHECK(WriteOtherView(twinKeys[0], nullptr, twin.name) && WriteOtherView(twinKeys[1], nullptr, L"") &&
              WriteOtherView(twinKeys[2] + L"\\InprocServer32", nullptr, codec.dllPath),
          L"the other view's keys not written");
    const RegistrySnapshot twinClassKey = TreeSnapshot(L"CLSID\\" + twin.classId);

    ProgramUnderTest program;
    struct OtherViewCleanup {
        const std::vector<std::wstring>& keys;
        ~OtherViewCleanup() {
            for (const std::wstring& key : keys) DeleteTree(key, kOtherView);
        }
    } cleanup{twinKeys};
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
    // The entry without a transform key and the link: no name to show, so
    // each says which entry it is, as the entry spells it.
    CHECK(Cell(rows, L"(без имени) " + orphan.KeyName(), kTransformStatus) == L"нет записи кодека" &&
              Cell(rows, L"(без имени) " + linked.KeyName(), kTransformStatus) == L"ссылка реестра, не открывалась",
          TableText(rows));
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
    ChooseTransformsRow(dialog, IDC_TRANSFORM_VIEW, kOtherViewRow);
    const Table other = TransformRows(program, dialog);
    CHECK(RowNamed(other, codecRow) < 0 && RowNamed(other, h264) >= 0 && RowNamed(other, twin.name) >= 0,
          TableText(other));
    CHECK(!IsWindowEnabled(GetDlgItem(dialog, IDC_TRANSFORM_DELETE)), L"delete enabled in the other view");
    // Their commands still come (a posted message, an accelerator, an
    // assistive tool): in the other view they do nothing at all.
    SelectListViewRow(GetDlgItem(dialog, IDC_TRANSFORM_LIST), program.processId, RowNamed(other, twin.name));
    const std::vector<std::wstring> backupsBefore = BackupFiles();
    for (const int command : {IDC_TRANSFORM_DELETE, IDC_TRANSFORM_UNREGISTER}) {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, command)));
        // Handled once a marker posted behind it has arrived; a box it opened would be up by then.
        CHECK(program.Settle() && program.Settle(), L"the program did not answer");
        HWND box = program.FindDialog(L"", dialog);
        CHECK(box == nullptr, Format(L"command %d in the other view: ", command) + program.Dialogs());
        if (box) {
            PressButton(box, GetDlgItem(box, IDNO) ? IDNO : IDOK);
            program.WaitDialogGone(box);
        }
    }
    CHECK(BackupFiles() == backupsBefore, L"a backup was written: " + Joined(BackupFiles()));
    CHECK(SnapshotDifference(twinClassKey, TreeSnapshot(L"CLSID\\" + twin.classId)).empty(),
          L"the own view's class key changed: " + SnapshotDifference(twinClassKey, TreeSnapshot(L"CLSID\\" + twin.classId)));
    CHECK(KeyExists(twinKeys[0], kOtherView) && KeyExists(twinKeys[2], kOtherView), L"the other view's keys went");
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
    CHECK(Contains(report, L"Media Foundation, Видеодекодеры: (без имени) " + orphan.KeyName() + L" - нет записи кодека\r\n"),
          L"the entry without a transform key is not among the problems");
    CHECK(Contains(report, L"  VMFT:  " + codec.extraMftId + L"  " + codecRow + L"\r\n") &&
              Contains(report, L"  " + missing.classId + L"  " + missing.name + L"\r\n"),
          L"Preferred and DoNotUse not in the report");
}

// "Удалить кодек" on any row of a class takes every spelling of its class id:
// the transform key as Wine writes it (lower case, no braces) and its twin in
// braces, their entries, an entry in another category in braces and upper
// case, and the class key; the backup holds exactly those keys and gives them
// back byte for byte, and everything else stays. An entry named like a key of
// the Transforms key's own is a category entry alone. A deletion that finds
// nothing says so and writes no backup.
SCENARIO(transforms_delete_every_spelling) {
    TestCodec codec(L"Vantrel Spelling", L"none");
    const std::wstring id = codec.classId.substr(1, 8);
    RegistryScratch keys;
    const std::vector<BYTE> types = TypePairs({kH264});
    // A video decoder as Wine writes one, and its twin in braces (lower case).
    Planted plain{.name = L"Vantrel MFT plain " + id};
    const std::wstring braced = L"{" + plain.KeyName() + L"}";
    PlantTransform(keys, plain.KeyName(), plain.name, types);
    PlantTransform(keys, braced, L"Vantrel MFT braced " + id, types);
    PlantClassKey(keys, plain.classId, codec.dllPath);
    // An audio decoder with one more entry among the video effects, in braces and upper case.
    Planted sound{.name = L"Vantrel MFT sound " + id};
    PlantTransform(keys, sound.KeyName(), sound.name, types, REG_BINARY, kAudioDecoderEntries);
    keys.Own(kVideoEffectEntries + sound.classId);
    CHECK(keys.CreateKey(kVideoEffectEntries + sound.classId), sound.classId);
    PlantClassKey(keys, sound.classId, codec.dllPath);
    Planted bystander{.name = L"Vantrel MFT bystander " + id};
    PlantTransform(keys, bystander.KeyName(), bystander.name, types);
    PlantClassKey(keys, bystander.classId, codec.dllPath);

    // Each class's keys, and the rows that delete them: either spelling's
    // row, the transform's row, and the other category's entry's own row.
    struct Class {
        std::wstring classId;
        std::vector<std::wstring> keys;
        std::vector<std::pair<int, std::wstring>> rows;
    };
    const Class classes[] = {
        {plain.classId,
         {kTransforms + plain.KeyName(), kTransforms + braced, kVideoDecoderEntries + plain.KeyName(),
          kVideoDecoderEntries + braced, L"CLSID\\" + plain.classId},
         {{kVideoDecoders, L"Vantrel MFT braced " + id}, {kVideoDecoders, plain.name}}},
        {sound.classId,
         {kTransforms + sound.KeyName(), kAudioDecoderEntries + sound.KeyName(), kVideoEffectEntries + sound.classId,
          L"CLSID\\" + sound.classId},
         {{kAudioDecoders, sound.name}, {kVideoEffects, L"(без имени) " + sound.classId}}},
    };
    const RegistrySnapshot transformsBefore = TreeSnapshot(kTransformsRoot);
    const RegistrySnapshot bystanderBefore = TreeSnapshot(L"CLSID\\" + bystander.classId);

    ProgramUnderTest program;
    if (!program.Start(exePath)) return;
    {
        HWND dialog = OpenTransforms(program);
        if (!dialog) return;
        const Table rows = TransformRows(program, dialog);
        // The braced spelling is the same class: its class key is found.
        CHECK(Cell(rows, L"Vantrel MFT braced " + id, kTransformStatus) == L"в порядке", TableText(rows));
        ChooseTransformsRow(dialog, IDC_TRANSFORM_CATEGORY, kVideoEffects);
        const Table effects = TransformRows(program, dialog);
        CHECK(Cell(effects, L"(без имени) " + sound.classId, kTransformStatus) == L"нет записи кодека",
              TableText(effects));
        PressButton(dialog, IDCANCEL);
        program.WaitDialogGone(dialog);
    }
    for (const Class& each : classes) {
        std::vector<std::wstring> backedUp = each.keys;
        backedUp.push_back(L"CLSID\\" + each.classId + L"\\InprocServer32");
        const RegistrySnapshot classBefore = TreeSnapshot(L"CLSID\\" + each.classId);
        for (const auto& [category, row] : each.rows) {
            const std::wstring backup = DeleteRow(program, category, row);
            for (const std::wstring& key : each.keys) CHECK(!KeyExists(key), row + L": " + key + L" stayed");
            const std::wstring kept =
                SnapshotDifference(Without(transformsBefore, each.keys), TreeSnapshot(kTransformsRoot));
            CHECK(kept.empty(), row + L": other transforms changed: " + kept);
            CHECK(TreeSnapshot(L"CLSID\\" + bystander.classId) == bystanderBefore,
                  row + L": the bystander's class key changed");
            if (backup.empty()) continue;
            CHECK(BackupKeyPaths(backup) == LowerSorted(backedUp),
                  row + L": the backup holds " + Joined(BackupKeyPaths(backup)));
            CHECK(ImportRegFile(backup) == 0, L"reg import of " + backup);
            const std::wstring back = SnapshotDifference(transformsBefore, TreeSnapshot(kTransformsRoot)) +
                                      SnapshotDifference(classBefore, TreeSnapshot(L"CLSID\\" + each.classId));
            CHECK(back.empty(), row + L": not given back: " + back);
        }
    }

    // Entries named like the Transforms key's own keys, whose default values
    // would read as names: each is an entry without a transform, and its
    // deletion takes that entry alone.
    const PlantedValue ownNames[] = {
        {L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\Categories", L"", L"Vantrel own Categories " + id},
        {L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\Preferred", L"", L"Vantrel own Preferred " + id},
        {L"SOFTWARE\\Classes\\MediaFoundation\\Transforms\\DoNotUse", L"", L"Vantrel own DoNotUse " + id}};
    for (const wchar_t* own : {L"Categories", L"Preferred", L"DoNotUse"}) {
        keys.Own(kVideoDecoderEntries + std::wstring(own));
        CHECK(keys.CreateKey(kVideoDecoderEntries + std::wstring(own)), own);
    }
    {
        HWND dialog = OpenTransforms(program);
        if (!dialog) return;
        const Table rows = TransformRows(program, dialog);
        LookPoint(L"transforms-own-key-names");
        for (const wchar_t* own : {L"Categories", L"Preferred", L"DoNotUse"}) {
            CHECK(Cell(rows, L"(без имени) " + std::wstring(own), kTransformStatus) == L"нет записи кодека",
                  TableText(rows));
        }
        CHECK(!Contains(TableText(rows), L"Vantrel own"), TableText(rows));
        PressButton(dialog, IDCANCEL);
        program.WaitDialogGone(dialog);
    }
    for (const wchar_t* own : {L"Categories", L"Preferred", L"DoNotUse"}) {
        const std::wstring entry = kVideoDecoderEntries + std::wstring(own);
        const RegistrySnapshot before = TreeSnapshot(kTransformsRoot);
        const std::wstring backup = DeleteRow(program, kVideoDecoders, L"(без имени) " + std::wstring(own));
        CHECK(!KeyExists(entry), entry + L" stayed");
        const std::wstring kept = SnapshotDifference(Without(before, {entry}), TreeSnapshot(kTransformsRoot));
        CHECK(kept.empty(), std::wstring(own) + L": more than its entry went: " + kept);
        CHECK(backup.empty() || BackupKeyPaths(backup) == LowerSorted({entry}),
              std::wstring(own) + L": the backup holds " + (backup.empty() ? L"" : Joined(BackupKeyPaths(backup))));
    }

    // A row whose keys another program removed after the list was read.
    Planted gone{.name = L"Vantrel MFT gone " + id};
    PlantTransform(keys, gone.KeyName(), gone.name, types);
    PlantClassKey(keys, gone.classId, codec.dllPath);
    HWND dialog = OpenTransforms(program);
    if (!dialog) return;
    SelectListViewRow(GetDlgItem(dialog, IDC_TRANSFORM_LIST), program.processId,
                      RowNamed(TransformRows(program, dialog), gone.name));
    for (const std::wstring& key : {kTransforms + gone.KeyName(), kVideoDecoderEntries + gone.KeyName(),
                                    L"CLSID\\" + gone.classId}) {
        DeleteTree(key);
    }
    const std::vector<std::wstring> files = BackupFiles();
    PressAndConfirm(program, dialog, IDC_TRANSFORM_DELETE);
    HWND box = WaitForMessageBox(program, {dialog});
    LookPoint(L"transforms-nothing-to-delete");
    CHECK(box && WindowText(box) == L"Удаление не выполнено" &&
              MessageBoxText(box) == L"Записей кодека в реестре уже нет\nУдалять нечего, реестр не изменен",
          program.Dialogs());
    if (box) PressButton(box, IDOK);
    CHECK(BackupFiles() == files, L"a backup was written: " + Joined(BackupFiles()));
    CHECK(WaitUntil([&] { return RowNamed(TransformRows(program, dialog), gone.name) < 0; }), L"the row stayed");
    PressButton(dialog, IDCANCEL);
}
