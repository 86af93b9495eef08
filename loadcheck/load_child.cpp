#include "load_child.h"

#include "../base/bounded_text.h"
#include "../child/child_lines.h"
#include "../child/child_side.h"
#include "codec_kinds.h"
#include "driver_open.h"
#include "load_steps.h"
#include "load_work.h"

#include "../shellhandlers/shell_handlers.h"

#include <propsys.h>
#include <shlwapi.h>
#include <shobjidl.h>
#include <thumbcache.h>

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
    // What a handler driven with a file made.
    void Made(unsigned long width, unsigned long height, unsigned long properties) {
        wchar_t widthText[12], heightText[12], countText[12];
        FormatText(widthText, 12, L"%lx", width);
        FormatText(heightText, 12, L"%lx", height);
        FormatText(countText, 12, L"%lx", properties);
        Write(L'R', {index_, widthText, heightText, countText});
    }

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

bool Failed(CodecSteps& steps, DWORD code) {
    steps.Fail(code);
    return false;
}

// Loads the item's DLL as COM loads an in-process server (the DLL's own
// folder searched for the DLLs it needs), gets its class factory and makes an
// object, each step named first; false once a step failed (and said so).
bool MakeComObject(CodecSteps& steps, const LoadWorkItem& item, ComPtr<IClassFactory>& factory,
                   ComPtr<IUnknown>& object) {
    steps.Begin(StepLoadLibrary);
    const HMODULE module = LoadLibraryExW(item.path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) return Failed(steps, GetLastError());
    steps.Begin(StepFindEntry);
    const FARPROC entry = GetProcAddress(module, "DllGetClassObject");
    if (!entry) return Failed(steps, GetLastError());
    steps.Begin(StepClassObject);
    CLSID classId = GUID_NULL;
    if (FAILED(CLSIDFromString(item.classId, &classId))) return Failed(steps, static_cast<DWORD>(CO_E_CLASSSTRING));
    HRESULT hr = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(entry))(
        classId, IID_IClassFactory, reinterpret_cast<void**>(factory.Put()));
    if (FAILED(hr) || !factory) return Failed(steps, static_cast<DWORD>(FAILED(hr) ? hr : E_POINTER));
    steps.Begin(StepCreateObject);
    hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(object.Put()));
    if (FAILED(hr) || !object) return Failed(steps, static_cast<DWORD>(FAILED(hr) ? hr : E_POINTER));
    return true;
}

// A COM class as a player's COM would make it, each step named first. The
// objects are released at once; the DLL stays loaded.
void CheckComClass(CodecSteps& steps, const LoadWorkItem& item) {
    ComPtr<IClassFactory> factory;
    ComPtr<IUnknown> object;
    if (!MakeComObject(steps, item, factory, object)) return;
    for (int kind = 0; kind < kLoadKindCount; ++kind) {
        if ((item.kinds & KindBit(static_cast<LoadKind>(kind))) == 0 || !kLoadKinds[kind].interfaceId) continue;
        steps.Begin(StepQueryInterface, kind);
        ComPtr<IUnknown> answer;
        const HRESULT hr = object->QueryInterface(*kLoadKinds[kind].interfaceId, reinterpret_cast<void**>(answer.Put()));
        if (FAILED(hr) || !answer) return steps.Fail(static_cast<DWORD>(FAILED(hr) ? hr : E_NOINTERFACE));
    }
    steps.Begin(StepRelease);
    object.Reset();
    factory.Reset();
    steps.Pass();
}

// A multimedia driver opened as the system opens it (driver_open.h).
void CheckDriver(CodecSteps& steps, const LoadWorkItem& item) {
    OpenDriverAsSystem(steps, item.path, item.alias, (item.kinds & KindBit(LoadKindAcm)) != 0);
}

// The ids of the interfaces a handler is initialised through (propsys.h and
// shobjidl.h declare them; this toolchain's uuid library does not hold them all).
const IID kInitializeWithStreamId = {0xb824b49d, 0x22ac, 0x4161, {0xac, 0x8a, 0x99, 0x16, 0xe8, 0xfa, 0x3f, 0x7f}};
const IID kInitializeWithFileId = {0xb7d14566, 0x0509, 0x4cce, {0xa7, 0x1f, 0x0a, 0x55, 0x42, 0x33, 0xbd, 0x9b}};
const IID kInitializeWithItemId = {0x7f73be3f, 0xfb79, 0x493c, {0xa6, 0xc7, 0x7e, 0xe1, 0x4e, 0x24, 0x58, 0x41}};
const IID kShellItemId = {0x43826d1e, 0xe718, 0x42ee, {0xbc, 0x55, 0xa1, 0xe2, 0x61, 0xc3, 0x7b, 0xfe}};

