#include "load_child.h"

#include "../base/bounded_text.h"
#include "../child/child_lines.h"
#include "../child/child_side.h"
#include "codec_kinds.h"
#include "driver_open.h"
#include "load_steps.h"
#include "load_work.h"

#include <cwchar>

const wchar_t kLoadCheckOption[] = L"/vantrel-load-check";

namespace {

bool ReadNumber(const wchar_t* text, unsigned long long* value) {
    wchar_t* end = nullptr;
    *value = std::wcstoull(text, &end, 16);
    return text[0] != L'\0' && *end == L'\0';
}

// Names each step of one codec in the journal before it begins it, and its
// result after it.
class CodecSteps : public DriverSteps {
public:
    CodecSteps(LoadWorkView& work, std::size_t index) : work_(work) { FormatText(index_, 20, L"%zx", index); }
    void Begin(LoadStep step, int kind = -1) override {
        step_ = step;
        kind_ = kind;
        wchar_t stepText[8], kindText[8];
        FormatText(stepText, 8, L"%x", static_cast<unsigned>(step_));
        FormatText(kindText, 8, L"%x", static_cast<unsigned>(kind_));
        Write(L'S', {index_, stepText, kind_ >= 0 ? kindText : nullptr});
    }
    // The step begun last failed with code; the codec is done.
    void Fail(DWORD code) override {
        wchar_t stepText[8], codeText[12], kindText[8];
        FormatText(stepText, 8, L"%x", static_cast<unsigned>(step_));
        FormatText(codeText, 12, L"%lx", static_cast<unsigned long>(code));
        FormatText(kindText, 8, L"%x", static_cast<unsigned>(kind_));
        Write(L'E', {index_, stepText, codeText, kind_ >= 0 ? kindText : nullptr});
    }
    void Pass() override { Write(L'O', {index_}); }

private:
    void Write(wchar_t kind, std::initializer_list<const wchar_t*> fields) {
        wchar_t line[kLoadLineChars + 1];
        FormatChildLine(line, kLoadLineChars + 1, kind, fields);
        work_.Write(line);
    }

    LoadWorkView& work_;
    wchar_t index_[20];
    LoadStep step_ = StepLoadLibrary;
    int kind_ = -1;
};

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// A COM class as a player's COM would make it, each step named first. The
// objects are released at once; the DLL stays loaded.
void CheckComClass(CodecSteps& steps, const LoadWorkItem& item) {
    CLSID classId = GUID_NULL;
    steps.Begin(StepLoadLibrary);
    // As COM loads an in-process server: the DLL's own folder is searched
    // for the DLLs it needs.
    const HMODULE module = LoadLibraryExW(item.path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) return steps.Fail(GetLastError());
    steps.Begin(StepFindEntry);
    const FARPROC entry = GetProcAddress(module, "DllGetClassObject");
    if (!entry) return steps.Fail(GetLastError());
    steps.Begin(StepClassObject);
    if (FAILED(CLSIDFromString(item.classId, &classId))) return steps.Fail(static_cast<DWORD>(CO_E_CLASSSTRING));
    IClassFactory* factory = nullptr;
    HRESULT hr = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(entry))(
        classId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr) || !factory) return steps.Fail(static_cast<DWORD>(FAILED(hr) ? hr : E_POINTER));
    steps.Begin(StepCreateObject);
    IUnknown* object = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object));
    if (FAILED(hr) || !object) {
        steps.Fail(static_cast<DWORD>(FAILED(hr) ? hr : E_POINTER));
        factory->Release();
        return;
    }
    for (int kind = 0; kind < kLoadKindCount; ++kind) {
        if ((item.kinds & KindBit(static_cast<LoadKind>(kind))) == 0 || !kLoadKinds[kind].interfaceId) continue;
        steps.Begin(StepQueryInterface, kind);
        IUnknown* answer = nullptr;
        hr = object->QueryInterface(*kLoadKinds[kind].interfaceId, reinterpret_cast<void**>(&answer));
        if (answer) answer->Release();
        if (FAILED(hr) || !answer) {
            steps.Fail(static_cast<DWORD>(FAILED(hr) ? hr : E_NOINTERFACE));
            object->Release();
            factory->Release();
            return;
        }
    }
    steps.Begin(StepRelease);
    object->Release();
    factory->Release();
    steps.Pass();
}

// A multimedia driver opened as the system opens it (driver_open.h).
void CheckDriver(CodecSteps& steps, const LoadWorkItem& item) {
    OpenDriverAsSystem(steps, item.path, item.alias, (item.kinds & KindBit(LoadKindAcm)) != 0);
}

// How the child checks a codec, by its procedure (codec_kinds.h).
using CheckProcedure = void (*)(CodecSteps& steps, const LoadWorkItem& item);
const CheckProcedure kProcedures[kLoadProcedureCount] = {CheckComClass, CheckDriver};

}  // namespace

bool IsLoadCheckChild(HANDLE* section) {
    wchar_t text[24];
    wchar_t* fields[] = {text};
    unsigned long long value = 0;
    if (!ReadChildCommandLine(kLoadCheckOption, fields, 1, 24) || !ReadNumber(text, &value)) return false;
    *section = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value));
    return true;
}

int RunLoadCheckChild(HANDLE section) {
    BeginChildProcess();
    // As a player's thread has it: a single-threaded apartment.
    CoInitialize(nullptr);
    // The program's word: how many items the list holds, and which it takes:
    // from first up to, not including, end.
    wchar_t word[64];
    unsigned long long count = 0, first = 0, end = 0;
    wchar_t* fields[3] = {};
    LoadWorkView work;
    bool read = ReadChildInput(word, 64);
    fields[0] = word;
    for (int i = 1; read && i < 3; ++i) {
        fields[i] = wcschr(fields[i - 1], L' ');
        if (fields[i]) *fields[i]++ = L'\0';
        read = fields[i] != nullptr;
    }
    if (read && ReadNumber(fields[0], &count) && ReadNumber(fields[1], &first) && ReadNumber(fields[2], &end) &&
        end <= count && work.Open(section, count)) {
        for (std::size_t index = first; index < end; ++index) {
            const LoadWorkItem item = work.Item(index);
            CodecSteps steps(work, index);
            if (item.procedure < kLoadProcedureCount) kProcedures[item.procedure](steps, item);
        }
        wchar_t last[kLoadLineChars + 1];
        FormatChildLine(last, kLoadLineChars + 1, L'D', {});
        work.Write(last);
    }
    EndChildProcess();
}
