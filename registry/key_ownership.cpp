#include "key_ownership.h"

#include "../base/scoped.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstring>

namespace {

constexpr SECURITY_INFORMATION kOwnerAndPermissions = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// Enables the two privileges for as long as it lives, then puts them back as
// they were before.
class EnabledPrivileges {
public:
    LONG Enable() {
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token_.Put())) {
            return static_cast<LONG>(GetLastError());
        }
        struct {
            DWORD count;
            LUID_AND_ATTRIBUTES privileges[2];
        } wanted = {};
        wanted.count = 2;
        if (!LookupPrivilegeValueW(nullptr, L"SeTakeOwnershipPrivilege", &wanted.privileges[0].Luid) ||
            !LookupPrivilegeValueW(nullptr, L"SeRestorePrivilege", &wanted.privileges[1].Luid)) {
            return static_cast<LONG>(GetLastError());
        }
        wanted.privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        wanted.privileges[1].Attributes = SE_PRIVILEGE_ENABLED;
        DWORD size = sizeof(previous_);
        if (!AdjustTokenPrivileges(token_.Get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(&wanted), size,
                                   reinterpret_cast<TOKEN_PRIVILEGES*>(&previous_), &size)) {
            return static_cast<LONG>(GetLastError());
        }
        adjusted_ = true;
        // A token without them takes the call but enables nothing.
        if (GetLastError() == ERROR_NOT_ALL_ASSIGNED) return ERROR_PRIVILEGE_NOT_HELD;
        return ERROR_SUCCESS;
    }
    ~EnabledPrivileges() {
        if (adjusted_) {
            AdjustTokenPrivileges(token_.Get(), FALSE, reinterpret_cast<TOKEN_PRIVILEGES*>(&previous_), 0, nullptr,
                                  nullptr);
        }
    }

private:
    KernelHandle token_;
    struct {
        DWORD count;
        LUID_AND_ATTRIBUTES privileges[2];
    } previous_ = {};
    bool adjusted_ = false;
};

LONG OpenWith(RegKey& key, HKEY root, const wchar_t* path, REGSAM view, REGSAM access) {
    return RegOpenKeyExW(root, path, 0, access | view, key.Put());
}

// The key's owner and permissions, self-relative, into security.
LONG ReadSecurity(HKEY key, HeapBuffer& security) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(security.Size());
        const LONG status = RegGetKeySecurity(key, kOwnerAndPermissions, security.Size() ? security.Get() : nullptr,
                                              &size);
        if (status != ERROR_INSUFFICIENT_BUFFER) return status;
        if (!security.Reserve(size)) return ERROR_NOT_ENOUGH_MEMORY;
    }
    return ERROR_INSUFFICIENT_BUFFER;
}

void AppendSddl(GrowingText& text, const HeapBuffer& security) {
    wchar_t* sddl = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(security.Get(), SDDL_REVISION_1, kOwnerAndPermissions,
                                                              &sddl, nullptr)) {
        AppendString(text, L"?");
        return;
    }
    AppendString(text, sddl);
    LocalFree(sddl);
}

// Whether two descriptors name the same owner and hold the same permissions,
// byte for byte, with the same protection from inheritance.
bool SameOwnerAndPermissions(const HeapBuffer& a, const HeapBuffer& b) {
    PSID ownerA = nullptr, ownerB = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(a.Get(), &ownerA, &defaulted) ||
        !GetSecurityDescriptorOwner(b.Get(), &ownerB, &defaulted)) {
        return false;
    }
    if ((ownerA == nullptr) != (ownerB == nullptr) || (ownerA && !EqualSid(ownerA, ownerB))) return false;
    BOOL presentA = FALSE, presentB = FALSE;
    PACL aclA = nullptr, aclB = nullptr;
    if (!GetSecurityDescriptorDacl(a.Get(), &presentA, &aclA, &defaulted) ||
        !GetSecurityDescriptorDacl(b.Get(), &presentB, &aclB, &defaulted)) {
        return false;
    }
    if (presentA != presentB || (aclA == nullptr) != (aclB == nullptr)) return false;
    if (aclA && (aclA->AclSize != aclB->AclSize || std::memcmp(aclA, aclB, aclA->AclSize) != 0)) return false;
    SECURITY_DESCRIPTOR_CONTROL controlA = 0, controlB = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(a.Get(), &controlA, &revision);
    GetSecurityDescriptorControl(b.Get(), &controlB, &revision);
    return (controlA & SE_DACL_PROTECTED) == (controlB & SE_DACL_PROTECTED);
}

// The built-in Administrators group's SID.
struct AdministratorsSid {
    BYTE bytes[SECURITY_MAX_SID_SIZE];
    bool Make() {
        DWORD size = sizeof(bytes);
        return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, bytes, &size) != FALSE;
    }
    PSID Get() { return bytes; }
};

LONG MakeAdministratorsOwner(HKEY key, AdministratorsSid& administrators) {
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorOwner(&descriptor, administrators.Get(), FALSE)) {
        return static_cast<LONG>(GetLastError());
    }
    return RegSetKeySecurity(key, OWNER_SECURITY_INFORMATION, &descriptor);
}

