#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../catalogue/view_registry.h"
#include "report_sections.h"
#include "report_text.h"

namespace {

using RtlGetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
using WineVersionCall = const char*(CDECL*)();

// The system's own version: GetVersionExW answers what the program's manifest
// lets it know, RtlGetVersion what the system is.
bool ReadSystemVersion(OSVERSIONINFOW& version) {
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll) return false;
    const auto call =
        reinterpret_cast<RtlGetVersionCall>(reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
    return call && call(&version) == 0;
}

// The Wine version where the program runs under Wine; empty on Windows.
void ReadWineVersion(wchar_t* text, std::size_t capacity) {
    CopyText(text, capacity, L"");
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll) return;
    const auto call =
        reinterpret_cast<WineVersionCall>(reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "wine_get_version")));
    const char* version = call ? call() : nullptr;
    if (!version) return;
    wchar_t wide[64] = {};
    for (std::size_t i = 0; i + 1 < 64 && version[i] != '\0'; ++i) {
        const unsigned char c = static_cast<unsigned char>(version[i]);
        wide[i] = c < 0x80 ? static_cast<wchar_t>(c) : L'?';
    }
    FormatText(text, capacity, L" (Wine %s)", wide);
}

// Whether the program's token holds the Administrators group enabled: the
// rights it runs with, not the ones its user could ask for.
bool RunsAsAdministrator() {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, &administrators)) {
        return false;
    }
    BOOL member = FALSE;
    const BOOL checked = CheckTokenMembership(nullptr, administrators, &member);
    FreeSid(administrators);
    return checked && member;
}

void HeaderLine(GrowingText& text, const wchar_t* label, const wchar_t* value) {
    AppendLabelled(text, L"", label, value, 23);
}

}  // namespace

int MachineReportViews(ReportView (&views)[2]) {
    RegistryView machine[2];
    const int count = MachineRegistryViews(machine);
    for (int i = 0; i < count; ++i) views[i] = {machine[i].flag, machine[i].width};
    return count;
}

void AppendReportHeader(GrowingText& text, const SYSTEMTIME& now, const ReportView* views, int viewCount) {
    AppendLine(text, L"Отчет Pelmora Vantrel v1.2");
    AppendLine(text);
    wchar_t line[kShortTextCapacity];
    FormatText(line, kShortTextCapacity, L"%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
               now.wMinute, now.wSecond);
    HeaderLine(text, L"Дата и время:", line);

    OSVERSIONINFOW version;
    wchar_t wine[80];
    ReadWineVersion(wine, 80);
    const wchar_t* bits = SystemIs64Bit() ? L"64-разрядная" : L"32-разрядная";
    if (ReadSystemVersion(version)) {
        wchar_t servicePack[130];
        CopyText(servicePack, 130, version.szCSDVersion);
        FormatText(line, kShortTextCapacity, L"%lu.%lu, сборка %lu%s%s, %s%s", version.dwMajorVersion,
                   version.dwMinorVersion, version.dwBuildNumber, servicePack[0] ? L", " : L"", servicePack, bits,
                   wine);
    } else {
        FormatText(line, kShortTextCapacity, L"версия не определена, %s%s", bits, wine);
    }
    HeaderLine(text, L"Windows:", line);
    HeaderLine(text, L"Программа:",
                   sizeof(void*) == 8 ? L"64-разрядная сборка (x64)" : L"32-разрядная сборка (x86)");
    HeaderLine(text, L"Права администратора:", RunsAsAdministrator() ? L"есть" : L"нет");
    CopyText(line, kShortTextCapacity, L"");
    for (int i = 0; i < viewCount; ++i) {
        if (i > 0) AppendText(line, kShortTextCapacity, L", ");
        AppendText(line, kShortTextCapacity, views[i].Title());
        if (views[i].Own()) AppendText(line, kShortTextCapacity, L" (их видит эта программа)");
    }
    HeaderLine(text, L"В отчете:", line);
    AppendLine(text);
    // One line each, without columns: a proportional font (a forum post) keeps them readable.
    AppendLine(text, L"Состояния фильтров:");
    AppendLine(text, L"  \"в порядке\": раздел класса есть, файл кодека найден;");
    AppendLine(text, L"  \"нет раздела класса\": запись указывает на класс, которого нет в реестре;");
    AppendLine(text, L"  \"файл не найден\": файла кодека нет по пути из реестра;");
    AppendLine(text, L"  \"данные FilterData повреждены\": запись фильтра обрезана или испорчена;");
    AppendLine(text, L"  \"путь с переменными не проверялся\": путь с %переменными%, как при поиске некорректных кодеков;");
    AppendLine(text, L"  \"кодек ACM\", \"кодек Video for Windows\", \"DMO\": кодек другого вида в списке фильтров, не неполадка (кодеки ACM и Video for Windows перечислены в конце каждого раздела);");
    AppendLine(text, L"  \"не зарегистрирован как фильтр DirectShow\": у строки списка нет записи Instance и раздела класса, не неполадка;");
    AppendLine(text, L"  \"данные типов повреждены\": списки форматов кодека Media Foundation обрезаны или не двоичные;");
    AppendLine(text, L"  \"нет записи кодека\": категория Media Foundation называет кодек, раздела которого нет.");
    AppendLine(text, L"Состояния кодеков ACM и Video for Windows:");
    AppendLine(text, L"  \"в порядке\": файл драйвера найден, это библиотека DLL той же разрядности;");
    AppendLine(text, L"  \"файл не найден\": файла нет ни по пути из записи, ни в системной папке;");
    AppendLine(text, L"  \"другая разрядность (32-разрядный файл)\": программы этой разрядности кодек загрузить не могут;");
    AppendLine(text, L"  \"имя не действует\": имя видеокодека не из четырех знаков после \"vidc.\", Windows его не находит;");
    AppendLine(text, L"  \"из system.ini\": запись раздела [drivers32] файла system.ini, которой нет в реестре.");
    AppendLine(text, L"Состояния обработчиков файлов Проводника (эскизы, просмотр, свойства; первый найденный в порядке поиска Проводника):");
    AppendLine(text, L"  \"в порядке\": файл найден, это библиотека DLL этой разрядности, нужные ей библиотеки найдены;");
    AppendLine(text, L"  \"нет раздела класса\", \"файл не найден\", \"другая разрядность (...)\", \"не найдена библиотека: ...\": Проводник обработчик не загрузит;");
    AppendLine(text, L"  \"отключен\": класс записан в Shell Extensions\\Blocked, Проводник его не загружает, не неполадка;");
    AppendLine(text, L"  \"не одобрен\": политика EnforceShellExtensionSecurity включена, а класса нет в Shell Extensions\\Approved.");
}
