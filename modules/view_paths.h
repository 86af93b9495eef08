// A file's path as the programs of one registry view's width see it. On
// 64-bit Windows a 32-bit program that names the system folder (system32)
// reaches SysWOW64, and a 64-bit one reaches system32 itself: the program
// looks at another width's files where that width's programs find them.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

// The path under which this process reaches what `path` names for a program
// of the view's width (view: 0 for the program's own, KEY_WOW64_64KEY or
// KEY_WOW64_32KEY), into mapped (capacity characters): the system folder at
// its start becomes SysWOW64 for the 32-bit view of the x64 build, and the
// system's "Sysnative" alias for the 64-bit view of the x86 build. Other
// paths, and every path of the own view, are copied as they are. False, with
// the path copied as it is, when the mapped one does not fit.
bool PathInView(REGSAM view, const wchar_t* path, wchar_t* mapped, std::size_t capacity);

// Whether the view is the other width's: the 32-bit view of the x64 build,
// the 64-bit view of the x86 build.
bool IsOtherWidthView(REGSAM view);

// The folder under which this process reaches the system folder of the
// view's width (PathInView of the system folder), into folder; false when the
// system does not say.
bool SystemFolderOfView(REGSAM view, wchar_t (&folder)[MAX_PATH]);
