#include "driver_check.h"

#include "../base/bounded_text.h"
#include "load_rows.h"
#include "load_run.h"

#include <new>

namespace {

class DriverRunCheck final : public DriverLoadCheck {
public:
    void Start(REGSAM view, const Codec* codecs, std::size_t count, HWND window, UINT message) override {
        HeapArray<LoadCheckRun::DriverName> names;
        for (std::size_t i = 0; i < count; ++i) names.Append({codecs[i].kind, codecs[i].name});
        own_ = view == 0;
        run_.PostOnChildEnd(window, message);
        run_.StartDrivers(view, names.Data(), names.Count());
        state_ = run_.Poll();
    }

    bool Poll() override {
        if (state_ == LoadRunning) state_ = run_.Poll();
        return state_ == LoadRunning;
    }

    void Progress(wchar_t* text, std::size_t capacity) const override {
        LoadCodecList& codecs = Codecs();
        if (state_ != LoadRunning) {
            if (own_) {
                FormatLoadSummary(run_, state_, text, capacity);
            } else {
                std::size_t failing = 0;
                for (SIZE_T i = 0; i < codecs.Count(); ++i) failing += codecs[i].outcome == OutcomeFails;
                FormatText(text, capacity, L"Проверено кодеков: %zu, с ошибками в файлах: %zu.", codecs.Count(),
                           failing);
            }
            return;
        }
        const LoadCodec* current = run_.Current();
        FormatText(text, capacity, L"Проверено %zu из %zu%ls%ls", run_.Checked(), codecs.Count(),
                   current ? L": " : L"", current ? current->name : L"");
    }

    const wchar_t* ResultOf(DriverKind kind, const wchar_t* name) const override {
        LoadCodecList& codecs = Codecs();
        for (SIZE_T i = 0; i < codecs.Count(); ++i) {
            if (codecs[i].outcome != OutcomeUnchecked && IsDriverCodec(codecs[i], kind, name)) return codecs[i].result;
        }
        return nullptr;
    }

private:
    LoadCodecList& Codecs() const { return own_ ? run_.Own() : run_.Other(); }

    mutable LoadCheckRun run_;
    LoadRunState state_ = LoadNotStarted;
    bool own_ = true;
};

}  // namespace

std::unique_ptr<DriverLoadCheck> MakeDriverLoadCheck() {
    return std::unique_ptr<DriverLoadCheck>(new (std::nothrow) DriverRunCheck);
}
