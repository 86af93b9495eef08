#include "audio_codec_cache.h"

#include "../base/bounded_text.h"
#include "../base/scoped.h"
#include "driver_codecs.h"

#include <initializer_list>


namespace {

const wchar_t kDriverCachePath[] = L"SOFTWARE\\Microsoft\\AudioCompressionManager\\DriverCache";

// Whether the cache key (null: there is none) holds a complete entry for the
// codec of that name: what the manager reads instead of opening the
// codec. Wine's manager makes the entry's key before it opens a codec and
// writes its values only once the codec answered: a codec that hung or
// crashed in the open (in the child of this check, say) leaves an empty key,
// and the manager opens that codec again in the next process.
bool CacheEntryComplete(HKEY cache, const wchar_t* name) {
    RegKey entry;
    if (!cache || RegOpenKeyExW(cache, name, 0, KEY_QUERY_VALUE, entry.Put()) != ERROR_SUCCESS) return false;
    for (const wchar_t* value : {L"fdwSupport", L"cFormatTags", L"cFilterTags"}) {
        if (RegQueryValueExW(entry.Get(), value, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) return false;
    }
    return true;
}

// Adds the name to the list when it is an audio codec's without a complete cache entry.
void NoteIfUncached(HKEY cache, const wchar_t* name, std::size_t* count, wchar_t* names, std::size_t capacity) {
    DriverKind kind;
    if (!DriverKindOfName(name, &kind) || kind != DriverAudio) return;
    if (CacheEntryComplete(cache, name)) return;
    if (*count > 0) AppendText(names, capacity, L", ");
    AppendText(names, capacity, name);
    ++*count;
}

}  // namespace

bool AudioCodecCached(const wchar_t* name) {
    RegKey cache;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDriverCachePath, 0, KEY_ENUMERATE_SUB_KEYS, cache.Put());
    return CacheEntryComplete(cache.Get(), name);
}

std::size_t FindUncachedAudioCodecs(wchar_t* names, std::size_t capacity) {
    if (capacity > 0) names[0] = L'\0';
    std::size_t count = 0;
    RegKey cache;
    // No cache at all: every audio codec is opened as the manager loads.
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDriverCachePath, 0, KEY_ENUMERATE_SUB_KEYS, cache.Put());
    RegKey drivers;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDrivers32Path, 0, KEY_QUERY_VALUE, drivers.Put()) == ERROR_SUCCESS) {
        wchar_t name[kDriverNameCapacity];
        for (DWORD index = 0;; ++index) {
            DWORD length = kDriverNameCapacity;
            const LONG status = RegEnumValueW(drivers.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_MORE_DATA) continue;  // longer than any name the manager takes
            if (status != ERROR_SUCCESS) break;
            name[kDriverNameCapacity - 1] = L'\0';
            NoteIfUncached(cache.Get(), name, &count, names, capacity);
        }
    }
    // The rows of system.ini the registry does not hold.
    HeapBuffer section;
    ForEachSystemIniDriver(ReadSystemIniDrivers(section), [&](const wchar_t* name, const wchar_t*) {
        const bool inRegistry =
            drivers && RegQueryValueExW(drivers.Get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        if (!inRegistry) NoteIfUncached(cache.Get(), name, &count, names, capacity);
        return true;
    });
    return count;
}