// The permissions as they were, with Administrators also allowed to set
// (and query) values, on this key alone; protected from inheritance as before.
LONG GrantAdministratorsWrite(HKEY key, const HeapBuffer& original, AdministratorsSid& administrators) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(original.Get(), &present, &dacl, &defaulted)) {
        return static_cast<LONG>(GetLastError());
    }
    EXPLICIT_ACCESSW grant = {};
    grant.grfAccessPermissions = KEY_SET_VALUE | KEY_QUERY_VALUE;
    grant.grfAccessMode = GRANT_ACCESS;
    grant.grfInheritance = NO_INHERITANCE;
    grant.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    grant.Trustee.TrusteeType = TRUSTEE_IS_GROUP;
    grant.Trustee.ptstrName = static_cast<LPWSTR>(administrators.Get());
    PACL widened = nullptr;
    const DWORD made = SetEntriesInAclW(1, &grant, present ? dacl : nullptr, &widened);
    if (made != ERROR_SUCCESS) return static_cast<LONG>(made);
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(original.Get(), &control, &revision);
    LONG status = ERROR_SUCCESS;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, widened, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, control & SE_DACL_PROTECTED)) {
        status = static_cast<LONG>(GetLastError());
    } else {
        status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
    }
    LocalFree(widened);
    return status;
}

void Fail(OwnershipResult& result, OwnershipStep step, LONG error) {
    if (result.failedStep != OwnershipDone) return;  // the first failure is the one named
    result.failedStep = step;
    result.error = error;
}

}  // namespace

void ChangeKeyAsOwner(HKEY root, const wchar_t* path, REGSAM view,
                      const std::function<bool(const wchar_t* sddl)>& beforeChange,
                      const std::function<LONG(HKEY key)>& change, OwnershipResult& result) {
    // 1. The privileges, for this change only.
    EnabledPrivileges privileges;
    LONG status = privileges.Enable();
    if (status != ERROR_SUCCESS) return Fail(result, OwnershipPrivileges, status);

    // 2. The owner and the permissions as they are.
    RegKey reading;
    HeapBuffer original;
    status = OpenWith(reading, root, path, view, READ_CONTROL);
    if (status == ERROR_SUCCESS) status = ReadSecurity(reading.Get(), original);
    if (status != ERROR_SUCCESS) return Fail(result, OwnershipReadSecurity, status);
    AppendSddl(result.before, original);
    if (result.before.failed) return Fail(result, OwnershipReadSecurity, ERROR_NOT_ENOUGH_MEMORY);
    if (!beforeChange(TextChars(result.before))) return Fail(result, OwnershipBeforeChange, ERROR_CANCELLED);

    // 3. Administrators become the owner, and the owner may change the
    // permissions: Administrators get the right to set values.
    AdministratorsSid administrators;
    if (!administrators.Make()) return Fail(result, OwnershipTakeOwner, static_cast<LONG>(GetLastError()));
    RegKey owning;
    status = OpenWith(owning, root, path, view, WRITE_OWNER);
    if (status == ERROR_SUCCESS) status = MakeAdministratorsOwner(owning.Get(), administrators);
    if (status != ERROR_SUCCESS) return Fail(result, OwnershipTakeOwner, status);

    RegKey permitting;
    bool permissionsChanged = false;
    status = OpenWith(permitting, root, path, view, WRITE_DAC);
    if (status == ERROR_SUCCESS) status = GrantAdministratorsWrite(permitting.Get(), original, administrators);
    if (status != ERROR_SUCCESS) {
        Fail(result, OwnershipGrantWrite, status);
    } else {
        permissionsChanged = true;
        // 4. The change, through a key opened as anyone would open it.
        RegKey writing;
        status = OpenWith(writing, root, path, view, KEY_QUERY_VALUE | KEY_SET_VALUE);
        if (status == ERROR_SUCCESS) status = change(writing.Get());
        if (status != ERROR_SUCCESS) Fail(result, OwnershipChange, status);
    }

    // 5. The permissions and then the owner as they were, read back and compared.
    if (permissionsChanged) {
        status = RegSetKeySecurity(permitting.Get(), DACL_SECURITY_INFORMATION, original.Get());
        if (status != ERROR_SUCCESS) {
            Fail(result, OwnershipRestorePermissions, status);
            result.securityLeftChanged = true;
        }
    }
    status = RegSetKeySecurity(owning.Get(), OWNER_SECURITY_INFORMATION, original.Get());
    if (status != ERROR_SUCCESS) {
        Fail(result, OwnershipRestoreOwner, status);
        result.securityLeftChanged = true;
    }
    HeapBuffer now;
    status = ReadSecurity(reading.Get(), now);
    if (status != ERROR_SUCCESS) {
        Fail(result, OwnershipRestoreDiffers, status);
        result.securityLeftChanged = true;
        AppendString(result.after, L"?");
    } else if (!SameOwnerAndPermissions(original, now)) {
        Fail(result, OwnershipRestoreDiffers, ERROR_SUCCESS);
        result.securityLeftChanged = true;
        AppendSddl(result.after, now);
    }
}

LONG AppendOwnerAndPermissions(GrowingText& sddl, HKEY key) {
    HeapBuffer security;
    const LONG status = ReadSecurity(key, security);
    if (status != ERROR_SUCCESS) return status;
    AppendSddl(sddl, security);
    return sddl.failed ? ERROR_NOT_ENOUGH_MEMORY : ERROR_SUCCESS;
}

const wchar_t* OwnershipStepText(OwnershipStep step) {
    switch (step) {
    case OwnershipDone: return L"";
    case OwnershipPrivileges: return L"включение привилегий SeTakeOwnershipPrivilege и SeRestorePrivilege";
    case OwnershipReadSecurity: return L"чтение владельца и прав раздела";
    case OwnershipBeforeChange: return L"сохранение резервной копии";
    case OwnershipTakeOwner: return L"смена владельца раздела на группу \"Администраторы\"";
    case OwnershipGrantWrite: return L"выдача группе \"Администраторы\" права записи";
    case OwnershipChange: return L"запись значения";
    case OwnershipRestorePermissions: return L"восстановление прав раздела";
    case OwnershipRestoreOwner: return L"восстановление владельца раздела";
    case OwnershipRestoreDiffers: return L"проверка восстановленных владельца и прав";
    }
    return L"";
}