// The side Explorer asks a thumbnail of.
constexpr UINT kThumbnailSide = 256;

// Saves the bitmap as a 32-bit BMP file at path; its size goes to *width and *height.
bool SaveThumbnail(HBITMAP bitmap, const wchar_t* path, unsigned long* width, unsigned long* height) {
    BITMAP facts = {};
    if (!GetObjectW(bitmap, sizeof(facts), &facts) || facts.bmWidth <= 0 || facts.bmHeight == 0) return false;
    *width = static_cast<unsigned long>(facts.bmWidth);
    *height = static_cast<unsigned long>(facts.bmHeight < 0 ? -facts.bmHeight : facts.bmHeight);
    if (*width > 4096 || *height > 4096) return true;  // named by its size, not kept
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = static_cast<LONG>(*width);
    header.biHeight = static_cast<LONG>(*height);  // bottom-up, as a BMP file holds it
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    const DWORD bytes = *width * *height * 4;
    HeapBuffer pixels;
    if (!pixels.Reserve(bytes)) return true;
    const HDC screen = GetDC(nullptr);
    const int lines = GetDIBits(screen, bitmap, 0, *height, pixels.Get(), reinterpret_cast<BITMAPINFO*>(&header),
                                DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (lines != static_cast<int>(*height)) return true;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + bytes;
    FileHandle out(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.Valid()) return true;
    DWORD written = 0;
    WriteFile(out.Get(), &file, sizeof(file), &written, nullptr);
    WriteFile(out.Get(), &header, sizeof(header), &written, nullptr);
    WriteFile(out.Get(), pixels.Get(), bytes, &written, nullptr);
    return true;
}

// The handler initialised with the file as Explorer initialises it: a
// read-only stream of it, else its path, else its shell item; an image
// extractor through IPersistFile::Load. The file is never opened for writing.
HRESULT InitializeWithFile(IUnknown* object, const LoadWorkItem& item, bool extractor) {
    if (extractor) {
        ComPtr<IPersistFile> persist;
        HRESULT hr = object->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(persist.Put()));
        return FAILED(hr) ? hr : persist->Load(item.media, STGM_READ);
    }
    ComPtr<IInitializeWithStream> withStream;
    if (SUCCEEDED(object->QueryInterface(kInitializeWithStreamId, reinterpret_cast<void**>(withStream.Put())))) {
        ComPtr<IStream> stream;
        const HRESULT hr = SHCreateStreamOnFileEx(item.media, STGM_READ | STGM_SHARE_DENY_WRITE, FILE_ATTRIBUTE_NORMAL,
                                                  FALSE, nullptr, stream.Put());
        return FAILED(hr) ? hr : withStream->Initialize(stream.Get(), STGM_READ);
    }
    ComPtr<IInitializeWithFile> withFile;
    if (SUCCEEDED(object->QueryInterface(kInitializeWithFileId, reinterpret_cast<void**>(withFile.Put())))) {
        return withFile->Initialize(item.media, STGM_READ);
    }
    ComPtr<IInitializeWithItem> withItem;
    HRESULT hr = object->QueryInterface(kInitializeWithItemId, reinterpret_cast<void**>(withItem.Put()));
    if (FAILED(hr)) return hr;
    ComPtr<IShellItem> shellItem;
    hr = SHCreateItemFromParsingName(item.media, nullptr, kShellItemId, reinterpret_cast<void**>(shellItem.Put()));
    return FAILED(hr) ? hr : withItem->Initialize(shellItem.Get(), STGM_READ);
}

