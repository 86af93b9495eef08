// A 32-bit and a 64-bit codec registered side by side: what each build of
// the program lists and what its deletion removes, in both registry views.
#include "test_codec.h"

#include <cstdio>

namespace {

std::wstring Views(const std::wstring& path) {
    return Format(L"%ls: 64-bit view %d, 32-bit view %d", path.c_str(), KeyExists(path, KEY_WOW64_64KEY) ? 1 : 0,
                  KeyExists(path, KEY_WOW64_32KEY) ? 1 : 0);
}

}  // namespace

OTHER_WIDTH_SCENARIO(side_by_side_codecs) {
    if (g_otherWidthTestCodecDll.empty()) return CheckFailed(__FILE__, __LINE__, "other width's codec given", L"none");
    TestCodec own(L"Vantrel Own Width", L"none");
    TestCodec other(L"Vantrel Other Width", L"none", L"filter", true);
    CHECK(own.Regsvr32(L"/s") == 0, own.Regsvr32Result());
    CHECK(other.Regsvr32(L"/s") == 0, other.Regsvr32Result());

    // Each registration lands in its own width's view only.
    const REGSAM ownView = kProgramIs64Bit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    const REGSAM otherView = kProgramIs64Bit ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    std::printf("%s\n%s\n", Utf8(Views(own.ClassKey())).c_str(), Utf8(Views(other.ClassKey())).c_str());
    std::printf("%s\n%s\n", Utf8(Views(own.InstancePath())).c_str(),
                Utf8(Views(other.InstancePath())).c_str());
    CHECK(KeyExists(own.ClassKey(), ownView) && !KeyExists(own.ClassKey(), otherView), Views(own.ClassKey()));
    CHECK(KeyExists(other.ClassKey(), otherView) && !KeyExists(other.ClassKey(), ownView), Views(other.ClassKey()));
    CHECK(KeyExists(own.InstancePath(), ownView) && !KeyExists(own.InstancePath(), otherView),
          Views(own.InstancePath()));
    CHECK(KeyExists(other.InstancePath(), otherView) && !KeyExists(other.InstancePath(), ownView),
          Views(other.InstancePath()));

    // The program lists only the codec of its own width.
    ProgramUnderTest program;
    if (!program.Start(exePath)) return CheckFailed(__FILE__, __LINE__, "program started", program.State());
    CHECK(program.RowIndex(own.name) >= 0, Joined(program.ListRows()));
    CHECK(program.RowIndex(other.name) < 0, Joined(program.ListRows()));
    std::printf("%s build lists own: %d, other: %d\n", kProgramIs64Bit ? "64-bit" : "32-bit",
                program.RowIndex(own.name) >= 0, program.RowIndex(other.name) >= 0);

    // Deleting its own codec removes that codec's keys in its own view and leaves the other width's codec alone.
    program.DoubleClickRow(program.RowIndex(own.name));
    HWND manage = program.WaitForDialog(kManageTitle);
    if (!manage) return CheckFailed(__FILE__, __LINE__, "management dialog", program.Dialogs());
    PressButton(manage, IDC_DELETE_CODEC);
    HWND confirm = program.WaitForDialog(kConfirmTitle);
    if (!confirm) return CheckFailed(__FILE__, __LINE__, "confirmation", program.Dialogs());
    PressButton(confirm, IDYES);
    CHECK(program.WaitDialogGone(manage), program.Dialogs());
    CHECK(!KeyExists(own.ClassKey(), ownView) && !KeyExists(own.InstancePath(), ownView), Views(own.ClassKey()));
    CHECK(KeyExists(other.ClassKey(), otherView) && KeyExists(other.InstancePath(), otherView),
          Views(other.ClassKey()));
    std::printf("after deleting own: %s\n%s\n", Utf8(Views(own.InstancePath())).c_str(),
                Utf8(Views(other.InstancePath())).c_str());
}
