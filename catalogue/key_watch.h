// A change notification on one registry key, so that what was read from the
// key can be kept until the key changes.
#pragma once
#include "../base/scoped.h"

class KeyWatch {
public:
    KeyWatch() = default;
    KeyWatch(const KeyWatch&) = delete;
    KeyWatch& operator=(const KeyWatch&) = delete;

    // Watches root\path and everything below it for added or removed keys and
    // changed values. Where the key is not there, the nearest key above it
    // that is (root itself excluded) is watched for a key added or removed
    // directly below it, which is how the key's creation begins. Returns
    // whether the watch is in place; a key that cannot be opened for
    // notification (other than missing) cannot be watched.
    bool Arm(HKEY root, const wchar_t* path);

    // Whether the key may have changed since Arm: its notification fired, or
    // it was never armed or could not be.
    bool Fired() const;

    // Nothing watched any more: Fired holds until the next Arm.
    void Disarm();

    // The event its notification sets, while it is armed (null otherwise),
    // for a caller that waits on several watches at once.
    HANDLE ArmedEvent() const { return armed_ ? changed_.Get() : nullptr; }

private:
    RegKey key_;
    KernelHandle changed_;
    bool armed_ = false;
};
