// Small owners for the platform's resources, so that every key, interface,
// variant, heap block and handle is released on every path by construction.
#pragma once
#include "win_headers.h"

#include <bcrypt.h>

// An open registry key; closed when the owner goes out of scope.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Opens root\path with the platform's default access; returns its status.
    LONG Open(HKEY root, const wchar_t* path) {
        Close();
        return RegOpenKeyW(root, path, &key_);
    }
    // Opens root\path for reading only (KEY_READ); returns its status.
    LONG OpenForReading(HKEY root, const wchar_t* path) {
        Close();
        return RegOpenKeyExW(root, path, 0, KEY_READ, &key_);
    }
    void Close() {
        if (key_) {
            RegCloseKey(key_);
            key_ = nullptr;
        }
    }
    HKEY Get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    // Takes over a key opened elsewhere; whatever was held is closed first.
    void Attach(HKEY key) {
        Close();
        key_ = key;
    }
    // Hands the key over to the caller, who closes it.
    HKEY Detach() {
        HKEY key = key_;
        key_ = nullptr;
        return key;
    }
    // The address to hand to an opening call; whatever was held is closed first.
    HKEY* Put() {
        Close();
        return &key_;
    }

private:
    HKEY key_ = nullptr;
};

// A COM interface pointer that releases what it holds.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    void Reset() {
        if (ptr_) {
            ptr_->Release();
            ptr_ = nullptr;
        }
    }
    // The address to hand to a creating call; whatever was held is released first.
    T** Put() {
        Reset();
        return &ptr_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    T* Get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    // Takes over a reference the caller owns; whatever was held is released first.
    void Attach(T* ptr) {
        Reset();
        ptr_ = ptr;
    }
    // Hands the reference over to the caller, who releases it.
    T* Detach() {
        T* ptr = ptr_;
        ptr_ = nullptr;
        return ptr;
    }

private:
    T* ptr_ = nullptr;
};

