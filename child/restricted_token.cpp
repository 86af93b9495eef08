#include "restricted_token.h"

bool MakeRestrictedToken(KernelHandle& token) {
    KernelHandle own;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY, own.Put())) {
        return false;
    }
    DWORD size = 0;
    GetTokenInformation(own.Get(), TokenPrivileges, nullptr, 0, &size);
    HeapBuffer privileges;
    if (size < sizeof(TOKEN_PRIVILEGES) || !privileges.Reserve(size) ||
        !GetTokenInformation(own.Get(), TokenPrivileges, privileges.Get(), size, &size)) {
        return false;
    }
    auto* held = reinterpret_cast<TOKEN_PRIVILEGES*>(privileges.Get());
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(administrators);
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize)) return false;
    SID_AND_ATTRIBUTES denyOnly = {administrators, 0};
    // Every privilege the token holds is removed, not only disabled: nothing
    // the codec does can enable one again.
    return CreateRestrictedToken(own.Get(), 0, 1, &denyOnly, held->PrivilegeCount, held->Privileges, 0, nullptr,
                                 token.Put()) != FALSE;
}
