// The undo history on its own (what makes a step, the clean point and the
// modified state, the signals), replayed on a plain string, and as the
// surface applies it (formats put back, edits made with recording off,
// typed characters).
#include "surface/surface.h"
#include "surface/undohistory.h"

#include <QSignalSpy>
#include <QTest>

using namespace qln;

namespace {

// A plain text the history's edits are made on and taken back from, as the
// surface does it.
struct PlainText {
    QString text;
    UndoHistory history;

    // Records and makes an edit; `typed` as a view types a character.
    void edit(int pos, int removed, const QString &inserted, bool typed = false)
    {
        UndoHistory::Edit e;
        e.pos = pos;
        e.removedText = text.mid(pos, removed);
        e.insertedLength = int(inserted.size());
        const bool startsWord = typed && pos > 0 && TextStore::isWordCharacter(inserted.at(0))
                                && !TextStore::isWordCharacter(text.at(pos - 1));
        history.record(std::move(e), typed, startsWord);
        if (!typed)
            history.breakMerge();
        text.replace(pos, removed, inserted);
        history.updateModified();
    }
    void type(const QString &chars)
    {
        for (QChar c : chars)
            edit(int(text.size()), 0, QString(c), true);
    }
    // Takes the last step back (or makes the last undone one again).
    bool step(bool redo)
    {
        std::optional<UndoHistory::Step> s = redo ? history.takeRedo() : history.takeUndo();
        if (!s)
            return false;
        UndoHistory::Step opposite;
        opposite.id = s->id;
        for (auto it = s->edits.rbegin(); it != s->edits.rend(); ++it) {
            UndoHistory::Edit back;
            back.pos = it->pos;
            back.removedText = text.mid(it->pos, it->insertedLength);
            back.insertedLength = int(it->removedText.size());
            back.marksBefore = it->marksBefore;
            text.replace(it->pos, it->insertedLength, it->removedText);
            opposite.edits.push_back(std::move(back));
        }
        if (redo)
            history.redone(std::move(opposite));
        else
            history.undone(std::move(opposite));
        return true;
    }
    QStringList undoAll()
    {
        QStringList seen;
        while (step(false))
            seen << text;
        return seen;
    }
};

} // namespace