// A thumbnail of 256 pixels, as Explorer asks for one; saved for the program.
HRESULT MakeThumbnail(IUnknown* object, const LoadWorkItem& item, bool extractor, unsigned long* width,
                      unsigned long* height) {
    HBITMAP bitmap = nullptr;
    HRESULT hr = S_OK;
    if (extractor) {
        ComPtr<IExtractImage> extract;
        hr = object->QueryInterface(IID_IExtractImage, reinterpret_cast<void**>(extract.Put()));
        wchar_t location[MAX_PATH] = {};
        DWORD priority = 0, flags = IEIFLAG_ORIGSIZE;
        SIZE size = {static_cast<LONG>(kThumbnailSide), static_cast<LONG>(kThumbnailSide)};
        if (SUCCEEDED(hr)) hr = extract->GetLocation(location, MAX_PATH, &priority, &size, 32, &flags);
        if (SUCCEEDED(hr) || hr == E_PENDING) hr = extract->Extract(&bitmap);
    } else {
        ComPtr<IThumbnailProvider> provider;
        hr = object->QueryInterface(*kShellKinds[ShellThumbnail].interfaceId, reinterpret_cast<void**>(provider.Put()));
        WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
        if (SUCCEEDED(hr)) hr = provider->GetThumbnail(kThumbnailSide, &bitmap, &alpha);
    }
    // The handler's bitmap is the caller's to delete.
    GdiObject made;
    made.Reset(bitmap);
    if (SUCCEEDED(hr) && (!bitmap || !SaveThumbnail(bitmap, item.thumbnail, width, height))) hr = E_POINTER;
    return hr;
}

// Every property: its count, each key and each value.
HRESULT ReadProperties(IUnknown* object, unsigned long* count) {
    ComPtr<IPropertyStore> store;
    HRESULT hr = object->QueryInterface(IID_IPropertyStore, reinterpret_cast<void**>(store.Put()));
    DWORD properties = 0;
    if (SUCCEEDED(hr)) hr = store->GetCount(&properties);
    for (DWORD i = 0; SUCCEEDED(hr) && i < properties; ++i) {
        PROPERTYKEY key = {};
        hr = store->GetAt(i, &key);
        PROPVARIANT value;
        PropVariantInit(&value);
        if (SUCCEEDED(hr)) hr = store->GetValue(key, &value);
        PropVariantClear(&value);
    }
    if (SUCCEEDED(hr)) *count = properties;
    return hr;
}

// An Explorer handler driven with a file, each step named first: made as a
// COM class, then for each of its kinds a fresh object initialised with the
// file and asked for its work; what it made is written before its result.
void CheckShellFile(CodecSteps& steps, const LoadWorkItem& item) {
    ComPtr<IClassFactory> factory;
    ComPtr<IUnknown> object;
    if (!MakeComObject(steps, item, factory, object)) return;
    HRESULT hr = S_OK;
    unsigned long width = 0, height = 0, properties = ULONG_MAX;
    for (int kind = LoadKindShellThumbnail; kind <= LoadKindShellProperty; ++kind) {
        if ((item.kinds & KindBit(static_cast<LoadKind>(kind))) == 0) continue;
        // Each kind of work on an object of its own, as Explorer makes one for each.
        steps.Begin(StepInitialize, kind);
        if (!object) hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(object.Put()));
        if (SUCCEEDED(hr) && !object) hr = E_POINTER;
        const bool extractor = kind == LoadKindShellExtractImage;
        if (SUCCEEDED(hr)) hr = InitializeWithFile(object.Get(), item, extractor);
        if (FAILED(hr)) return steps.Fail(static_cast<DWORD>(hr));
        if (kind == LoadKindShellThumbnail || extractor) {
            steps.Begin(StepThumbnail, kind);
            hr = MakeThumbnail(object.Get(), item, extractor, &width, &height);
        } else if (kind == LoadKindShellProperty) {
            steps.Begin(StepProperties, kind);
            hr = ReadProperties(object.Get(), &properties);
        }
        if (FAILED(hr)) return steps.Fail(static_cast<DWORD>(hr));
        object.Reset();
    }
    steps.Begin(StepRelease);
    factory.Reset();
    steps.Made(width, height, properties);
    steps.Pass();
}

// How the child checks a codec, by its procedure (codec_kinds.h).
using CheckProcedure = void (*)(CodecSteps& steps, const LoadWorkItem& item);
const CheckProcedure kProcedures[kLoadProcedureCount] = {CheckComClass, CheckDriver, CheckShellFile};

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
