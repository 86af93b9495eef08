#include "codec_report.h"

#include "../base/app_state.h"
#include "../catalogue/walk_guard.h"
#include "report_sections.h"
#include "report_text.h"

unsigned BuildCodecReport(GrowingText& text, const ReportWithoutLists* withoutLists) {
    unsigned problemCount = 0;
    // The lists walk the compressors' categories: where their child's walk
    // failed, the report is made without them and says why.
    wchar_t codec[kNameCapacity] = {};
    wchar_t what[kShortTextCapacity] = {};
    const ReportWithoutLists refused = {codec, what};
    if (!withoutLists && !PlatformWalkAllowed(nullptr) &&
        WhyWalkRefused(nullptr, codec, kNameCapacity, what, kShortTextCapacity)) {
        withoutLists = &refused;
    }
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
        const bool lists = views[i].Own() && !withoutLists;
        if (views[i].Own() && withoutLists) AppendListsNotRead(body, problems, *withoutLists);
        AppendCategoryFilters(body, problems, views[i], lists);
        AppendPlaybackPreferences(body, views[i]);
        AppendMediaObjects(body, views[i]);
        AppendMediaFoundationTransforms(body, problems, views[i]);
        AppendDriverCodecs(body, problems, views[i]);
        AppendShellHandlers(body, problems, views[i]);
        if (body.failed || problems.lines.failed) {
            text.failed = true;
            return problemCount;
        }
        problemCount += problems.count;
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
    return problemCount;
}