class TstHistory : public QObject {
    Q_OBJECT
private slots:
    void stepsFromGroupsAndTyping()
    {
        {
            // Typed characters make one step per word; a blank stays with the
            // word before it, a line break or a jump of the caret ends the step.
            PlainText p;
            p.type(QStringLiteral("ab cd"));
            p.edit(int(p.text.size()), 0, QStringLiteral("\r\n"));
            p.type(QStringLiteral("e"));
            p.edit(0, 0, QStringLiteral("x"), true); // somewhere else
            p.type(QStringLiteral("f"));
            QCOMPARE(p.text, QStringLiteral("xab cd\r\nef"));
            QCOMPARE(p.undoAll(),
                     QStringList({"xab cd\r\ne", "ab cd\r\ne", "ab cd\r\n", "ab cd", "ab ", ""}));
            // Redo makes each step again, in order.
            QVERIFY(p.step(true) && p.step(true));
            QCOMPARE(p.text, QStringLiteral("ab cd"));
            QVERIFY(p.history.canRedo());
            // A new edit forgets what could be redone.
            p.type(QStringLiteral("g"));
            QVERIFY(!p.history.canRedo());
            QCOMPARE(p.undoAll(), QStringList({"ab cd", "ab ", ""}));
        }
        {
            // Groups (nested) make one step of everything inside, typed
            // characters too, and the next character typed starts a new step.
            PlainText p;
            p.type(QStringLiteral("a"));
            p.history.beginGroup();
            p.type(QStringLiteral("b"));
            p.history.beginGroup();
            p.edit(0, 1, QStringLiteral("A"));
            p.history.endGroup();
            p.type(QStringLiteral("c"));
            p.history.endGroup();
            p.type(QStringLiteral("d"));
            p.history.breakMerge();
            p.type(QStringLiteral("e"));
            QCOMPARE(p.text, QStringLiteral("Abcde"));
            QCOMPARE(p.undoAll(), QStringList({"Abcd", "Abc", "a", ""}));
        }
        {
            // Edits made while recording is off are not kept; what an edit cut
            // of the marks comes back with its step.
            PlainText p;
            p.edit(0, 0, QStringLiteral("keep"));
            QVERIFY(p.history.setRecording(false));
            p.edit(4, 0, QStringLiteral("!"));
            QVERIFY(!p.history.setRecording(true));
            UndoHistory::Edit e;
            e.pos = 0;
            e.removedText = QStringLiteral("keep");
            e.insertedLength = 1;
            UndoHistory::Edit *kept = p.history.record(std::move(e), false, false);
            QVERIFY(kept);
            kept->marksBefore.push_back({7, 1, 2});
            std::optional<UndoHistory::Step> s = p.history.takeUndo();
            QVERIFY(s && s->edits.size() == 1);
            QCOMPARE(s->edits.front().marksBefore.size(), size_t(1));
            QCOMPARE(s->edits.front().marksBefore.front().id, MarkId(7));
            s = p.history.takeUndo();
            QVERIFY(s && s->edits.front().insertedLength == 4);
            QVERIFY(!p.history.canUndo() && !p.history.takeUndo());
        }
    }
    void cleanPointAndSignals()
    {
        PlainText p;
        QSignalSpy modified(&p.history, &UndoHistory::modifiedChanged);
        QSignalSpy history(&p.history, &UndoHistory::historyChanged);
        QVERIFY(!p.history.isModified());
        p.type(QStringLiteral("ab"));
        QVERIFY(p.history.isModified());
        QCOMPARE(modified.count(), 1); // once, not per character
        QCOMPARE(history.count(), 1);  // Undo became possible
        p.history.setClean();
        QVERIFY(!p.history.isModified());
        p.edit(2, 0, QStringLiteral(" c"));
        QVERIFY(p.step(false)); // back to the clean point
        QVERIFY(!p.history.isModified());
        QVERIFY(p.step(false)); // past it
        QVERIFY(p.history.isModified());
        QVERIFY(p.step(true));
        QVERIFY(!p.history.isModified());
        QVERIFY(p.step(true));
        QVERIFY(p.history.isModified());
        QCOMPARE(modified.count(), 7);
        QCOMPARE(history.count(), 5);
        // The document's only copy: no state is clean any more.
        p.step(false);
        p.history.markModified();
        QVERIFY(p.history.isModified());
        p.step(false);
        QVERIFY(p.history.isModified());
        // Clearing keeps the state: modified stays modified, clean stays clean.
        p.history.clear();
        QVERIFY(p.history.isModified() && !p.history.canUndo() && !p.history.canRedo());
        p.history.setClean();
        p.edit(0, 0, QStringLiteral("x"));
        p.step(false);
        history.clear();
        p.history.clear();
        QVERIFY(!p.history.isModified());
        QCOMPARE(history.count(), 1);
    }
    void surfaceAppliesItsHistory()
    {
        Surface s;
        s.setText(QStringLiteral("keep this"));
        s.setSelection(0, 4);
        s.setSelColor(255);
        s.setSelection(0, 9);
        s.setSelText(QStringLiteral("gone"));
        s.undo();
        QCOMPARE(s.text(), QStringLiteral("keep this"));
        QCOMPARE(s.formatAt(0).color, 255u);
        QCOMPARE(s.formatAt(5).color, 0u);
        s.redo();
        QCOMPARE(s.text(), QStringLiteral("gone"));
        s.undo();
        // Edits made with recording off cannot be undone.
        const bool was = s.setUndoRecording(false);
        s.setSelStart(0);
        s.setSelText(QStringLiteral(">"));
        s.setUndoRecording(was);
        s.undo();
        QCOMPARE(s.text(), QStringLiteral(">keep this"));

        // Typed characters undo as one step, up to a line break.
        s.setText(QStringLiteral("x"));
        s.setSelStart(1);
        for (QChar c : QStringLiteral("abc"))
            s.replace(s.selStart(), 0, QString(c), true);
        s.notifyChanged();
        s.replace(s.selStart(), 0, QStringLiteral("\r\n"), true);
        s.replace(s.selStart(), 0, QStringLiteral("d"), true);
        for (const char *left : {"xabc\r\n", "xabc", "x"}) {
            s.undo();
            QCOMPARE(s.text(), QString::fromLatin1(left));
        }
    }
};

QTEST_MAIN(TstHistory)
#include "tst_history.moc"
