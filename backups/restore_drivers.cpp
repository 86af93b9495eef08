#include "restore_drivers.h"

#include "../base/app_state.h"
#include "../base/path_file_name.h"
#include "restore_scope.h"

#include <cwctype>
#include <cwchar>
#include <initializer_list>

namespace {

bool SameText(const wchar_t* a, const wchar_t* b) { return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL; }

// Whether the description's name names the file the data names.
bool NamesSameFile(const wchar_t* descriptionName, const wchar_t* data) {
    return data[0] != L'\0' && (SameText(descriptionName, data) || SameText(descriptionName, PathFileName(data)));
}

// Calls visit(value) for each codec value line of the file's Drivers32 keys
// of the view until it returns true; whether one did.
template <typename Visitor>
bool AnyCodecValueLine(const RegFileContents& contents, bool otherHalf, Visitor&& visit) {
    bool inDrivers = false;
    for (std::size_t i = 0; i < contents.count; ++i) {
        const RegFileEntry& entry = RegFileEntryAt(contents, i);
        const wchar_t* name = RegFileEntryName(contents, entry);
        if (entry.kind == RegFileKey) {
            RestoreTarget target;
            inDrivers = FindRestoreTarget(name, target) && RestoreValuesOf(target) == RestoreCodecDriverValues &&
                        InOtherHalf(target) == otherHalf;
        } else if (inDrivers && CodecDriverValueAllowed(entry, name) && visit(entry)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool IsCodecDriverName(const wchar_t* name) {
    const std::size_t length = std::wcslen(name);
    for (const wchar_t* prefix : {L"vidc.", L"vids.", L"msacm."}) {
        const std::size_t prefixLength = std::wcslen(prefix);
        if (length <= prefixLength || CompareStringOrdinal(name, static_cast<int>(prefixLength), prefix,
                                                           static_cast<int>(prefixLength), TRUE) != CSTR_EQUAL) {
            continue;
        }
        const std::size_t rest = length - prefixLength;
        if (prefix[1] == L'i' && rest != 4) return false;  // a FOURCC
        return !std::iswspace(name[prefixLength]) && !std::iswspace(name[length - 1]);
    }
    return false;
}

bool CodecDriverValueAllowed(const RegFileEntry& value, const wchar_t* name) {
    return IsCodecDriverName(name) && (value.kind == RegFileRemoveValue || value.type == REG_SZ);
}

bool DriverDescriptionAllowed(const RegFileContents& contents, const RegFileEntry& value, bool otherHalf) {
    if (value.kind == RegFileRemoveValue) {
        return AnyCodecValueLine(contents, otherHalf, [](const RegFileEntry&) { return true; });
    }
    const wchar_t* described = RegFileEntryName(contents, value);
    return AnyCodecValueLine(contents, otherHalf, [&](const RegFileEntry& codec) {
        wchar_t data[kNameCapacity];
        return codec.kind == RegFileSetValue && RegFileValueText(contents, codec, data, kNameCapacity) &&
               NamesSameFile(described, data);
    });
}
