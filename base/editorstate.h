#pragma once
// Program-wide editor flags. While suppressChange is set the surface's change
// handling returns at once; while suppressSelChange is set its selection
// handling does nothing. Bulk edits set them around their work.

namespace qln {

struct EditorState {
    bool suppressChange = false;
    bool suppressSelChange = false;
};

// The one instance the whole program shares; both flags start clear.
EditorState &editorState();

// Sets the chosen flags for the lifetime of the guard and restores their
// previous values afterwards.
class SuppressGuard {
public:
    explicit SuppressGuard(bool change = true, bool selChange = true);
    ~SuppressGuard();
    SuppressGuard(const SuppressGuard &) = delete;
    SuppressGuard &operator=(const SuppressGuard &) = delete;

private:
    bool m_oldChange, m_oldSelChange;
};

} // namespace qln
