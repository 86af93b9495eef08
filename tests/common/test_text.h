// Text helpers of the component tests, the end-to-end driver and the
// benchmark: conversions, printf-style formatting, and lists joined into one
// text for failure messages.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

std::wstring FromUtf8(const std::string& text);
std::string Utf8(const std::wstring& text);
std::wstring Format(const wchar_t* format, ...);

// Items as one text, "[a][b]", for failure messages.
std::wstring Joined(const std::vector<std::wstring>& items);

// Where two texts first differ, for failure messages: the offset and 80
// characters of each from a little before it; "the same" when they do not.
std::wstring FirstDifference(const std::wstring& a, const std::wstring& b);

// A 32-bit value written as the program writes merits: "0x00600000".
std::wstring HexWord(std::uint32_t value);

// Windows path of a Unix path handed in by CTest or a script ("/x/y" -> "Z:\x\y");
// other paths pass unchanged.
std::wstring WindowsPath(const std::wstring& path);
