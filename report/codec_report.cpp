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
        AppendString(text, views[i].Title());
        AppendLine(text, views[i].Own() ? L" (их видит эта программа, как в ее списках)" : L"");
        AppendLine(text, L"======================================================================");
        AppendLine(text);
        // The view is written apart, so that its problems can come first.
        GrowingText body;
        ReportProblems problems;
        AppendCategoryFilters(body, problems, views[i]);
        AppendPlaybackPreferences(body, views[i]);
        AppendMediaObjects(body, views[i]);
        AppendMediaFoundationTransforms(body, problems, views[i]);
        AppendDriverCodecs(body, problems, views[i]);
        if (body.failed || problems.lines.failed) {
            text.failed = true;
            return;
        }
        if (problems.count == 0) {
            AppendLine(text, L"Неполадок не найдено.");
        } else {
            AppendLine(text, L"Неполадки (подробности ниже):");
            AppendString(text, TextChars(problems.lines));
        }
        AppendLine(text);
        AppendChars(text, TextChars(body), body.length);
    }
    AppendLine(text, L"Конец отчета.");
}
