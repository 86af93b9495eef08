#include "load_child.h"

#include "../base/bounded_text.h"
#include "../child/child_lines.h"
#include "../child/child_side.h"
#include "codec_kinds.h"
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

// Names each step of one codec on the pipe before it begins it.
class CodecSteps {
public:
    CodecSteps(HANDLE channel, std::size_t index) : channel_(channel) { FormatText(index_, 20, L"%zx", index); }
    void Begin(LoadStep step, int kind = -1) {
        step_ = step;
        kind_ = kind;
        wchar_t stepText[8], kindText[8];
        FormatText(stepText, 8, L"%x", static_cast<unsigned>(step));
        FormatText(kindText, 8, L"%x", static_cast<unsigned>(kind));
        WriteChildLine(channel_, kLoadLineChars + 1, L'S', {index_, stepText, kind >= 0 ? kindText : nullptr});
    }
    // The step begun last failed with code; the codec is done.
    void Fail(DWORD code) {
        wchar_t stepText[8], codeText[12], kindText[8];
        FormatText(stepText, 8, L"%x", static_cast<unsigned>(step_));
        FormatText(codeText, 12, L"%lx", static_cast<unsigned long>(code));
        FormatText(kindText, 8, L"%x", static_cast<unsigned>(kind_));
        WriteChildLine(channel_, kLoadLineChars + 1, L'E', {index_, stepText, codeText, kind_ >= 0 ? kindText : nullptr});
    }
    void Pass() { WriteChildLine(channel_, kLoadLineChars + 1, L'O', {index_}); }

private:
    HANDLE channel_;
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
        if ((item.kinds & KindBit(static_cast<LoadKind>(kind))) == 0) continue;
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

// How the child checks a codec, by its procedure (codec_kinds.h).
using CheckProcedure = void (*)(CodecSteps& steps, const LoadWorkItem& item);
const CheckProcedure kProcedures[kLoadProcedureCount] = {CheckComClass};

}  // namespace

bool IsLoadCheckChild(LoadChildArguments& arguments) {
    wchar_t section[24], count[24], first[24];
    wchar_t* fields[] = {section, count, first};
    unsigned long long values[3] = {};
    if (!ReadChildCommandLine(kLoadCheckOption, fields, 3, 24)) return false;
    for (int i = 0; i < 3; ++i) {
        if (!ReadNumber(fields[i], &values[i])) return false;
    }
    arguments.section = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(values[0]));
    arguments.count = static_cast<std::size_t>(values[1]);
    arguments.first = static_cast<std::size_t>(values[2]);
    return true;
}

int RunLoadCheckChild(const LoadChildArguments& arguments) {
    const HANDLE channel = BeginChildProcess();
    // As a player's thread has it: a single-threaded apartment.
    CoInitialize(nullptr);
    LoadWorkView work;
    if (work.Open(arguments.section, arguments.count)) {
        WriteChildLine(channel, kLoadLineChars + 1, L'H', {});
        for (std::size_t index = arguments.first; index < arguments.count; ++index) {
            const LoadWorkItem item = work.Item(index);
            CodecSteps steps(channel, index);
            if (item.procedure < kLoadProcedureCount) kProcedures[item.procedure](steps, item);
        }
        WriteChildLine(channel, kLoadLineChars + 1, L'D', {});
    }
    EndChildProcess();
}
