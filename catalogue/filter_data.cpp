#include "filter_data.h"

#include "../base/app_state.h"
#include "../base/scoped.h"
#include "category_combo.h"
#include "category_table.h"
#include "registry_lookup.h"

#include <cstring>

namespace {

constexpr std::uint64_t kHeaderSize = 16;
constexpr std::uint64_t kPinRecordSize = 24;
constexpr std::uint64_t kTypeRecordSize = 16;
constexpr std::uint64_t kOffsetSize = 4;
constexpr std::uint64_t kClassIdSize = 16;
constexpr std::uint64_t kMediumSize = 24;  // a class id and two 32-bit words

// Values of a few hundred bytes are read on the stack; larger ones on the heap.
constexpr DWORD kStackValueSize = 1024;

// Reads the value with every position taken as a 64-bit number, so that no
// count or offset of 32 bits can wrap a sum around.
class RecordReader {
public:
    RecordReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Fits(std::uint64_t at, std::uint64_t length) const { return at <= size_ && length <= size_ - at; }
    std::uint32_t Word(std::uint64_t at) const {
        const std::uint8_t* p = data_ + at;
        return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }

private:
    const std::uint8_t* data_;
    std::uint64_t size_;
};

// Checks the pin record at *at and everything after it that belongs to the
// pin; on success *at is the position of the next pin record.
FilterDataVerdict CheckPin(const RecordReader& value, std::uint64_t* at) {
    std::uint64_t cursor = *at;
    if (!value.Fits(cursor, kPinRecordSize)) return FilterDataCutShort;
    const std::uint64_t mediaTypes = value.Word(cursor + 12);
    const std::uint64_t mediums = value.Word(cursor + 16);
    const bool hasCategory = value.Word(cursor + 20) != 0;
    cursor += kPinRecordSize;
    if (hasCategory) {
        if (!value.Fits(cursor, kOffsetSize)) return FilterDataCutShort;
        if (!value.Fits(value.Word(cursor), kClassIdSize)) return FilterDataOffsetOutside;
        cursor += kOffsetSize;
    }
    // Each record is checked before its offsets: a count too large for the
    // value ends at the first record that does not fit.
    for (std::uint64_t type = 0; type < mediaTypes; ++type) {
        if (!value.Fits(cursor, kTypeRecordSize)) return FilterDataCutShort;
        if (!value.Fits(value.Word(cursor + 8), kClassIdSize) || !value.Fits(value.Word(cursor + 12), kClassIdSize)) {
            return FilterDataOffsetOutside;
        }
        cursor += kTypeRecordSize;
    }
    for (std::uint64_t medium = 0; medium < mediums; ++medium) {
        if (!value.Fits(cursor, kOffsetSize)) return FilterDataCutShort;
        if (!value.Fits(value.Word(cursor), kMediumSize)) return FilterDataOffsetOutside;
        cursor += kOffsetSize;
    }
    *at = cursor;
    return FilterDataSound;
}

}  // namespace

FilterDataVerdict CheckFilterData(const std::uint8_t* data, std::size_t size) {
    const RecordReader value(data, size);
    if (!value.Fits(0, kHeaderSize)) return FilterDataCutShort;
    const std::uint32_t version = value.Word(0);
    if (version != 1 && version != 2) return FilterDataUnknownVersion;
    const std::uint64_t pins = value.Word(8);
    std::uint64_t at = kHeaderSize;
    for (std::uint64_t pin = 0; pin < pins; ++pin) {
        const FilterDataVerdict verdict = CheckPin(value, &at);
        if (verdict != FilterDataSound) return verdict;
    }
    return FilterDataSound;
}

