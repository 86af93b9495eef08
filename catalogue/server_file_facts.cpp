#include "server_file_facts.h"

#include "../base/app_state.h"
#include "../base/bounded_text.h"
#include "../base/file_found.h"
#include "../base/scoped.h"
#include "../modules/view_paths.h"
#include "server_path.h"

#include <cwchar>

namespace {

// Larger version resources are not read: real ones take a few kilobytes.
constexpr DWORD kLargestVersionInfo = 1u << 20;

// Copies at most `length` characters of a resource string, which a damaged
// file may leave unterminated, into text.
void CopyResourceString(const wchar_t* chars, UINT length, wchar_t* text, std::size_t capacity) {
    std::size_t kept = 0;
    while (kept < length && kept + 1 < capacity && chars[kept] != L'\0') {
        text[kept] = chars[kept];
        ++kept;
    }
    text[kept] = L'\0';
}

// A string of the version resource (CompanyName, FileDescription), in its
// first language, else in US English or Russian.
void ReadVersionString(const BYTE* info, const wchar_t* name, wchar_t* text, std::size_t capacity) {
    CopyText(text, capacity, L"");
    DWORD languages[3] = {0x04B00409, 0x04B00409, 0x04E30419};
    void* translation = nullptr;
    UINT bytes = 0;
    if (VerQueryValueW(info, L"\\VarFileInfo\\Translation", &translation, &bytes) && translation &&
        bytes >= sizeof(DWORD)) {
        CopyMemory(&languages[0], translation, sizeof(DWORD));
    }
    for (DWORD language : languages) {
        wchar_t query[96];
        FormatText(query, 96, L"\\StringFileInfo\\%04x%04x\\%ls", LOWORD(language), HIWORD(language), name);
        void* value = nullptr;
        UINT length = 0;
        if (VerQueryValueW(info, query, &value, &length) && value && length > 0) {
            CopyResourceString(static_cast<const wchar_t*>(value), length, text, capacity);
            if (text[0] != L'\0') return;
        }
    }
}

// "версия a.b.c.d" and the company, where the file has a version resource;
// its own description into description (when given).
void ReadVersionFacts(const wchar_t* path, wchar_t* facts, std::size_t capacity, wchar_t* description,
                      std::size_t descriptionCapacity) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0 || size > kLargestVersionInfo) return;
    HeapBuffer info;
    if (!info.Reserve(size) || !GetFileVersionInfoW(path, 0, size, info.Get())) return;
    void* fixed = nullptr;
    UINT bytes = 0;
    if (VerQueryValueW(info.Get(), L"\\", &fixed, &bytes) && fixed && bytes >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* version = static_cast<const VS_FIXEDFILEINFO*>(fixed);
        if (version->dwSignature == 0xFEEF04BD) {
            wchar_t text[64];
            FormatText(text, 64, L"версия %u.%u.%u.%u", HIWORD(version->dwFileVersionMS),
                       LOWORD(version->dwFileVersionMS), HIWORD(version->dwFileVersionLS),
                       LOWORD(version->dwFileVersionLS));
            AppendText(facts, capacity, text);
        }
    }
    wchar_t company[kShortTextCapacity];
    ReadVersionString(info.Get(), L"CompanyName", company, kShortTextCapacity);
    if (company[0] != L'\0') {
        if (facts[0] != L'\0') AppendText(facts, capacity, L", ");
        AppendText(facts, capacity, company);
    }
    if (description) ReadVersionString(info.Get(), L"FileDescription", description, descriptionCapacity);
}

// The report looks at each view's files as that view's programs see them (a
// 32-bit program's system32 is SysWOW64): the path as this process reaches it.
class FileViewOf {
public:
    FileViewOf(REGSAM view, const wchar_t* path) { PathInView(view, path, path_, kNameCapacity); }
    const wchar_t* Path() const { return path_; }

private:
    wchar_t path_[kNameCapacity];
};

}  // namespace

bool ServerFileFoundInView(REGSAM view, const wchar_t* serverPath) {
    const FileViewOf file(view, serverPath);
    return FileFound(file.Path());
}

const wchar_t kServerFileOk[] = L"в порядке";

const wchar_t* JudgeServerFile(REGSAM view, bool classKeyFound, const wchar_t* judgedServerPath, DWORD serverType) {
    if (!classKeyFound) return L"нет раздела класса";
    if (serverType == REG_EXPAND_SZ && std::wcschr(judgedServerPath, L'%') != nullptr) {
        return L"путь с переменными не проверялся";
    }
    return ServerFileFoundInView(view, judgedServerPath) ? kServerFileOk : L"файл не найден";
}

void FormatByteCount(unsigned long long count, wchar_t* text, std::size_t capacity) {
    wchar_t digits[32];
    FormatText(digits, 32, L"%I64u", count);
    wchar_t grouped[48];
    std::size_t length = 0;
    const std::size_t total = static_cast<std::size_t>(lstrlenW(digits));
    for (std::size_t i = 0; i < total; ++i) {
        if (i > 0 && (total - i) % 3 == 0) grouped[length++] = L' ';
        grouped[length++] = digits[i];
    }
    grouped[length] = L'\0';
    CopyText(text, capacity, grouped);
}

bool DescribeServerFile(REGSAM view, const wchar_t* serverPath, DWORD serverType, wchar_t* facts, std::size_t capacity,
                        wchar_t* description, std::size_t descriptionCapacity) {
    CopyText(facts, capacity, L"");
    if (description) CopyText(description, descriptionCapacity, L"");
    wchar_t expanded[kNameCapacity];
    if (!ExpandServerPath(serverPath, serverType, expanded, kNameCapacity)) CopyText(expanded, kNameCapacity, serverPath);
    const FileViewOf file(view, expanded);
    const wchar_t* path = file.Path();
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (path[0] == L'\0' || !GetFileAttributesExW(path, GetFileExInfoStandard, &attributes) ||
        (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        CopyText(facts, capacity, L"файл не найден");
        return false;
    }
    ReadVersionFacts(path, facts, capacity, description, descriptionCapacity);
    wchar_t size[48];
    FormatByteCount((static_cast<unsigned long long>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow, size,
                    48);
    if (facts[0] != L'\0') AppendText(facts, capacity, L", ");
    AppendText(facts, capacity, size);
    AppendText(facts, capacity, L" байт");
    return true;
}
