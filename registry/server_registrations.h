// What the unregistration of a server file can reach. "regsvr32 /u" runs the
// file's own DllUnregisterServer, which commonly removes every codec the file
// serves, in every category it registered them in.
#pragma once
#include "key_path_list.h"

// Adds to keys: every class key whose InprocServer32 names serverFile (the
// same file, however each path writes it; where either cannot be opened, the
// same text with variables expanded, without regard to case); every Instance
// entry, in any category, whose CLSID value names one of those classes or
// classId, or that is named by one of them; their DMO keys and their entries
// in the DMO categories; their old filter mapper keys Filter\<class id>; and
// the Media Type entries whose "Source Filter" names one of them; and their
// Media Foundation transform keys with their category entries. serverFile is the path as regsvr32 is
// given it; an empty one names no class. Keys that cannot be read count as
// absent.
void CollectServerRegistrations(const wchar_t* serverFile, const wchar_t* classId, KeyPathList& keys);
