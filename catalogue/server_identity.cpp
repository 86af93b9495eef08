#include "server_identity.h"

#include "../base/app_state.h"
#include "../base/scoped.h"
#include "../modules/import_walk.h"
#include "server_path.h"

#include <cwchar>

namespace {

// The path without quotes and surrounding blanks, with backslashes for
// forward slashes (capacity kNameCapacity, as the expanded path).
void CleanPath(const wchar_t* path, wchar_t* clean) {
    std::size_t length = 0;
    for (const wchar_t* c = path; *c != L'\0' && length + 1 < kNameCapacity; ++c) {
        if (*c == L'"') continue;
        clean[length++] = *c == L'/' ? L'\\' : *c;
    }
    while (length > 0 && (clean[length - 1] == L' ' || clean[length - 1] == L'\t')) --length;
    clean[length] = L'\0';
    std::size_t start = 0;
    while (clean[start] == L' ' || clean[start] == L'\t') ++start;
    if (start > 0) std::wmemmove(clean, clean + start, length - start + 1);
}

bool IsBareName(const wchar_t* path) { return std::wcspbrk(path, L"\\:") == nullptr; }

}  // namespace

bool ServerFileIdentity(const wchar_t* serverPath, DWORD serverType, FileIdentity* identity) {
    wchar_t expanded[kNameCapacity];
    if (!ExpandServerPath(serverPath, serverType, expanded, kNameCapacity)) return false;
    wchar_t clean[kNameCapacity];
    CleanPath(expanded, clean);
    if (clean[0] == L'\0') return false;
    // A bare name is loaded from the places the system searches, in its
    // order; without an extension it is a DLL's name.
    wchar_t found[kNameCapacity];
    const wchar_t* file = clean;
    if (IsBareName(clean)) {
        const DWORD length = SearchPathW(nullptr, clean, L".dll", kNameCapacity, found, nullptr);
        if (length == 0 || length >= kNameCapacity) return false;
        file = found;
    }
    FileKey key;
    if (!KeyOfFile(file, &key)) return false;
    identity->volumeSerial = key.volume;
    identity->indexHigh = key.indexHigh;
    identity->indexLow = key.indexLow;
    return true;
}

bool SameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.volumeSerial == b.volumeSerial && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

bool SameServerFile(const wchar_t* a, const wchar_t* b) {
    FileIdentity first;
    FileIdentity second;
    if (ServerFileIdentity(a, REG_EXPAND_SZ, &first) && ServerFileIdentity(b, REG_EXPAND_SZ, &second)) {
        return SameFile(first, second);
    }
    wchar_t expandedA[kNameCapacity];
    wchar_t expandedB[kNameCapacity];
    return ExpandServerPath(a, REG_EXPAND_SZ, expandedA, kNameCapacity) &&
           ExpandServerPath(b, REG_EXPAND_SZ, expandedB, kNameCapacity) &&
           CompareStringOrdinal(expandedA, -1, expandedB, -1, TRUE) == CSTR_EQUAL;
}
