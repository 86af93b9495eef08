// What a helper asks about a codec's server file: its version, its company
// and its size, read from the file itself.
#pragma once
#include "../base/win_headers.h"

#include <cstddef>

// Whether the server file a registration of the view names can be found as
// the program of that view's width finds it: the scan's test (no variables
// expanded), made in that width's view of the system folder.
bool ServerFileFoundInView(REGSAM view, const wchar_t* serverPath);

// The status the scan gives a registration by its class key and server file:
// "нет раздела класса", "путь с переменными не проверялся" (the scan expands
// no variables: a path with them in an expandable value, serverType
// REG_EXPAND_SZ; in any other value COM takes the "%" as written, and so is
// the file looked for), "файл не найден" or kServerFileOk. judgedServerPath
// is the path as the scan reads it (ReadRegistryText).
extern const wchar_t kServerFileOk[];  // "в порядке"
const wchar_t* JudgeServerFile(REGSAM view, bool classKeyFound, const wchar_t* judgedServerPath, DWORD serverType);

// Writes "версия 1.2.3.4, Company, 123 456 байт" (the parts that can be
// read) for the file serverPath names (a value of serverType, taken as
// ExpandServerPath takes it) into facts (capacity characters); "файл не найден" when there is no such
// file. The file is looked for in the view's width's view of the system
// folder, as ServerFileFoundInView looks. Returns whether it was found. The
// file's own description (its version resource's FileDescription) goes to
// description, when given, from the same read.
bool DescribeServerFile(REGSAM view, const wchar_t* serverPath, DWORD serverType, wchar_t* facts, std::size_t capacity,
                        wchar_t* description = nullptr, std::size_t descriptionCapacity = 0);

// A byte count with its thousands apart: "1 234 567".
void FormatByteCount(unsigned long long count, wchar_t* text, std::size_t capacity);
