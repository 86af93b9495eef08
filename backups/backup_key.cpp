#include "backup_key.h"

#include "../base/scoped.h"

#include <sddl.h>

namespace {

const wchar_t kKeyPath[] = L"SOFTWARE\\Pelmora Vantrel";
const wchar_t kValueName[] = L"BackupHashKey";
// Full access for Administrators and SYSTEM, nothing inherited, no one else.
const wchar_t kPermissions[] = L"D:P(A;;KA;;;BA)(A;;KA;;;SY)";
constexpr REGSAM kView = KEY_WOW64_64KEY;

LONG ReadValue(HKEY key, BYTE* bytes) {
    DWORD type = 0;
    DWORD size = kBackupKeyBytes;
    const LONG status = RegQueryValueExW(key, kValueName, nullptr, &type, bytes, &size);
    if (status == ERROR_MORE_DATA) return ERROR_INVALID_DATA;
    if (status != ERROR_SUCCESS) return status;
    return type == REG_BINARY && size == kBackupKeyBytes ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

// Makes the key with its permissions, or opens it where it is there; where
// it holds no key yet, sets its permissions again (whoever made it) and
// stores new random bytes. What is stored then is what is read.
LONG MakeKey(BYTE* bytes) {
    LocalMemory descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            kPermissions, SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.Put()), nullptr)) {
        return static_cast<LONG>(GetLastError());
    }
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.Get(), FALSE};
    RegKey key;
    DWORD disposition = 0;
    LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_QUERY_VALUE | KEY_SET_VALUE | WRITE_DAC | kView, &attributes, key.Put(),
                                  &disposition);
    if (status != ERROR_SUCCESS) return status;
    status = ReadValue(key.Get(), bytes);
    if (status == ERROR_SUCCESS) return status;  // made meanwhile by another instance
    // The descriptor's DACL is marked protected: nothing is inherited.
    status = RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor.Get());
    if (status != ERROR_SUCCESS) return status;
    BYTE made[kBackupKeyBytes];
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, made, sizeof(made), BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        return ERROR_INVALID_FUNCTION;
    }
    status = RegSetValueExW(key.Get(), kValueName, 0, REG_BINARY, made, sizeof(made));
    SecureZeroMemory(made, sizeof(made));
    return status == ERROR_SUCCESS ? ReadValue(key.Get(), bytes) : status;
}

}  // namespace

LONG ReadBackupKey(BYTE* bytes, bool make) {
    RegKey key;
    LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_QUERY_VALUE | kView, key.Put());
    if (status == ERROR_SUCCESS) status = ReadValue(key.Get(), bytes);
    if (!make || (status != ERROR_FILE_NOT_FOUND && status != ERROR_INVALID_DATA)) return status;
    return MakeKey(bytes);
}