namespace {

constexpr std::uint32_t kOutputPinFlag = 0x8;  // REG_PINFLAG_B_OUTPUT

GUID ClassIdAt(const std::uint8_t* data, std::uint64_t at) {
    GUID guid;
    std::memcpy(&guid, data + at, sizeof(guid));
    return guid;
}

// Walks a value CheckFilterData found sound: every offset lies within it.
void VisitInputTypes(const std::uint8_t* data, std::size_t size,
                     const std::function<void(const GUID&, const GUID&)>& visit) {
    const RecordReader value(data, size);
    const std::uint64_t pins = value.Word(8);
    std::uint64_t at = kHeaderSize;
    for (std::uint64_t pin = 0; pin < pins; ++pin) {
        const bool output = (value.Word(at + 4) & kOutputPinFlag) != 0;
        const std::uint64_t mediaTypes = value.Word(at + 12);
        const std::uint64_t mediums = value.Word(at + 16);
        const bool hasCategory = value.Word(at + 20) != 0;
        at += kPinRecordSize + (hasCategory ? kOffsetSize : 0);
        for (std::uint64_t type = 0; type < mediaTypes; ++type, at += kTypeRecordSize) {
            if (!output) visit(ClassIdAt(data, value.Word(at + 8)), ClassIdAt(data, value.Word(at + 12)));
        }
        at += mediums * kOffsetSize;
    }
}

// Reads the entry's FilterData into small, or into large where it does not
// fit, and checks it; bytes and size give the value read.
FilterDataVerdict ReadCheckedValue(HKEY entry, std::uint8_t (&small)[kStackValueSize], HeapBuffer& large,
                                   std::uint8_t*& bytes, DWORD& size) {
    bytes = small;
    DWORD type = REG_NONE;
    size = sizeof(small);
    LONG status = RegQueryValueExW(entry, L"FilterData", nullptr, &type, bytes, &size);
    if (status == ERROR_MORE_DATA) {
        // Read again whole; a value that grew meanwhile is read as absent.
        if (!large.Reserve(size)) return FilterDataAbsent;
        bytes = large.Get();
        status = RegQueryValueExW(entry, L"FilterData", nullptr, &type, bytes, &size);
    }
    if (status != ERROR_SUCCESS) return FilterDataAbsent;
    if (type != REG_BINARY) return FilterDataNotBinary;
    return CheckFilterData(bytes, size);
}

}  // namespace

FilterDataVerdict ForEachEntryInputType(HKEY entry, std::uint32_t* merit,
                                        const std::function<void(const GUID& major, const GUID& minor)>& visit) {
    std::uint8_t small[kStackValueSize];
    HeapBuffer large;
    std::uint8_t* bytes = nullptr;
    DWORD size = 0;
    const FilterDataVerdict verdict = ReadCheckedValue(entry, small, large, bytes, size);
    if (verdict != FilterDataSound) return verdict;
    if (merit) *merit = RecordReader(bytes, size).Word(4);
    if (visit) VisitInputTypes(bytes, size, visit);
    return verdict;
}

namespace {

FilterDataVerdict CheckEntryAt(const wchar_t* entryPath, std::uint32_t* merit) {
    RegKey entry;
    if (entry.OpenForReading(HKEY_CLASSES_ROOT, entryPath) != ERROR_SUCCESS) return FilterDataAbsent;
    return CheckEntryFilterData(entry.Get(), merit);
}

}  // namespace
FilterDataVerdict CheckEntryFilterData(HKEY entry, std::uint32_t* merit) { return ForEachEntryInputType(entry, merit, {}); }

FilterDataVerdict CheckNamedEntryFilterData(const wchar_t* friendlyName, std::uint32_t* merit) {
    wchar_t instancePath[kNameCapacity];
    BuildInstanceKeyPath(instancePath, kNameCapacity, SelectedRegistryCategory());
    wchar_t entryPath[kNameCapacity];
    if (!FindInstanceKeyByName(instancePath, friendlyName, entryPath)) return FilterDataAbsent;
    return CheckEntryAt(entryPath, merit);
}

FilterDataVerdict CheckSelectedEntryFilterData(std::uint32_t* merit) {
    wchar_t entryPath[kNameCapacity];
    if (!FindSelectedEntry(entryPath)) return FilterDataAbsent;
    return CheckEntryAt(entryPath, merit);
}
