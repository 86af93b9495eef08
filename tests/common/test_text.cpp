#include "test_text.h"

#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cwchar>

std::wstring FromUtf8(const std::string& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string Utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    }
    return out;
}

std::wstring Format(const wchar_t* format, ...) {
    wchar_t buffer[2048];
    va_list args;
    va_start(args, format);
    _vsnwprintf(buffer, 2047, format, args);
    va_end(args);
    buffer[2047] = L'\0';
    return buffer;
}

std::wstring Joined(const std::vector<std::wstring>& items) {
    std::wstring all;
    for (const std::wstring& item : items) all += L"[" + item + L"]";
    return all;
}

std::wstring HexWord(std::uint32_t value) { return Format(L"0x%08x", value); }

std::wstring WindowsPath(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') return path;
    std::wstring out = L"Z:" + path;
    std::replace(out.begin(), out.end(), L'/', L'\\');
    return out;
}

std::wstring FirstDifference(const std::wstring& a, const std::wstring& b) {
    std::size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    if (at == a.size() && at == b.size()) return L"the same";
    const std::size_t from = at > 20 ? at - 20 : 0;
    return Format(L"at %zu of %zu and %zu: [", at, a.size(), b.size()) + a.substr(from, 80) + L"] against [" +
           b.substr(from, 80) + L"]";
}
