#include "registry_location.h"

#include "../base/scoped.h"

#include <cwchar>

namespace {

// The kernel's name of an open key comes from NtQueryKey with the key name
// information class, the one interface that reports it; the structure it
// fills is a byte count followed by the name's characters.
using NtQueryKeyFunction = LONG(WINAPI*)(HANDLE key, int informationClass, void* information, ULONG length,
                                         ULONG* resultLength);
constexpr int kKeyNameInformation = 3;
constexpr LONG kStatusBufferOverflow = static_cast<LONG>(0x80000005L);
constexpr LONG kStatusBufferTooSmall = static_cast<LONG>(0xC0000023L);

NtQueryKeyFunction QueryKeyFunction() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll) return nullptr;
    const FARPROC found = GetProcAddress(ntdll, "NtQueryKey");
    return reinterpret_cast<NtQueryKeyFunction>(reinterpret_cast<void (*)()>(found));
}

// The kernel's full name of the key ("\REGISTRY\MACHINE\...").
bool KernelKeyName(HKEY key, GrowingText& name) {
    const NtQueryKeyFunction query = QueryKeyFunction();
    if (!query) return false;
    ULONG needed = 0;
    LONG status = query(key, kKeyNameInformation, nullptr, 0, &needed);
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (status != kStatusBufferOverflow && status != kStatusBufferTooSmall) break;
        HeapBuffer information;
        if (needed < sizeof(ULONG) || !information.Reserve(needed)) return false;
        const ULONG size = needed;
        status = query(key, kKeyNameInformation, information.Get(), size, &needed);
        if (status == 0) {
            ULONG bytes = 0;
            CopyMemory(&bytes, information.Get(), sizeof(bytes));
            if (bytes > size - sizeof(ULONG)) return false;
            // The characters follow the count directly; a heap block is aligned
            // for any type, so they are aligned for wchar_t.
            AppendChars(name, reinterpret_cast<const wchar_t*>(information.Get() + sizeof(ULONG)),
                        bytes / sizeof(wchar_t));
            return !name.failed;
        }
    }
    return false;
}

}  // namespace

bool AppendKernelKeyName(GrowingText& name, HKEY key) { return KernelKeyName(key, name); }

namespace {

bool KernelNameOf(HKEY root, const wchar_t* path, GrowingText& name) {
    RegKey key;
    if (key.OpenForReading(root, path) != ERROR_SUCCESS) return false;
    return KernelKeyName(key.Get(), name);
}

// Whether name begins with prefix at a whole path component; then *rest is
// what follows it.
bool StartsWithKey(const GrowingText& name, const wchar_t* prefix, std::size_t prefixLength, const wchar_t** rest) {
    if (prefixLength == 0) return false;
    *rest = KeyPathBelow(TextChars(name), name.length, prefix, prefixLength);
    return *rest != nullptr;
}

bool StartsWithKey(const GrowingText& name, const GrowingText& prefix, const wchar_t** rest) {
    return !prefix.failed && StartsWithKey(name, TextChars(prefix), prefix.length, rest);
}

}  // namespace

const wchar_t* KeyPathBelow(const wchar_t* path, std::size_t pathLength, const wchar_t* key, std::size_t keyLength) {
    if (pathLength < keyLength) return nullptr;
    if (CompareStringOrdinal(path, static_cast<int>(keyLength), key, static_cast<int>(keyLength), TRUE) !=
        CSTR_EQUAL) {
        return nullptr;
    }
    if (pathLength > keyLength && path[keyLength] != L'\\') return nullptr;
    return path + keyLength;
}

bool AppendRealKeyName(GrowingText& out, HKEY key) {
    GrowingText name;
    if (!KernelKeyName(key, name)) return false;
    const wchar_t* rest = nullptr;

    // The user's classes have a hive of their own on Windows
    // (\REGISTRY\USER\<user>_Classes) and sit inside the user's key under
    // Wine: the name the system reports for HKEY_CURRENT_USER\Software\Classes
    // tells which.
    GrowingText userClasses;
    if (KernelNameOf(HKEY_CURRENT_USER, L"Software\\Classes", userClasses) && StartsWithKey(name, userClasses, &rest)) {
        AppendString(out, L"HKEY_CURRENT_USER\\Software\\Classes");
        AppendString(out, rest);
        return !out.failed;
    }
    HKEY currentUser = nullptr;
    if (RegOpenCurrentUser(KEY_READ, &currentUser) == ERROR_SUCCESS) {
        RegKey user;
        user.Attach(currentUser);
        GrowingText userName;
        if (KernelKeyName(user.Get(), userName) && StartsWithKey(name, userName, &rest)) {
            AppendString(out, L"HKEY_CURRENT_USER");
            AppendString(out, rest);
            return !out.failed;
        }
    }
    const wchar_t machine[] = L"\\REGISTRY\\MACHINE";
    if (StartsWithKey(name, machine, std::wcslen(machine), &rest)) {
        AppendString(out, L"HKEY_LOCAL_MACHINE");
        AppendString(out, rest);
        return !out.failed;
    }
    const wchar_t users[] = L"\\REGISTRY\\USER";
    if (StartsWithKey(name, users, std::wcslen(users), &rest)) {
        AppendString(out, L"HKEY_USERS");
        AppendString(out, rest);
        return !out.failed;
    }
    return false;
}
