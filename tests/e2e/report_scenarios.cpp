// The codec report, saved through the program's save dialog and read back.
#include "report_saving.h"
#include "test_codec.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

namespace {

const wchar_t kViewRule[] = L"\r\n======================================================================\r\n";

// The report's parts: the header, then each view's title and body.
std::vector<std::wstring> ReportParts(const std::wstring& text) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t rule = text.find(kViewRule, start);
        parts.push_back(text.substr(start, rule == std::wstring::npos ? std::wstring::npos : rule - start));
        if (rule == std::wstring::npos) return parts;
        start = rule + std::wcslen(kViewRule);
    }
}

// The body of the view titled by width ("64-разрядные кодеки..."), or "".
std::wstring ViewBody(const std::wstring& text, int width) {
    const std::vector<std::wstring> parts = ReportParts(text);
    const std::wstring title = width == 64 ? L"64-разрядные кодеки" : L"32-разрядные кодеки";
    for (std::size_t i = 1; i + 1 < parts.size(); i += 2) {
        if (parts[i].rfind(title, 0) == 0) return parts[i + 1];
    }
    return L"";
}

// The lines of text, split at CRLF.
std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    return lines;
}

// The row of a filter: its numbered title line, ending with `name` (and maybe
// its system mark), and the lines below it up to the blank line.
std::wstring RowBlock(const std::wstring& body, const std::wstring& name, std::size_t from = 0) {
    const std::vector<std::wstring> lines = Lines(body);
    std::size_t seen = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t dot = lines[i].find(L". ");
        if (dot == std::wstring::npos || dot > 6 || lines[i].substr(dot + 2).rfind(name, 0) != 0) continue;
        if (seen++ < from) continue;
        std::wstring block = lines[i];
        for (std::size_t j = i + 1; j < lines.size() && !lines[j].empty(); ++j) block += L"\n" + lines[j];
        return block;
    }
    return L"";
}

std::wstring Status(const wchar_t* status) { return std::wstring(L"Состояние:  ") + status; }

// The names of the numbered rows between the heading that starts with
// `heading` and the next heading.
std::vector<std::wstring> RowNames(const std::wstring& body, const std::wstring& heading) {
    std::vector<std::wstring> names;
    const std::vector<std::wstring> lines = Lines(body);
    bool inside = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind(L"-----", 0) == 0 && i + 1 < lines.size()) {
            if (inside && i > 0 && lines[i - 1].empty()) break;
            inside = inside || lines[i + 1].rfind(heading, 0) == 0;
            continue;
        }
        const std::size_t dot = lines[i].find(L". ");
        if (!inside || dot == std::wstring::npos || dot > 6 || lines[i][0] != L' ') continue;
        std::wstring name = lines[i].substr(dot + 2);
        const std::size_t mark = name.find(L"  [системный фильтр]");
        if (mark != std::wstring::npos) name.erase(mark);
        names.push_back(name);
    }
    return names;
}

// A subtype GUID built from a fresh four-character code "VT??", which no
// common name covers: the report names it by that code.
// No two in one run are the same.
std::wstring FreshCodeSubtype(std::wstring* code) {
    static std::vector<std::wstring> given;
    do {
        const std::wstring fresh = NewGuidText();
        *code = L"VT";
        for (int i = 1; i <= 2; ++i) *code += static_cast<wchar_t>(L'A' + (fresh[i] % 26));
    } while (std::find(given.begin(), given.end(), *code) != given.end());
    given.push_back(*code);
    return Format(L"{%02X%02X%02X%02X-0000-0010-8000-00AA00389B71}", (*code)[3], (*code)[2], (*code)[1], (*code)[0]);
}

// What the report makes of a list row: control characters and the
// direction controls planted here shown as "?", and cut to 499 characters.
std::wstring AsReported(std::wstring row) {
    if (row.size() > 499) row.resize(499);
    for (wchar_t& c : row) {
        if (c < 0x20 || c == 0x202E || c == 0x061C) c = L'?';
    }
    return row;
}

// The report without its "Дата и время:" line, the one line two reports of
// the same registry may differ in.
std::wstring WithoutTimeLine(const std::wstring& text) {
    const std::size_t line = text.find(L"\r\nДата и время:");
    if (line == std::wstring::npos) return text;
    return text.substr(0, line) + text.substr(text.find(L"\r\n", line + 2));
}

}  // namespace

