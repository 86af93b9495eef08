// Changing a key that the system keeps for itself (owned by TrustedInstaller,
// administrators may only read it): the program becomes the key's owner for
// the one change, grants Administrators the right to set values, makes the
// change, and then gives the key back its permissions and its owner exactly
// as they were. Every step taken is undone when a later one fails. Nothing
// here asks the user anything; the caller asks first.
#pragma once
#include "../base/growing_text.h"
#include "../base/win_headers.h"

#include <cstddef>
#include <functional>

// The steps, in the order they are taken; the one that failed names the failure.
enum OwnershipStep {
    OwnershipDone,              // every step succeeded and the key reads back as it was
    OwnershipPrivileges,        // SeTakeOwnershipPrivilege and SeRestorePrivilege could not be enabled
    OwnershipReadSecurity,      // the key's owner and permissions could not be read
    OwnershipBeforeChange,      // the caller's own step before the change (its backup) failed
    OwnershipTakeOwner,         // Administrators could not be made the owner
    OwnershipGrantWrite,        // Administrators could not be granted the right to set values
    OwnershipChange,            // the change itself failed
    OwnershipRestorePermissions,// the permissions could not be put back
    OwnershipRestoreOwner,      // the owner could not be put back
    OwnershipRestoreDiffers,    // put back, but they read back otherwise than they were
};

struct OwnershipResult {
    OwnershipStep failedStep = OwnershipDone;
    LONG error = ERROR_SUCCESS;  // the system's code for the failed step
    // Whether the key's owner and permissions were changed and not put back
    // as they were (a failed restore, or one that reads back otherwise).
    bool securityLeftChanged = false;
    GrowingText before;  // the owner and permissions as they were, in SDDL
    GrowingText after;   // as they read back at the end, in SDDL (when they differ)
};

// Changes the key root\path (in the view, KEY_WOW64_64KEY / KEY_WOW64_32KEY
// or 0) as its temporary owner. beforeChange gets the key's owner and
// permissions as they are, in SDDL, before anything of the key changes (the
// caller writes its backup there; false stops everything). change gets the
// key opened for querying and setting values and returns the system's code.
// The privileges this enables are put back as they were on every path.
void ChangeKeyAsOwner(HKEY root, const wchar_t* path, REGSAM view,
                      const std::function<bool(const wchar_t* sddl)>& beforeChange,
                      const std::function<LONG(HKEY key)>& change, OwnershipResult& result);

// Appends the key's owner and permissions as they are now, in SDDL (the key
// opened with READ_CONTROL); the system's code when they cannot be read.
LONG AppendOwnerAndPermissions(GrowingText& sddl, HKEY key);

// The words a message uses for the step: "смена владельца раздела", ...
const wchar_t* OwnershipStepText(OwnershipStep step);
