// The rights of a child that loads codecs. Codec code that the user did not
// choose to run with administrator rights must not get them from an elevated
// program: the child then runs with the program's token restricted as a
// standard user's player would have it.
#pragma once
#include "../base/scoped.h"

// The program's own token with the Administrators group for deny only and
// every privilege removed, ready to start a process with; false where the
// platform refuses to make it.
bool MakeRestrictedToken(KernelHandle& token);
