#include "shell_judge.h"

#include "../base/bounded_text.h"
#include "../catalogue/registry_link.h"
#include "../catalogue/server_path.h"
#include "../catalogue/string_value.h"
#include "../modules/view_paths.h"

namespace {

const wchar_t kApprovedPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const wchar_t kPolicyPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";

bool HasValue(HKEY key, const wchar_t* name) {
    return key && RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Whether the policy of root asks for approval: its DWORD value 1.
bool PolicyEnforced(HKEY root, REGSAM view) {
    RegKey policy;
    if (OpenKeyPathUnlessLink(policy, root, kPolicyPath, KEY_READ | view) != KeyOpened) return false;
    DWORD value = 0, size = sizeof(value), type = REG_NONE;
    return RegQueryValueExW(policy.Get(), L"EnforceShellExtensionSecurity", nullptr, &type,
                            reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof(value) && value == 1;
}

}  // namespace

ShellJudge::ShellJudge(REGSAM view) : view_(view), search_(view) {
    RegKey user, machine;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, KEY_READ | view, user.Put());
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, KEY_READ | view, machine.Put());
    if (user) OpenKeyUnlessLink(classes_[0], user.Get(), L"CLSID", KEY_READ | view);
    if (machine) OpenKeyUnlessLink(classes_[1], machine.Get(), L"CLSID", KEY_READ | view);
    OpenKeyPathUnlessLink(blocked_[0], HKEY_LOCAL_MACHINE, kBlockedPath, KEY_READ | view);
    OpenKeyPathUnlessLink(blocked_[1], HKEY_CURRENT_USER, kBlockedPath, KEY_READ | view);
    enforced_ = PolicyEnforced(HKEY_LOCAL_MACHINE, view) || PolicyEnforced(HKEY_CURRENT_USER, view);
    if (enforced_) OpenKeyPathUnlessLink(approved_, HKEY_LOCAL_MACHINE, kApprovedPath, KEY_READ | view);
}

void ShellJudge::JudgeFile(const wchar_t* path, Judged& judged) {
    wchar_t reached[kNameCapacity];
    PathInView(view_, path, reached, kNameCapacity);
    ImageFacts facts;
    ReadImage(reached, facts);
    switch (facts.reading) {
    case ImageNotFound: CopyText(judged.result, kNameCapacity, L"файл не найден"); return;
    case ImageNotOpened: CopyText(judged.result, kNameCapacity, L"файл не открывается"); return;
    case ImageNotPe:
    case ImageNotDll: CopyText(judged.result, kNameCapacity, L"файл не является библиотекой DLL"); return;
    case ImageRead: break;
    }
    const WORD machine = IsOtherWidthView(view_) ? OtherWidthMachine() : OwnMachine();
    if (facts.machine != machine) {
        wchar_t named[kShortTextCapacity];
        NameImageMachine(facts.machine, named, kShortTextCapacity);
        const bool width = facts.machine == IMAGE_FILE_MACHINE_I386 || facts.machine == IMAGE_FILE_MACHINE_AMD64;
        FormatText(judged.result, kNameCapacity, L"%ls (%ls)", width ? L"другая разрядность" : L"другой процессор",
                   named);
        return;
    }
    ImportWalk walk;
    WalkImports(search_, reached, facts, walk, &walked_);
    if (walk.missingFound) {
        NameMissingImport(walk, judged.result, kNameCapacity);
        return;
    }
    for (int i = 0; i < walk.delayedMissingCount; ++i) {
        AppendText(judged.note, kNameCapacity, i == 0 ? L"не найдены библиотеки отложенной загрузки: " : L", ");
        AppendText(judged.note, kNameCapacity, walk.delayedMissing[i]);
    }
    judged.loadable = true;
}

