#include "surface/undohistory.h"

#include <limits>

namespace qln {

namespace {

constexpr quint64 kNoState = std::numeric_limits<quint64>::max();

} // namespace

UndoHistory::UndoHistory(QObject *parent) : QObject(parent) {}
UndoHistory::~UndoHistory() = default;

bool UndoHistory::setRecording(bool on)
{
    const bool was = m_recording;
    m_recording = on;
    return was;
}

void UndoHistory::beginGroup()
{
    if (m_groupDepth++ == 0)
        m_groupStepOpen = false;
}

void UndoHistory::endGroup()
{
    if (m_groupDepth > 0 && --m_groupDepth == 0) {
        if (m_groupStepOpen)
            m_merge = false;
        m_groupStepOpen = false;
    }
}

UndoHistory::Edit *UndoHistory::record(Edit edit, bool typed, bool startsWord)
{
    if (!m_recording)
        return nullptr;
    if (!m_redo.empty()) {
        m_redo.clear();
        emit historyChanged();
    }
    if (m_groupDepth > 0 && m_groupStepOpen && !m_undo.empty()) {
        m_undo.back().edits.push_back(std::move(edit));
        m_undo.back().id = m_nextStateId++;
        return &m_undo.back().edits.back();
    }
    const bool typedChar = typed && m_groupDepth == 0;
    if (typedChar && m_merge && !m_undo.empty()) {
        Step &last = m_undo.back();
        const Edit &prev = last.edits.back();
        if (last.typing && last.edits.size() == 1 && prev.removedText.isEmpty()
            && prev.pos + prev.insertedLength == edit.pos && !startsWord) {
            ++last.edits.back().insertedLength;
            // The step now leads to another text than before.
            last.id = m_nextStateId++;
            return nullptr;
        }
    }
    Step step;
    step.edits.push_back(std::move(edit));
    step.id = m_nextStateId++;
    step.typing = typedChar;
    const bool hadUndo = !m_undo.empty();
    m_undo.push_back(std::move(step));
    if (m_groupDepth > 0)
        m_groupStepOpen = true;
    m_merge = typedChar;
    if (!hadUndo)
        emit historyChanged();
    return &m_undo.back().edits.back();
}

std::optional<UndoHistory::Step> UndoHistory::take(std::vector<Step> &from)
{
    if (from.empty())
        return std::nullopt;
    Step step = std::move(from.back());
    from.pop_back();
    m_merge = false;
    return step;
}

void UndoHistory::put(std::vector<Step> &to, Step step)
{
    // The state is now the one before the step (undo) or the step's own
    // (redo): the stacks tell which.
    to.push_back(std::move(step));
    updateModified();
    emit historyChanged();
}

std::optional<UndoHistory::Step> UndoHistory::takeUndo()
{
    return take(m_undo);
}

void UndoHistory::undone(Step opposite)
{
    put(m_redo, std::move(opposite));
}

std::optional<UndoHistory::Step> UndoHistory::takeRedo()
{
    return take(m_redo);
}

void UndoHistory::redone(Step opposite)
{
    put(m_undo, std::move(opposite));
}

void UndoHistory::clear()
{
    const bool clean = !m_modified;
    const bool had = !m_undo.empty() || !m_redo.empty();
    m_undo.clear();
    m_redo.clear();
    m_merge = false;
    m_groupStepOpen = false;
    m_cleanState = clean ? 0 : kNoState;
    updateModified();
    if (had)
        emit historyChanged();
}

void UndoHistory::updateModified()
{
    const bool modified = currentState() != m_cleanState;
    if (modified == m_modified)
        return;
    m_modified = modified;
    emit modifiedChanged(modified);
}

void UndoHistory::setClean()
{
    m_cleanState = currentState();
    updateModified();
}

void UndoHistory::markModified()
{
    m_cleanState = kNoState;
    updateModified();
}

} // namespace qln