// Broken and planted registrations: each row gets the status the scan would
// give it, in the list's own order, the planted preferences appear, the
// registry is left as it was, and Yes opens the report.
SCENARIO(report_of_broken_and_planted_entries) {
    TestCodec good(L"Vantrel Report Good", L"none");
    TestCodec missing(L"Vantrel Report Missing", L"none");
    TestCodec variable(L"Vantrel Report Variable", L"none");
    TestCodec binaryPath(L"Vantrel Report Binary Path", L"none");
    TestCodec literal(L"Vantrel Report Literal", L"none");
    for (const TestCodec* codec : {&good, &missing, &variable, &binaryPath, &literal}) {
        CHECK(codec->Regsvr32(L"/s") == 0, codec->Regsvr32Result());
    }
    CHECK(DeleteFileW(missing.dllPath.c_str()), Format(L"error %lu", GetLastError()));
    WriteText(variable.ClassKey() + L"\\InprocServer32", nullptr, L"%SystemRoot%\\system32\\vantrel-none.dll",
              REG_EXPAND_SZ);
    // The same variable in a value that is not expandable: COM looks for the path as written, and finds nothing.
    WriteText(literal.ClassKey() + L"\\InprocServer32", nullptr, L"%SystemRoot%\\system32\\quartz.dll");
    // A server path stored as binary data: no field to show, but the scan
    // reads its characters all the same and finds the file, and so the status is the scan's.
    {
        RegistryScratch rewrite;
        rewrite.SetBytes(binaryPath.ClassKey() + L"\\InprocServer32", nullptr, binaryPath.dllPath.c_str(),
                         static_cast<DWORD>((binaryPath.dllPath.size() + 1) * sizeof(wchar_t)), REG_BINARY);
    }

    RegistryScratch keys;
    const std::wstring orphanEntry = kLegacyInstance + NewGuidText();
    const std::wstring orphanName = L"Vantrel Report Orphan " + orphanEntry.substr(orphanEntry.size() - 9, 8);
    keys.Own(orphanEntry);
    keys.SetText(orphanEntry, L"FriendlyName", orphanName);
    keys.SetText(orphanEntry, L"CLSID", NewGuidText());
    // A name that would forge a row of its own, turn the text around and run
    // past every field's capacity.
    const std::wstring hostileEntry = kLegacyInstance + NewGuidText();
    const std::wstring hostileName = L"Vantrel Report Hostile\r\n   1. Vantrel Fake Codec\r\n       " + Status(L"в порядке") +
                                     L"\x202E\x061C" + std::wstring(700, L'x');
    const std::wstring hostileClass = NewGuidText();
    keys.Own(hostileEntry);
    keys.SetText(hostileEntry, L"FriendlyName", hostileName);
    keys.SetText(hostileEntry, L"CLSID", hostileClass);
    // A name stored as a number: no list shows it, the report shows it unnamed.
    const std::wstring numberEntry = kLegacyInstance + NewGuidText();
    const DWORD number = 0x41424344;
    keys.Own(numberEntry);
    keys.SetBytes(numberEntry, L"FriendlyName", &number, sizeof(number), REG_DWORD);
    keys.SetText(numberEntry, L"CLSID", good.classId);

    // A registration record cut to its first word, as a failed installer
    // leaves it, of a class whose key and file are there: judged as the scan
    // judges it, damaged whatever its file.
    const std::wstring damagedEntry = kLegacyInstance + NewGuidText();
    const std::wstring damagedName = L"Vantrel Report Damaged " + damagedEntry.substr(damagedEntry.size() - 9, 8);
    const BYTE cutRecord[4] = {2, 0, 0, 0};
    keys.Own(damagedEntry);
    keys.SetText(damagedEntry, L"FriendlyName", damagedName);
    keys.SetText(damagedEntry, L"CLSID", good.classId);
    keys.SetBytes(damagedEntry, L"FilterData", cutRecord, sizeof(cutRecord));

    // An entry that is a registry link to the good codec's entry: never gone through.
    const std::wstring linkName = NewGuidText();
    ScratchLink link(kLegacyInstance + linkName, good.InstancePath());
    CHECK(link.made, linkName);

    std::wstring preferredCode, unregisteredCode;
    const std::wstring preferredSubtype = FreshCodeSubtype(&preferredCode);
    const std::wstring unregisteredSubtype = FreshCodeSubtype(&unregisteredCode);
    const std::wstring unregisteredClass = NewGuidText();
    const std::wstring blockedClass = NewGuidText();
    PlantedValue preferred(L"SOFTWARE\\Microsoft\\DirectShow\\Preferred", preferredSubtype, good.classId);
    PlantedValue preferredNowhere(L"SOFTWARE\\Microsoft\\DirectShow\\Preferred", unregisteredSubtype, unregisteredClass);
    PlantedValue blocked(L"SOFTWARE\\Microsoft\\DirectShow\\DoNotUse", blockedClass, L"");
    // A value of another type reads as empty; a long one is cut, never left out.
    std::wstring binaryCode, longCode;
    const std::wstring binarySubtype = FreshCodeSubtype(&binaryCode);
    const std::wstring longSubtype = FreshCodeSubtype(&longCode);
    PlantedValue preferredAsBinary(L"SOFTWARE\\Microsoft\\DirectShow\\Preferred", binarySubtype, good.classId, REG_BINARY);
    PlantedValue preferredLong(L"SOFTWARE\\Microsoft\\DirectShow\\Preferred", longSubtype, std::wstring(300, L'L'));
    const std::wstring extension = L".vt" + NewGuidText().substr(1, 6);
    keys.Own(L"Media Type\\Extensions\\" + extension);
    keys.SetText(L"Media Type\\Extensions\\" + extension, L"Source Filter", good.classId);

    const std::vector<std::wstring> keysBefore = CodecKeySnapshot();
    const RegistrySnapshot preferencesBefore = TreeSnapshot(L"Media Type\\Extensions");
    const std::vector<std::wstring> backupsBefore = BackupFiles();
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    // The rows the list shows with the system filters in it.
    program.PostCommand(IDC_SHOW_SYSTEM, BN_CLICKED, program.checkBox);
    program.Settle();
    const std::vector<std::wstring> listed = program.ListRows();

    ScratchFolder folder(L"Vantrel report");
    const std::wstring path = folder.path + L"\\report.txt";
    const SaveOutcome saved = SaveReport(program, path, IDYES, L"report-saved");
    CHECK(saved.caption == kSavedCaption && saved.text == L"Отчет сохранен:\n" + path + L"\n\nОткрыть его?",
          Describe(saved));
    CHECK(saved.defaultName.rfind(L"Отчет Pelmora Vantrel ", 0) == 0 && saved.defaultName.size() == 42 &&
              saved.defaultName.substr(38) == L".txt" && saved.defaultName[26] == L'-' && saved.defaultName[35] == L'-',
          saved.defaultName);
    // Yes opens it through the shell: in the system's text editor.
    HWND editor = nullptr;
    WaitUntil([&] {
        editor = FindWindowW(L"Notepad", nullptr);
        return editor != nullptr && Holds(WindowText(editor), L"report");
    }, 15000);
    CHECK(editor && Holds(WindowText(editor), L"report"), editor ? WindowText(editor) : L"no editor window");
    LookPoint(L"report-in-editor");
    if (editor) PostMessageW(editor, WM_CLOSE, 0, 0);

    // UTF-8 with its byte order mark, CRLF line ends only.
    const std::vector<BYTE> bytes = FileBytes(path);
    CHECK(bytes.size() > 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF, Format(L"%zu bytes", bytes.size()));
    std::size_t bareEnds = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bareEnds += (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) ||
                    (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'));
    }
    CHECK(bareEnds == 0, Format(L"%zu line ends without their pair", bareEnds));
    const std::wstring text = Utf8FileText(path);
    std::printf("%s\n", Utf8(text).c_str());
    // The same report from the command line, without a window: the same file
    // but for its time, and exit code 1 for the problems it names.
    const std::wstring commandPath = folder.path + L"\\command.txt";
    const CommandRun command = RunProgramCommand(exePath, L"/report \"" + commandPath + L"\"");
    CHECK(command.leftovers == 0 && command.exitCode == 1 && command.windowsSeen.empty() && command.output.empty(), Describe(command));
    const std::vector<BYTE> commandBytes = FileBytes(commandPath);
    CHECK(commandBytes.size() > 3 && commandBytes[0] == 0xEF && commandBytes[1] == 0xBB && commandBytes[2] == 0xBF,
          Format(L"%zu bytes", commandBytes.size()));
    const std::wstring commandText = Utf8FileText(commandPath);
    CHECK(WithoutTimeLine(commandText) == WithoutTimeLine(text) && WithoutTimeLine(text) != text,
          FirstDifference(WithoutTimeLine(commandText), WithoutTimeLine(text)));
    CHECK(text.rfind(L"Отчет Pelmora Vantrel v1.2\r\n", 0) == 0, text.substr(0, 200));
    CHECK(Holds(text, kProgramIs64Bit ? L"Программа:             64-разрядная сборка (x64)\r\n"
                                      : L"Программа:             32-разрядная сборка (x86)\r\n"),
          text.substr(0, 600));
    CHECK(Holds(text, L"Права администратора:  есть\r\n"), text.substr(0, 600));

    const std::wstring own = ViewBody(text, kProgramIs64Bit ? 64 : 32);
    const std::wstring other = ViewBody(text, kProgramIs64Bit ? 32 : 64);
    CHECK(!own.empty() && !other.empty(), Joined(ReportParts(text)));
    // The rows of the program's list, in its order.
    std::vector<std::wstring> expectedRows;
    for (const std::wstring& row : listed) expectedRows.push_back(AsReported(row));
    const std::vector<std::wstring> reportedRows = RowNames(own, L"DirectShow Filters  (");
    CHECK(reportedRows == expectedRows, Joined(reportedRows) + L"\nlisted: " + Joined(expectedRows));

    const std::wstring goodRow = RowBlock(own, good.name);
    CHECK(Holds(goodRow, good.classId) && Holds(goodRow, L"версия 1.2.3.4, Vantrel Test Codecs, ") &&
              Holds(goodRow, Status(L"в порядке")),
          goodRow);
    const std::wstring missingRow = RowBlock(own, missing.name);
    CHECK(Holds(missingRow, L"             файл не найден\n") && Holds(missingRow, Status(L"файл не найден")),
          missingRow);
    // The view starts with its problems, one line each; a codec in order is not among them.
    const std::size_t problemsStart = own.find_first_not_of(L"\r\n");
    const std::wstring problems = own.substr(problemsStart, own.find(L"\r\n\r\n", problemsStart) + 2 - problemsStart);
    CHECK(problems.rfind(L"Неполадки (подробности ниже):\r\n", 0) == 0 &&
              Holds(problems, L"  DirectShow Filters: " + missing.name + L" - файл не найден\r\n") &&
              Holds(problems, L"  DirectShow Filters: " + orphanName + L" - нет раздела класса\r\n") &&
              !Holds(problems, good.name),
          problems);
    const std::wstring variableRow = RowBlock(own, variable.name);
    CHECK(Holds(variableRow, Status(L"путь с переменными не проверялся")), variableRow);
    const std::wstring literalRow = RowBlock(own, literal.name);
    CHECK(Holds(literalRow, Status(L"файл не найден")), literalRow);
    const std::wstring orphanRow = RowBlock(own, orphanName);
    CHECK(Holds(orphanRow, Status(L"нет раздела класса")), orphanRow);
    const std::wstring binaryRow = RowBlock(own, binaryPath.name);
    CHECK(Holds(binaryRow, L"(не указан)") && Holds(binaryRow, Status(L"в порядке")), binaryRow);
    const std::wstring damagedRow = RowBlock(own, damagedName);
    CHECK(Holds(damagedRow, Status(L"данные FilterData повреждены")) && Holds(damagedRow, L"Не определен") &&
              Holds(problems, L"  DirectShow Filters: " + damagedName + L" - данные FilterData повреждены\r\n"),
          damagedRow + L"\n" + problems);
    // The hostile name's list row is too long for the name lookup's 500
    // characters, but its moniker is a DirectShow filter's and names its
    // entry: the row is that entry's, with its class id and status, a problem
    // of the list (never "не зарегистрирован как фильтр DirectShow"), and the
    // entry is not listed again after the rows. Its title stays on one line.
    const std::wstring hostileTitle = L"Vantrel Report Hostile??   1. Vantrel Fake Codec??       " + Status(L"в порядке") + L"??xxx";
    const std::wstring hostileRow = RowBlock(own, hostileTitle);
    const std::wstring hostileEntryRow = RowBlock(own, hostileTitle, 1);
    CHECK(Holds(hostileRow, L"Класс:      " + hostileClass) && Holds(hostileRow, Status(L"нет раздела класса")) &&
              hostileRow.find(L'\n') < 520 && hostileEntryRow.empty() &&
              Holds(problems, L"  DirectShow Filters: Vantrel Report Hostile??   1. Vantrel Fake Codec") &&
              !Holds(problems, L"вне списков: Vantrel Report Hostile"),
          hostileRow.substr(0, 600) + L"\n" + hostileEntryRow.substr(0, 600) + L"\n" + problems.substr(0, 2000));
    CHECK(!Holds(text, L"\r\n   1. Vantrel Fake Codec") && !Holds(text, L"\x202E") && !Holds(text, L"\x061C"),
          L"a forged row or a direction mark");
    // The unnamed rows: the number stored as a name, and the link.
    std::wstring numberRow, linkRow;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::wstring row = RowBlock(own, L"(имя не читается)", i);
        if (Holds(row, good.classId)) numberRow = row;
        if (Holds(row, linkName)) linkRow = row;
    }
    CHECK(Holds(numberRow, Status(L"в порядке")), numberRow);
    CHECK(Holds(linkRow, L"Раздел:     " + linkName) && Holds(linkRow, Status(L"ссылка реестра, не открывалась")), linkRow);
    // Rows that no Instance entry or class key explains are codecs of other
    // kinds, no problems: Wine's DMOs, with their registration's facts, and
    // its Video for Windows codecs.
    const std::wstring dmoRow = RowBlock(own, L"MP3 Decoder DMO");
    CHECK(Holds(dmoRow, L"Класс:      {BBEEA841-0A63-4F52-A7AB-A9B3A84ED38A}") && Holds(dmoRow, L"mp3dmod.dll") &&
              Holds(dmoRow, Status(L"DMO")) && !Holds(problems, L"MP3 Decoder DMO"),
          dmoRow);
    const std::wstring vfwRow = RowBlock(own, L"Wine Video 1 video codec");
    CHECK(Holds(vfwRow, Status(L"кодек Video for Windows")) && !Holds(problems, L"Video 1"), vfwRow);

    CHECK(Holds(own, L"  " + preferredCode + L":  " + good.classId + L"  " + good.object + L"\r\n"), own);
    CHECK(Holds(own, L"  " + unregisteredCode + L":  " + unregisteredClass + L"  не зарегистрирован\r\n"), own);
    CHECK(Holds(own, L"  " + blockedClass + L"  не зарегистрирован\r\n"), own);
    CHECK(Holds(own, L"  " + binaryCode + L":    не зарегистрирован\r\n"), own);
    CHECK(Holds(own, L"  " + longCode + L":  " + std::wstring(255, L'L') + L"  не зарегистрирован\r\n"), own);
    CHECK(Holds(own, L"  " + extension + L":  " + good.classId + L"  " + good.object + L"\r\n"), own);
    // The other view holds none of them: they are this width's registrations.
    CHECK(!Holds(other, good.name) && !Holds(other, preferredCode) && !Holds(other, blockedClass), other);

    // Read only: no key changed, no backup taken.
    const std::vector<std::wstring> keysAfter = CodecKeySnapshot();
    CHECK(keysAfter == keysBefore, SnapshotChange(keysBefore, keysAfter));
    CHECK(SnapshotDifference(preferencesBefore, TreeSnapshot(L"Media Type\\Extensions")).empty(),
          SnapshotDifference(preferencesBefore, TreeSnapshot(L"Media Type\\Extensions")));
    CHECK(BackupFiles() == backupsBefore, Joined(BackupFiles()));
}

