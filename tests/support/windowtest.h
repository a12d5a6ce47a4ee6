#pragma once
// The set-up the tests of the main window share, as a second base of the
// test class: before each test function a TestEnv holding the factory
// settings, an empty scripted prompter and a fresh folder for documents;
// after it the program-wide state reset and the check that every scripted
// answer was asked for. The test's init() and cleanup() call
// initWindowTest() and cleanupWindowTest().

#include "base/editorstate.h"
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "shell/ui/completionbox.h"
#include "shell/ui/frmedit.h"
#include "support/files.h"
#include "support/scriptedprompter.h"
#include "support/testenv.h"
#include "surface/surface.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace qln::test {

// A value of the program's preferences in the installed settings store.
inline QString pref(const char *key)
{
    return settingsStore().get(kPrefs, QLatin1String(key));
}
inline void setPref(const char *key, const QString &value)
{
    settingsStore().save(kPrefs, QLatin1String(key), value);
}

class WindowTest {
protected:
    void initWindowTest()
    {
        m_env = std::make_unique<TestEnv>();
        m_dir = std::make_unique<QTemporaryDir>();
        m_prompter.clear();
        m_settings = installFactorySettings(m_prompter);
        QVERIFY(m_settings);
    }
    void cleanupWindowTest()
    {
        editorState() = EditorState{};
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        QCOMPARE(m_prompter.pending(), 0); // every scripted answer was asked for
    }

    // A file in the test's own folder.
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // A main window on the file ("" for a new document), asking the script.
    std::unique_ptr<frmedit> open(const QString &file = QString())
    {
        return std::make_unique<frmedit>(file, &m_prompter, ProbePlaces{});
    }
    // Text added at the end of the document as one edit.
    static void append(frmedit &w, const QString &text)
    {
        w.surface()->setSelStart(w.surface()->length());
        w.surface()->setSelText(text);
    }
    static bool marked(const frmedit &w) { return w.windowTitle().endsWith(QLatin1Char('*')); }
    // What the completion box offers, in its order.
    static QStringList itemsOf(const CompletionBox *box)
    {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }
    // The shown top-level window of type T, if any.
    template <class T> static T *shownWindow()
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *t = qobject_cast<T *>(top); t && t->isVisible())
                return t;
        return nullptr;
    }

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;
    MemorySettingsBackend *m_settings = nullptr; // records the writes
};

} // namespace qln::test

// The tests read qln's names unqualified (using namespace qln); these come
// with them.
namespace qln {
using test::pref;
using test::setPref;
} // namespace qln