// A VARIANT cleared with VariantClear on the way out.
class ScopedVariant {
public:
    ScopedVariant() { VariantInit(&value_); }
    ~ScopedVariant() { VariantClear(&value_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;

    VARIANT* Get() { return &value_; }
    const VARIANT& operator*() const { return value_; }
    const VARIANT* operator->() const { return &value_; }

private:
    VARIANT value_;
};

// A block from the process heap that can grow, keeping its contents; empty
// until the first Reserve.
class HeapBuffer {
public:
    HeapBuffer() = default;
    ~HeapBuffer() {
        if (data_) HeapFree(GetProcessHeap(), 0, data_);
    }
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;

    // Makes room for at least `bytes` bytes; false (the block unchanged) when
    // the heap cannot give them.
    bool Reserve(SIZE_T bytes) {
        if (bytes <= size_) return true;
        void* grown = data_ ? HeapReAlloc(GetProcessHeap(), 0, data_, bytes) : HeapAlloc(GetProcessHeap(), 0, bytes);
        if (!grown) return false;
        data_ = static_cast<BYTE*>(grown);
        size_ = bytes;
        return true;
    }
    BYTE* Get() const { return data_; }
    SIZE_T Size() const { return size_; }
    // Trades blocks with other.
    void Swap(HeapBuffer& other) {
        BYTE* data = data_;
        const SIZE_T size = size_;
        data_ = other.data_;
        size_ = other.size_;
        other.data_ = data;
        other.size_ = size;
    }

private:
    BYTE* data_ = nullptr;
    SIZE_T size_ = 0;
};

// A memory block from CoTaskMemAlloc, freed with CoTaskMemFree.
template <typename T>
class CoTaskMem {
public:
    CoTaskMem() = default;
    explicit CoTaskMem(T* p) : ptr_(p) {}
    ~CoTaskMem() { CoTaskMemFree(ptr_); }
    CoTaskMem(const CoTaskMem&) = delete;
    CoTaskMem& operator=(const CoTaskMem&) = delete;

    T* Get() const { return ptr_; }

private:
    T* ptr_ = nullptr;
};

// A memory block from LocalAlloc (CommandLineToArgvW's words), freed with LocalFree.
template <typename T>
class LocalMem {
public:
    explicit LocalMem(T* p) : ptr_(p) {}
    ~LocalMem() {
        if (ptr_) LocalFree(ptr_);
    }
    LocalMem(const LocalMem&) = delete;
    LocalMem& operator=(const LocalMem&) = delete;

    T* Get() const { return ptr_; }

private:
    T* ptr_;
};

// A search handle from FindFirstFileW.
class FindHandle {
public:
    explicit FindHandle(HANDLE h) : handle_(h) {}
    ~FindHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;

    bool Found() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// A folder's change notification from FindFirstChangeNotificationW.
class ChangeNotification {
public:
    ChangeNotification() = default;
    ~ChangeNotification() { Close(); }
    ChangeNotification(const ChangeNotification&) = delete;
    ChangeNotification& operator=(const ChangeNotification&) = delete;

    // Watches folder for the changes filter names; false where it cannot.
    bool Open(const wchar_t* folder, DWORD filter) {
        Close();
        handle_ = FindFirstChangeNotificationW(folder, FALSE, filter);
        return handle_ != INVALID_HANDLE_VALUE;
    }
    // Whether a change came since Open (or it could not be opened).
    bool Fired() const { return handle_ == INVALID_HANDLE_VALUE || WaitForSingleObject(handle_, 0) != WAIT_TIMEOUT; }
    // The handle to wait on, or null where none is open.
    HANDLE Handle() const { return handle_ == INVALID_HANDLE_VALUE ? nullptr : handle_; }
    void Close() {
        if (handle_ != INVALID_HANDLE_VALUE) FindCloseChangeNotification(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A GDI object (a bitmap made or loaded for a dialog), deleted when the owner goes out of scope.
class GdiObject {
public:
    GdiObject() = default;
    ~GdiObject() { Reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    // Deletes what was held and takes object over.
    void Reset(HGDIOBJ object = nullptr) {
        if (object_) DeleteObject(object_);
        object_ = object;
    }
    HGDIOBJ Get() const { return object_; }

private:
    HGDIOBJ object_ = nullptr;
};

// A file handle from CreateFileW.
class FileHandle {
public:
    explicit FileHandle(HANDLE h) : handle_(h) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Closes the file now; false when the system reports that it could not.
    bool Close() {
        if (handle_ == INVALID_HANDLE_VALUE) return true;
        const BOOL closed = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed != FALSE;
    }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// A kernel object handle whose "none" is null (a token, a pipe's end),
// closed when the owner goes out of scope.
class KernelHandle {
public:
    KernelHandle() = default;
    ~KernelHandle() { Close(); }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;

    void Close() {
        if (handle_) {
            CloseHandle(handle_);
            handle_ = nullptr;
        }
    }
    // The address to hand to an opening call; whatever was held is closed first.
    HANDLE* Put() {
        Close();
        return &handle_;
    }
    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HANDLE handle_ = nullptr;
};

// A file's bytes mapped read-only as data (never as an image), unmapped and
// closed when the owner goes out of scope. An empty file maps nothing.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile() { Close(); }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Maps the whole of an open file; false when it cannot be mapped.
    bool Map(HANDLE file) {
        Close();
        LARGE_INTEGER size = {};
        if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0 ||
            static_cast<unsigned long long>(size.QuadPart) > static_cast<SIZE_T>(-1)) {
            return false;
        }
        mapping_ = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (!mapping_) return false;
        view_ = static_cast<const BYTE*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0));
        if (!view_) return false;
        size_ = static_cast<SIZE_T>(size.QuadPart);
        return true;
    }
    void Close() {
        if (view_) UnmapViewOfFile(view_);
        if (mapping_) CloseHandle(mapping_);
        view_ = nullptr;
        mapping_ = nullptr;
        size_ = 0;
    }
    const BYTE* Bytes() const { return view_; }
    SIZE_T Size() const { return size_; }

private:
    HANDLE mapping_ = nullptr;
    const BYTE* view_ = nullptr;
    SIZE_T size_ = 0;
};

// The process and thread handles that CreateProcessW hands back.
class ProcessHandles {
public:
    ProcessHandles() { ZeroMemory(&info_, sizeof(info_)); }
    ~ProcessHandles() {
        if (info_.hThread) CloseHandle(info_.hThread);
        if (info_.hProcess) CloseHandle(info_.hProcess);
    }
    ProcessHandles(const ProcessHandles&) = delete;
    ProcessHandles& operator=(const ProcessHandles&) = delete;

    PROCESS_INFORMATION* Get() { return &info_; }
    HANDLE Process() const { return info_.hProcess; }

private:
    PROCESS_INFORMATION info_;
};

// A growing array of plain records (copied byte for byte) on the process
// heap, for lists with no fixed bound.
template <typename T>
class HeapArray {
public:
    // Adds a copy of item at the end; false (nothing added) when the heap cannot give the room.
    bool Append(const T& item) {
        if ((count_ + 1) * sizeof(T) > block_.Size() && !block_.Reserve((count_ * 2 + 8) * sizeof(T))) return false;
        reinterpret_cast<T*>(block_.Get())[count_++] = item;
        return true;
    }
    // Makes room for count items at once, so that appending them copies
    // nothing (a list of large items grows by whole copies otherwise).
    bool Reserve(SIZE_T count) { return block_.Reserve(count * sizeof(T)); }
    SIZE_T Count() const { return count_; }
    T* Data() const { return reinterpret_cast<T*>(block_.Get()); }
    T& operator[](SIZE_T index) const { return Data()[index]; }
    void Clear() { count_ = 0; }
    // Trades contents with other.
    void Swap(HeapArray& other) {
        block_.Swap(other.block_);
        const SIZE_T count = count_;
        count_ = other.count_;
        other.count_ = count;
    }
    // Keeps the first `count` items (fewer than there are) and drops the rest.
    void Truncate(SIZE_T count) {
        if (count < count_) count_ = count;
    }

private:
    HeapBuffer block_;
    SIZE_T count_ = 0;
};

// A block the system allocated with LocalAlloc for the caller (a security
// descriptor made from its text, say), freed with LocalFree.
class LocalMemory {
public:
    LocalMemory() = default;
    ~LocalMemory() { LocalFree(ptr_); }
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;

    // The address to hand to an allocating call; whatever was held is freed first.
    void** Put() {
        LocalFree(ptr_);
        ptr_ = nullptr;
        return &ptr_;
    }
    void* Get() const { return ptr_; }

private:
    void* ptr_ = nullptr;
};

// An algorithm provider of the platform's cryptography (BCryptOpenAlgorithmProvider).
class CryptoAlgorithm {
public:
    CryptoAlgorithm() = default;
    ~CryptoAlgorithm() {
        if (handle_) BCryptCloseAlgorithmProvider(handle_, 0);
    }
    CryptoAlgorithm(const CryptoAlgorithm&) = delete;
    CryptoAlgorithm& operator=(const CryptoAlgorithm&) = delete;

    BCRYPT_ALG_HANDLE* Put() { return &handle_; }
    BCRYPT_ALG_HANDLE Get() const { return handle_; }

private:
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

// A hash object of the platform's cryptography (BCryptCreateHash).
class CryptoHash {
public:
    CryptoHash() = default;
    ~CryptoHash() {
        if (handle_) BCryptDestroyHash(handle_);
    }
    CryptoHash(const CryptoHash&) = delete;
    CryptoHash& operator=(const CryptoHash&) = delete;

    BCRYPT_HASH_HANDLE* Put() { return &handle_; }
    BCRYPT_HASH_HANDLE Get() const { return handle_; }

private:
    BCRYPT_HASH_HANDLE handle_ = nullptr;
};
