// One place that pulls in the Windows headers the program uses, with the
// settings every source file needs (Unicode, no min/max macros, strsafe
// functions left usable).
#pragma once
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef STRSAFE_NO_DEPRECATE
#define STRSAFE_NO_DEPRECATE
#endif
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <ole2.h>
#include <olectl.h>
#include <oleauto.h>
#include <strmif.h>
#include <uuids.h>
