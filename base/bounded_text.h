// Writing text into fixed-capacity UTF-16 arrays. Capacities count characters
// including the terminator; no operation ever writes past one, and a result
// that does not fit is cut and still terminated.
#pragma once
#include <cstddef>
#include <cstdarg>

using TextStatus = long;

constexpr TextStatus kTextOk = 0;
constexpr TextStatus kTextInsufficientBuffer = static_cast<TextStatus>(0x8007007AL);
constexpr TextStatus kTextInvalidParameter = static_cast<TextStatus>(0x80070057L);
constexpr std::size_t kTextMaxCapacity = 0x7FFFFFFF;

TextStatus CopyText(wchar_t* dest, std::size_t capacity, const wchar_t* source);
TextStatus AppendText(wchar_t* dest, std::size_t capacity, const wchar_t* source);
TextStatus FormatText(wchar_t* dest, std::size_t capacity, const wchar_t* format, ...);
TextStatus FormatTextV(wchar_t* dest, std::size_t capacity, const wchar_t* format, va_list args);

// Writes "<first><separator><last>" into dest; false when the whole does not
// fit, so that a caller never uses a cut path as if it were the one it built.
bool JoinText(wchar_t* dest, std::size_t capacity, const wchar_t* first, const wchar_t* separator,
              const wchar_t* last);