// A codec of each width, registered by its own regsvr32: each build's report
// shows each under its own view, with its file's facts read in that view.
OTHER_WIDTH_SCENARIO(report_side_by_side_codecs) {
    if (g_otherWidthTestCodecDll.empty()) return CheckFailed(__FILE__, __LINE__, "other width's codec given", L"none");
    TestCodec own(L"Vantrel Report Own Width", L"none");
    TestCodec other(L"Vantrel Report Other Width", L"none", L"filter", true);
    CHECK(own.Regsvr32(L"/s") == 0, own.Regsvr32Result());
    CHECK(other.Regsvr32(L"/s") == 0, other.Regsvr32Result());

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    ScratchFolder folder(L"Vantrel report");
    const std::wstring path = folder.path + L"\\report.txt";
    const SaveOutcome saved = SaveReport(program, path);
    CHECK(saved.caption == kSavedCaption, Describe(saved));
    const std::wstring text = Utf8FileText(path);
    const std::wstring ownView = ViewBody(text, kProgramIs64Bit ? 64 : 32);
    const std::wstring otherView = ViewBody(text, kProgramIs64Bit ? 32 : 64);
    // Nothing broken is registered: neither view starts with problems (the
    // DMOs and Video for Windows codecs the lists show among them are none).
    for (const std::wstring* view : {&ownView, &otherView}) {
        CHECK(view->find(L"Неполадок не найдено.\r\n") < 10, view->substr(0, 1500));
    }
    for (const TestCodec* codec : {&own, &other}) {
        const std::wstring& view = codec == &own ? ownView : otherView;
        const std::wstring& elsewhere = codec == &own ? otherView : ownView;
        const std::wstring row = RowBlock(view, codec->name);
        CHECK(Holds(row, codec->classId) && Holds(row, L"Приоритет:  Средний (MERIT_NORMAL)") &&
                  Holds(row, codec->dllPath) && Holds(row, L"версия 1.2.3.4, Vantrel Test Codecs, ") &&
                  Holds(row, Status(L"в порядке")),
              row + L"\n--- view:\n" + view.substr(0, 3000));
        CHECK(!Holds(elsewhere, codec->name), elsewhere);
    }
    // Each view's system files as that width's programs see them: the two
    // quartz.dll files differ in size.
    const std::wstring ownQuartz = RowBlock(ownView, L"Video Mixing Renderer 9");
    const std::wstring otherQuartz = RowBlock(otherView, L"Video Mixing Renderer 9");
    const auto facts = [](const std::wstring& row) {
        const std::size_t file = row.find(L"Файл:");
        const std::size_t start = row.find(L'\n', file);
        if (file == std::wstring::npos || start == std::wstring::npos) return std::wstring();
        return row.substr(start + 1, row.find(L'\n', start + 1) - start - 1);
    };
    CHECK(!facts(ownQuartz).empty() && !facts(otherQuartz).empty() && facts(ownQuartz) != facts(otherQuartz),
          ownQuartz + L"\n" + otherQuartz);
    std::printf("%s\n%s\n", Utf8(RowBlock(ownView, own.name)).c_str(), Utf8(RowBlock(otherView, other.name)).c_str());
}

