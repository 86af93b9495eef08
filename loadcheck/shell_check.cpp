#include "shell_check.h"

#include "../base/bounded_text.h"
#include "load_run.h"

#include <new>

namespace {

class ShellRunCheck final : public ShellLoadCheck {
public:
    void StartLoading(REGSAM view, HWND window, UINT message) override {
        own_ = view == 0;
        run_.PostOnChildEnd(window, message);
        run_.StartShellHandlers(view);
        state_ = run_.Poll();
    }

    void StartFile(const wchar_t* file, const wchar_t* folder, HWND window, UINT message) override {
        own_ = true;
        run_.PostOnChildEnd(window, message);
        run_.StartShellFile(file, folder);
        state_ = run_.Poll();
    }

    bool Poll() override {
        if (state_ == LoadRunning) state_ = run_.Poll();
        return state_ == LoadRunning;
    }

    void Progress(wchar_t* text, std::size_t capacity) const override {
        LoadCodecList& codecs = Codecs();
        if (state_ != LoadRunning) {
            std::size_t failing = 0, unchecked = 0;
            for (SIZE_T i = 0; i < codecs.Count(); ++i) {
                failing += codecs[i].outcome == OutcomeFails;
                unchecked += codecs[i].outcome == OutcomeUnchecked;
            }
            if (own_) {
                FormatText(text, capacity, L"Проверено обработчиков: %zu из %zu, с ошибками: %zu.",
                           codecs.Count() - unchecked, codecs.Count(), failing);
            } else {
                FormatText(text, capacity, L"Проверено обработчиков: %zu, с ошибками в файлах: %zu.", codecs.Count(),
                           failing);
            }
            return;
        }
        const LoadCodec* current = run_.Current();
        FormatText(text, capacity, L"Проверено %zu из %zu%ls%ls", run_.Checked(), codecs.Count(),
                   current ? L": " : L"", current ? current->name : L"");
    }

    bool ResultOf(const GUID& classId, Result* result) const override {
        LoadCodecList& codecs = Codecs();
        for (SIZE_T i = 0; i < codecs.Count(); ++i) {
            const LoadCodec& codec = codecs[i];
            if (codec.outcome == OutcomeUnchecked || !IsEqualGUID(codec.classGuid, classId)) continue;
            *result = {codec.result, codec.outcome == OutcomeLoads, codec.made, codec.thumbnailWidth,
                       codec.thumbnailHeight, codec.propertyCount};
            return true;
        }
        return false;
    }

private:
    LoadCodecList& Codecs() const { return own_ ? run_.Own() : run_.Other(); }

    mutable LoadCheckRun run_;
    LoadRunState state_ = LoadNotStarted;
    bool own_ = true;
};

}  // namespace

std::unique_ptr<ShellLoadCheck> MakeShellLoadCheck() {
    return std::unique_ptr<ShellLoadCheck>(new (std::nothrow) ShellRunCheck);
}
