#include "codec_report.h"

#include "report_sections.h"
#include "report_text.h"

void BuildCodecReport(GrowingText& text) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    ReportView views[2];
    const int viewCount = MachineReportViews(views);
    AppendReportHeader(text, now, views, viewCount);
    for (int i = 0; i < viewCount; ++i) {
        AppendLine(text);
        AppendLine(text, L"======================================================================");
        AppendString(text, views[i].width == 64 ? L"64-разрядные кодеки" : L"32-разрядные кодеки");
        AppendLine(text, views[i].own ? L" (их видит эта программа, как в ее списках)" : L"");
        AppendLine(text, L"======================================================================");
        AppendLine(text);
        AppendCategoryFilters(text, views[i]);
        AppendPlaybackPreferences(text, views[i]);
        AppendMediaObjects(text, views[i]);
    }
    AppendLine(text, L"Конец отчета.");
}