void ShellJudge::JudgeClass(const wchar_t* classId, Judged& judged) {
    judged.classKeyFound = false;
    judged.loadable = false;
    judged.file[0] = judged.result[0] = judged.note[0] = L'\0';
    CopyText(judged.name, kNameCapacity, classId);
    judged.blockedByMachine = HasValue(blocked_[0].Get(), classId);
    judged.blocked = judged.blockedByMachine || HasValue(blocked_[1].Get(), classId);
    judged.approved = !enforced_ || HasValue(approved_.Get(), classId);
    // The user's class key over the machine's, as COM finds it.
    RegKey classKey;
    for (const RegKey& classes : classes_) {
        if (classes && OpenKeyUnlessLink(classKey, classes.Get(), classId, KEY_READ | view_) == KeyOpened) break;
    }
    if (!classKey) {
        CopyText(judged.result, kNameCapacity, L"нет раздела класса");
        return;
    }
    judged.classKeyFound = true;
    wchar_t name[kNameCapacity];
    if (ReadStringValue(classKey.Get(), nullptr, name, kNameCapacity) && name[0] != L'\0') {
        CopyText(judged.name, kNameCapacity, name);
    }
    RegKey server;
    wchar_t serverPath[kNameCapacity] = {};
    DWORD serverType = REG_NONE;
    if (OpenKeyUnlessLink(server, classKey.Get(), L"InprocServer32", KEY_READ | view_) == KeyOpened) {
        ReadStringValue(server.Get(), nullptr, serverPath, kNameCapacity);
        serverType = ServerPathType(server.Get());
    }
    if (serverPath[0] == L'\0') {
        CopyText(judged.result, kNameCapacity, L"в разделе класса не указан файл");
        return;
    }
    // Its variables expanded where its value is expandable, as COM expands them.
    wchar_t expanded[kNameCapacity];
    if (!ExpandServerPath(serverPath, serverType, expanded, kNameCapacity)) {
        CopyText(judged.file, kNameCapacity, serverPath);
        CopyText(judged.result, kNameCapacity, L"файл не найден");
        return;
    }
    if (!search_.LocateServerFile(expanded, judged.file)) {
        CopyText(judged.result, kNameCapacity, L"файл не найден");
        return;
    }
    JudgeFile(judged.file, judged);
}

const ShellJudge::Judged& ShellJudge::Of(const wchar_t* classId, const GUID& guid) {
    for (SIZE_T i = 0; i < judged_.Count(); ++i) {
        if (IsEqualGUID(judged_[i].guid, guid)) return judged_[i];
    }
    unkept_ = Judged{};
    unkept_.guid = guid;
    JudgeClass(classId, unkept_);
    // One the heap has no room to keep is judged again next time.
    if (!judged_.Append(unkept_)) return unkept_;
    return judged_[judged_.Count() - 1];
}

const wchar_t* ShellJudge::NameOf(const wchar_t* classId) {
    GUID guid;
    if (FAILED(IIDFromString(classId, &guid))) return classId;
    return Of(classId, guid).name;
}

void ShellJudge::Judge(ShellHandlerRow& row) {
    const Judged& judged = Of(row.classId, row.classGuid);
    CopyText(row.name, kNameCapacity, judged.name);
    CopyText(row.file, kNameCapacity, judged.file);
    CopyText(row.note, kNameCapacity, judged.note);
    row.classKeyFound = judged.classKeyFound;
    row.fileLoadable = judged.loadable;
    row.blockedByMachine = judged.blockedByMachine;
    // The shell's own word comes first: a handler it never loads is neither
    // loaded nor judged by its file. A property handler is never blocked this way.
    if (judged.blocked && row.kind != ShellProperty) {
        row.state = ShellStateBlocked;
        CopyText(row.stateText, kNameCapacity, L"отключен");
    } else if (!judged.approved && row.kind != ShellProperty) {
        row.state = ShellStateNotApproved;
        CopyText(row.stateText, kNameCapacity, L"не одобрен");
    } else if (!judged.loadable) {
        row.state = ShellStateFileFails;
        CopyText(row.stateText, kNameCapacity, judged.result);
    } else {
        row.state = ShellStateOk;
        CopyText(row.stateText, kNameCapacity, L"в порядке");
    }
}
