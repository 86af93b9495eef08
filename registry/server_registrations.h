// What the unregistration of a server file can reach. "regsvr32 /u" runs the
// file's own DllUnregisterServer, which commonly removes every codec the file
// serves, in every category it registered them in.
#pragma once
#include "key_path_list.h"

// Adds to keys: every class key whose InprocServer32 names serverFile (both
// with their variables expanded, compared without regard to case); every
// Instance entry, in any category, whose CLSID value names one of those
// classes or classId, or that is named by one of them; and their DMO keys and
// their entries in the DMO categories. serverFile is the path as regsvr32 is
// given it; an empty one names no class. Keys that cannot be read count as
// absent.
void CollectServerRegistrations(const wchar_t* serverFile, const wchar_t* classId, KeyPathList& keys);
