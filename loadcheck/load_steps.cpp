#include "load_steps.h"

#include "../base/bounded_text.h"
#include "../base/line_safety.h"

#include <cwchar>

namespace {

constexpr DWORD kMessageCapacity = 512;

// The names of the results a codec's class code gives that have no text of
// the system's (Wine has none for the class factory's refusals, for one).
struct NamedResult {
    HRESULT code;
    const wchar_t* name;
};
const NamedResult kNamedResults[] = {
    {CLASS_E_CLASSNOTAVAILABLE, L"CLASS_E_CLASSNOTAVAILABLE"},
    {CLASS_E_NOAGGREGATION, L"CLASS_E_NOAGGREGATION"},
    {REGDB_E_CLASSNOTREG, L"REGDB_E_CLASSNOTREG"},
    {E_NOINTERFACE, L"E_NOINTERFACE"},
    {E_NOTIMPL, L"E_NOTIMPL"},
    {E_POINTER, L"E_POINTER"},
    {E_FAIL, L"E_FAIL"},
    {E_UNEXPECTED, L"E_UNEXPECTED"},
    {E_OUTOFMEMORY, L"E_OUTOFMEMORY"},
    {E_INVALIDARG, L"E_INVALIDARG"},
};

// The system's own text for a code, on one line without its final stop's
// line break; false when the system has none.
bool SystemText(DWORD code, wchar_t* text, std::size_t capacity) {
    wchar_t message[kMessageCapacity];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        message, kMessageCapacity, nullptr);
    if (length == 0) return false;
    message[length < kMessageCapacity ? length : kMessageCapacity - 1] = L'\0';
    std::size_t end = std::wcslen(message);
    while (end > 0 && (message[end - 1] == L'\r' || message[end - 1] == L'\n' || message[end - 1] == L' ')) --end;
    message[end] = L'\0';
    ReplaceUnsafeInLine(message, L' ');
    if (message[0] == L'\0') return false;
    CopyText(text, capacity, message);
    return true;
}

// "<the system's text> (0x80004005)", else "E_FAIL (0x80004005)", else "ошибка 0x80004005".
void DescribeResult(HRESULT code, wchar_t* text, std::size_t capacity) {
    wchar_t said[512];
    if (SystemText(static_cast<DWORD>(code), said, 512)) {
        FormatText(text, capacity, L"%ls (0x%08lX)", said, static_cast<unsigned long>(code));
        return;
    }
    for (const NamedResult& named : kNamedResults) {
        if (named.code == code) {
            FormatText(text, capacity, L"%ls (0x%08lX)", named.name, static_cast<unsigned long>(code));
            return;
        }
    }
    FormatText(text, capacity, L"ошибка 0x%08lX", static_cast<unsigned long>(code));
}

// The function a codec's file must export for its kind.
const wchar_t* EntryName(LoadKind kind) {
    return kLoadKinds[kind].procedure == LoadDriver ? L"DriverProc" : L"DllGetClassObject";
}

// A driver's details, as its kind asks for them.
const wchar_t* DetailsMessage(LoadKind kind) { return kind == LoadKindAcm ? L"ACMDM_DRIVER_DETAILS" : L"ICM_GETINFO"; }

void NameDriverStepPhrase(LoadStep step, LoadKind kind, wchar_t* text, std::size_t capacity) {
    switch (step) {
    case StepDriverLoad: CopyText(text, capacity, L"при загрузке драйвера (DRV_LOAD)"); return;
    case StepDriverOpen: CopyText(text, capacity, L"при открытии"); return;
    case StepDriverInfo: FormatText(text, capacity, L"при запросе сведений о кодеке (%ls)", DetailsMessage(kind)); return;
    default: CopyText(text, capacity, L"при закрытии"); return;
    }
}

}  // namespace