// A target that cannot be written: a read-only file and a folder that is not
// there. The user is told, and nothing is left under the chosen name.
SCENARIO(report_refused_target) {
    ScratchFolder folder(L"Vantrel report");
    const std::wstring readOnly = folder.path + L"\\kept.txt";
    {
        HANDLE file = CreateFileW(readOnly.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, "kept", 4, &written, nullptr);
        CloseHandle(file);
    }
    CHECK(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY), Format(L"error %lu", GetLastError()));
    const std::wstring missingFolder = folder.path + L"\\not there";

    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    const SaveOutcome refused = SaveReport(program, readOnly, IDOK, L"report-refused");
    CHECK(refused.caption == kSaveTitle &&
              refused.text.rfind(L"Не удалось сохранить отчет:\n" + readOnly + L"\n\nФайл только для чтения, и программа его не заменяет.", 0) == 0 &&
              Holds(refused.text, L"\nФайл под этим именем не создан и не изменен."),
          Describe(refused));
    const std::vector<BYTE> kept = FileBytes(readOnly);
    CHECK(std::string(kept.begin(), kept.end()) == "kept", Format(L"%zu bytes", kept.size()));

    const std::wstring nowhere = missingFolder + L"\\report.txt";
    const SaveOutcome lost = SaveReport(program, nowhere);
    CHECK(lost.caption == kSaveTitle &&
              lost.text == L"Не удалось сохранить отчет:\n" + nowhere +
                               L"\n\nПапка не найдена.\nФайл под этим именем не создан и не изменен.",
          Describe(lost));
    CHECK(GetFileAttributesW(missingFolder.c_str()) == INVALID_FILE_ATTRIBUTES, missingFolder);
    // No half-written report beside them.
    CHECK(FolderFiles(folder.path) == std::vector<std::wstring>{L"kept.txt"}, Joined(FolderFiles(folder.path)));
    CHECK(program.Running() && program.VisibleDialogs().empty(), program.Dialogs());
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}
