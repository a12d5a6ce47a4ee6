#pragma once
// The keyboard's lock keys as the window system knows them, for the status
// bar's CAPS, NUM and SCRL panels.

#include <optional>

namespace qln {

struct LockKeyStates {
    bool caps = false;
    bool num = false;
    bool scroll = false;
    bool operator==(const LockKeyStates &) const = default;
};

// The lock states now, read from the X server's keyboard indicators;
// nothing where the platform cannot tell (Wayland, offscreen).
std::optional<LockKeyStates> readLockKeyStates();

} // namespace qln