void DescribeSystemError(DWORD code, wchar_t* text, std::size_t capacity) {
    wchar_t said[512];
    if (SystemText(code, said, 512)) {
        FormatText(text, capacity, L"%ls (ошибка %lu)", said, static_cast<unsigned long>(code));
    } else {
        FormatText(text, capacity, L"ошибка %lu", static_cast<unsigned long>(code));
    }
}

void NameStepPhrase(LoadStep step, LoadKind kind, wchar_t* text, std::size_t capacity) {
    if (step >= StepDriverLoad && step < kLoadStepCount) return NameDriverStepPhrase(step, kind, text, capacity);
    switch (step) {
    case StepLoadLibrary: CopyText(text, capacity, L"при загрузке"); return;
    case StepFindEntry: FormatText(text, capacity, L"при поиске функции %ls", EntryName(kind)); return;
    case StepClassObject: CopyText(text, capacity, L"при получении фабрики класса"); return;
    case StepCreateObject: CopyText(text, capacity, L"при создании объекта"); return;
    case StepQueryInterface:
        FormatText(text, capacity, L"при запросе интерфейса %ls", kLoadKinds[kind].interfaceName);
        return;
    case StepInitialize: CopyText(text, capacity, L"при инициализации файлом"); return;
    case StepThumbnail: CopyText(text, capacity, L"при создании эскиза"); return;
    case StepProperties: CopyText(text, capacity, L"при чтении свойств"); return;
    case StepRelease: CopyText(text, capacity, L"при освобождении объекта"); return;
    default: CopyText(text, capacity, L"при проверке"); return;
    }
}

void DescribeStepFailure(LoadStep step, LoadKind kind, DWORD code, wchar_t* text, std::size_t capacity) {
    wchar_t cause[640];
    switch (step) {
    case StepLoadLibrary:
        DescribeSystemError(code, cause, 640);
        FormatText(text, capacity, L"не загружается: %ls", cause);
        return;
    case StepFindEntry: FormatText(text, capacity, L"нет функции %ls", EntryName(kind)); return;
    case StepClassObject:
        DescribeResult(static_cast<HRESULT>(code), cause, 640);
        FormatText(text, capacity, L"фабрика класса не получена: %ls", cause);
        return;
    case StepCreateObject:
        DescribeResult(static_cast<HRESULT>(code), cause, 640);
        FormatText(text, capacity, L"объект не создан: %ls", cause);
        return;
    case StepQueryInterface:
        if (static_cast<HRESULT>(code) == E_NOINTERFACE) {
            FormatText(text, capacity, L"объект не поддерживает интерфейс %ls", kLoadKinds[kind].interfaceName);
        } else {
            DescribeResult(static_cast<HRESULT>(code), cause, 640);
            FormatText(text, capacity, L"объект не поддерживает интерфейс %ls: %ls", kLoadKinds[kind].interfaceName,
                       cause);
        }
        return;
    case StepInitialize:
        DescribeResult(static_cast<HRESULT>(code), cause, 640);
        FormatText(text, capacity, L"не инициализирован файлом: %ls", cause);
        return;
    case StepThumbnail:
        DescribeResult(static_cast<HRESULT>(code), cause, 640);
        FormatText(text, capacity, L"эскиз не создан: %ls", cause);
        return;
    case StepProperties:
        DescribeResult(static_cast<HRESULT>(code), cause, 640);
        FormatText(text, capacity, L"свойства не прочитаны: %ls", cause);
        return;
    case StepDriverLoad: CopyText(text, capacity, L"драйвер не загружается (DRV_LOAD)"); return;
    case StepDriverOpen:
        if (code == 0) {
            CopyText(text, capacity, L"не открывается");
        } else {
            FormatText(text, capacity, L"не открывается: ошибка %ld", static_cast<long>(code));
        }
        return;
    case StepDriverInfo:
        FormatText(text, capacity, L"сведения о кодеке не получены (%ls: %ld)", DetailsMessage(kind),
                   static_cast<long>(code));
        return;
    default: FormatText(text, capacity, L"ошибка 0x%08lX", static_cast<unsigned long>(code)); return;
    }
}
