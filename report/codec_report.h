// The codec report: the machine, and for each registry view it has the
// filters of the five categories with their state, the playback preferences,
// the DMO registrations and the Media Foundation transforms. It only reads.
#pragma once
#include "../base/growing_text.h"

#include <cstdint>

// The registry views of this machine, in the order the report shows them.
struct ReportView {
    REGSAM flag;  // 0 for the program's own view, otherwise KEY_WOW64_64KEY or KEY_WOW64_32KEY
    int width;    // 64 or 32
    // The view the program itself sees (its lists, the scan).
    bool Own() const { return flag == 0; }
    // "64-разрядные кодеки" or "32-разрядные кодеки".
    const wchar_t* Title() const { return width == 64 ? L"64-разрядные кодеки" : L"32-разрядные кодеки"; }
};

// Fills views (room for two) with the machine's views, 64-bit first; returns their count.
int MachineReportViews(ReportView (&views)[2]);

// Where the program must not walk DirectShow's categories (a child's walk of
// the compressors crashed or hung at a codec), the report is made without
// the program's lists: the codec at fault and what it did.
struct ReportWithoutLists {
    const wchar_t* codec;  // "msacm.x", or empty where the walk itself failed
    const wchar_t* what;   // "не ответил за 5 секунд при открытии", ...
};

// Writes the whole report, with CRLF line ends, into text; text.failed when
// memory ran out. With withoutLists (or where the walk guard refuses the
// walks and says why), the program's own view shows every
// Instance entry, as the other view does, after a line that says why.
// Returns how many rows, in all views, are not in order.
unsigned BuildCodecReport(GrowingText& text, const ReportWithoutLists* withoutLists = nullptr);
