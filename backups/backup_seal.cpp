#include "backup_seal.h"

#include "../base/scoped.h"
#include "backup_key.h"

#include <cwchar>

namespace {

const wchar_t kSealLabel[] = L"; Хеш резервной копии (HMAC-SHA256): ";
constexpr std::size_t kDigestBytes = 32;
constexpr ULONG kLargestPiece = 1u << 30;  // BCryptHashData counts its bytes in a ULONG
const wchar_t kHexDigits[] = L"0123456789abcdef";

// HMAC-SHA256 of size bytes with the machine's key; false when the platform cannot make it.
bool KeyedHash(const BYTE* key, const BYTE* bytes, std::size_t size, BYTE* digest) {
    CryptoAlgorithm algorithm;
    CryptoHash hash;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(algorithm.Put(), BCRYPT_SHA256_ALGORITHM, nullptr,
                                                    BCRYPT_ALG_HANDLE_HMAC_FLAG)) ||
        !BCRYPT_SUCCESS(BCryptCreateHash(algorithm.Get(), hash.Put(), nullptr, 0, const_cast<BYTE*>(key),
                                         kBackupKeyBytes, 0))) {
        return false;
    }
    while (size > 0) {
        const ULONG piece = size > kLargestPiece ? kLargestPiece : static_cast<ULONG>(size);
        if (!BCRYPT_SUCCESS(BCryptHashData(hash.Get(), const_cast<BYTE*>(bytes), piece, 0))) return false;
        bytes += piece;
        size -= piece;
    }
    return BCRYPT_SUCCESS(BCryptFinishHash(hash.Get(), digest, kDigestBytes, 0));
}

// The key, read (and with make, made) and held only while the owner lives.
struct HeldKey {
    BYTE bytes[kBackupKeyBytes] = {};
    ~HeldKey() { SecureZeroMemory(bytes, sizeof(bytes)); }
};

int HexValue(wchar_t c) {
    for (int i = 0; i < 16; ++i) {
        if (kHexDigits[i] == c) return i;
    }
    return -1;
}

}  // namespace

SealOutcome SealBackupText(GrowingText& text) {
    HeldKey key;
    const LONG status = ReadBackupKey(key.bytes, true);
    if (status == ERROR_ACCESS_DENIED) return SealNoRights;
    if (status != ERROR_SUCCESS) return SealFailed;
    AppendString(text, L"\r\n");  // a blank line before it, as before every comment the backups hold
    if (text.failed) return SealFailed;
    BYTE digest[kDigestBytes];
    if (!KeyedHash(key.bytes, reinterpret_cast<const BYTE*>(TextChars(text)), text.length * sizeof(wchar_t), digest)) {
        return SealFailed;
    }
    AppendString(text, kSealLabel);
    for (BYTE b : digest) {
        AppendChar(text, kHexDigits[b >> 4]);
        AppendChar(text, kHexDigits[b & 15]);
    }
    AppendString(text, L"\r\n");
    return text.failed ? SealFailed : SealAdded;
}

SealCheck CheckBackupSeal(const BYTE* bytes, std::size_t size) {
    const auto at = [bytes](std::size_t i) { return static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)); };
    const std::size_t labelLength = std::wcslen(kSealLabel);
    const std::size_t lineLength = labelLength + 2 * kDigestBytes + 2;  // with its CR LF
    const std::size_t count = size / 2;
    if (size % 2 != 0 || count <= lineLength) return SealNotMatched;
    // The line starts a line of its own and ends the file.
    const std::size_t start = count - lineLength;
    if (at(start - 1) != L'\n' || at(count - 2) != L'\r' || at(count - 1) != L'\n') return SealNotMatched;
    for (std::size_t i = 0; i < labelLength; ++i) {
        if (at(start + i) != kSealLabel[i]) return SealNotMatched;
    }
    BYTE written[kDigestBytes];
    for (std::size_t i = 0; i < kDigestBytes; ++i) {
        const int high = HexValue(at(start + labelLength + 2 * i));
        const int low = HexValue(at(start + labelLength + 2 * i + 1));
        if (high < 0 || low < 0) return SealNotMatched;
        written[i] = static_cast<BYTE>(high << 4 | low);
    }
    HeldKey key;
    const LONG status = ReadBackupKey(key.bytes, false);
    if (status == ERROR_ACCESS_DENIED) return SealKeyRefused;
    if (status != ERROR_SUCCESS) return SealNotMatched;
    BYTE digest[kDigestBytes];
    if (!KeyedHash(key.bytes, bytes, start * sizeof(wchar_t), digest)) return SealUnchecked;
    // Every byte compared, whichever differs first.
    BYTE difference = 0;
    for (std::size_t i = 0; i < kDigestBytes; ++i) difference |= static_cast<BYTE>(digest[i] ^ written[i]);
    return difference == 0 ? SealMatches : SealNotMatched;
}
