#include "base/editorstate.h"

namespace qln {

EditorState &editorState()
{
    static EditorState state;
    return state;
}

SuppressGuard::SuppressGuard(bool change, bool selChange)
    : m_oldChange(editorState().suppressChange), m_oldSelChange(editorState().suppressSelChange)
{
    if (change)
        editorState().suppressChange = true;
    if (selChange)
        editorState().suppressSelChange = true;
}

SuppressGuard::~SuppressGuard()
{
    editorState().suppressChange = m_oldChange;
    editorState().suppressSelChange = m_oldSelChange;
}

} // namespace qln
