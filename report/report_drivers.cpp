#include "../base/app_state.h"
#include "../drivercodecs/driver_codecs.h"
#include "report_sections.h"
#include "report_text.h"

namespace {

constexpr wchar_t kRowIndent[] = L"       ";

}  // namespace

void AppendDriverCodecs(GrowingText& text, ReportProblems& problems, const ReportView& view) {
    AppendLine(text, L"Кодеки ACM и Video for Windows (HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32, "
                     L"system.ini [drivers32]):");
    DriverCodecList codecs;
    if (!ReadDriverCodecs(view.flag, codecs)) text.failed = true;
    problems.where = L"Кодеки ACM и Video for Windows";
    for (SIZE_T i = 0; i < codecs.Count(); ++i) {
        const DriverCodec& codec = codecs[i];
        wchar_t field[2 * kNameCapacity];
        DriverNameText(codec, field, kNameCapacity);
        AppendNumberedName(text, static_cast<unsigned>(i + 1), field);
        AppendLine(text);
        AppendLabelled(text, kRowIndent, L"Вид:", DriverKindTitle(codec.kind));
        if (codec.description[0] != L'\0') AppendLabelled(text, kRowIndent, L"Описание:", codec.description);
        DriverFileText(codec, field, 2 * kNameCapacity);
        AppendLabelled(text, kRowIndent, L"Файл:", field);
        AppendLabelled(text, kRowIndent, L"Состояние:", codec.state);
        AppendLine(text);
        if (!codec.inOrder) {
            DriverNameText(codec, field, kNameCapacity);
            NoteProblem(problems, field, codec.state);
        }
    }
    problems.where = L"";
    if (codecs.Count() == 0) AppendLine(text, L"  (нет)");
    AppendLine(text);
}
