#include "load_rows.h"

#include "../base/bounded_text.h"
#include "../base/text_sort_keys.h"

#include <algorithm>

const wchar_t* const kLoadColumns[kLoadColumnCount] = {L"Кодек", L"Вид", L"Файл", L"Результат"};

namespace {

// Where a codec's row goes: failing ones first, then those not checked, then the rest.
int RowGroup(const LoadCodec& codec) {
    return codec.outcome == OutcomeFails ? 0 : codec.outcome == OutcomeUnchecked ? 1 : 2;
}

// Every codec of a list, by group, each group sorted by name (as lstrcmpiW
// orders names; through their sort keys where each could be made).
void AddSorted(LoadCodecList& codecs, LoadRow::Source source, HeapArray<LoadRow>& rows) {
    const SIZE_T start = rows.Count();
    TextSortKeys keys;
    bool keyed = true;
    for (SIZE_T i = 0; i < codecs.Count(); ++i) {
        rows.Append({source, i});
        keyed = keyed && keys.Add(codecs[i].name);
    }
    std::sort(rows.Data() + start, rows.Data() + rows.Count(), [&](const LoadRow& a, const LoadRow& b) {
        const LoadCodec& first = codecs[a.index];
        const LoadCodec& second = codecs[b.index];
        if (RowGroup(first) != RowGroup(second)) return RowGroup(first) < RowGroup(second);
        const int order = keyed ? keys.Compare(a.index, b.index) : lstrcmpiW(first.name, second.name);
        return order != 0 ? order < 0 : a.index < b.index;
    });
}

std::size_t CountFailing(LoadCodecList& codecs) {
    std::size_t failing = 0;
    for (SIZE_T i = 0; i < codecs.Count(); ++i) failing += codecs[i].outcome == OutcomeFails;
    return failing;
}

}  // namespace

void ArrangeLoadRows(LoadCheckRun& run, HeapArray<LoadRow>& rows) {
    rows.Clear();
    AddSorted(run.Own(), LoadRow::Own, rows);
    if (!run.HasOtherView()) return;
    rows.Append({LoadRow::OtherHeading, 0});
    AddSorted(run.Other(), LoadRow::Other, rows);
}

void LoadCellText(LoadCheckRun& run, const LoadRow& row, int column, wchar_t* text, std::size_t capacity) {
    CopyText(text, capacity, L"");
    if (row.source == LoadRow::OtherHeading) {
        if (column == ColumnCodec) {
            FormatText(text, capacity, L"Кодеки %d-разрядных программ", run.OtherWidth());
        } else if (column == ColumnResult) {
            FormatText(text, capacity, L"кодеков: %zu, с ошибками в файлах: %zu", run.Other().Count(),
                       CountFailing(run.Other()));
        }
        return;
    }
    const LoadCodec& codec = (row.source == LoadRow::Own ? run.Own() : run.Other())[row.index];
    switch (column) {
    case ColumnCodec: CopyText(text, capacity, codec.name); break;
    case ColumnKind: NameKinds(codec.kinds, text, capacity); break;
    case ColumnFile: CopyText(text, capacity, codec.file); break;
    case ColumnResult:
        CopyText(text, capacity, codec.result);
        if (codec.note[0] != L'\0') {
            AppendText(text, capacity, L"; ");
            AppendText(text, capacity, codec.note);
        }
        break;
    default: break;
    }
}

void FormatLoadSummary(LoadCheckRun& run, LoadRunState state, wchar_t* text, std::size_t capacity) {
    const std::size_t unchecked = run.Own().Count() - run.Checked();
    FormatText(text, capacity, L"Проверено кодеков: %zu из %zu, с ошибками: %zu, не проверено: %zu.", run.Checked(),
               run.Own().Count(), CountFailing(run.Own()), unchecked);
    if (state == LoadStopped) {
        wchar_t line[kShortTextCapacity];
        FormatText(line, kShortTextCapacity, L"\nПроверка остановлена: не проверено кодеков: %zu.", unchecked);
        AppendText(text, capacity, line);
    } else if (state == LoadNotStarted) {
        AppendText(text, capacity, L"\nНе удалось запустить проверку.");
    }
    if (run.Elevated()) {
        AppendText(text, capacity, L"\n");
        AppendText(text, capacity, kCheckedWithAdministratorRights);
    }
}
