#pragma once
// The typing handlers attached to a headless surface, as the main window
// attaches them: no completion box, no status bar.

#include "enginesupport.h"
#include "fakehost.h"

#include "completion/objecttree.h"
#include "formatting/typingassist.h"
#include "surface/surface.h"

#include <QStringList>

namespace qln::test {

// The main window's part of the typing handlers, without a window: no
// completion box, no status bar.
class HeadlessTyping : public TypingHost {
public:
    explicit HeadlessTyping(FakeHost &host) : m_host(host) {}
    Surface &surface() override { return m_host.m_surface; }
    const Preferences &preferences() const override { return m_host.prefs; }
    const ObjectTree &objectTree() const override { return m_tree; }
    AutoFeatureSwitches switches() const override { return sw; }
    void focusSurface() override {}
    void setSurfacePainted(bool painted) override { m_host.surfacePainted = painted; }
    void syncBox(const TreeBoxModel &) override {}
    void placeBoxAtCaret(const QString &, int) override {}
    void placeBoxFixed() override {}
    void dropDownBox() override {}
    void focusBox() override {}
    int surfaceWidthTwips() const override { return 12000; }
    bool dropDownOnShow() const override { return false; }
    void setDefaultPointer() override {}
    void updateStatusBar() override {}
    void showParameterHint(const QString &) override {}
    void showSelectionFormat(const std::optional<QString> &, const std::optional<double> &, bool,
                             bool, bool) override
    {
    }
    void runCaseCommand(char) override {}

    AutoFeatureSwitches sw{true, true, false};

private:
    FakeHost &m_host;
    ObjectTree m_tree;
};

// A surface with the handlers attached, as the main window has it.
struct Editor {
    Editor()
    {
        host.prefs = enginetest::factoryPreferences();
        host.prefs.arrsfrom = QStringList{QString(), "adn", "teh", "wich"};
        host.prefs.arrsto = QStringList{QString(), "and", "the", "which"};
        host.prefs.fromtocount = 3;
        QObject::connect(&host.m_surface, &Surface::changed, &host.m_surface,
                         [this] { assist.onChange(); });
    }
    Surface &s() { return host.m_surface; }

    // What the view does for a typed key: the edit, then the change
    // notification once the key's own step is over.
    void type(const QString &keys)
    {
        for (QChar c : keys) {
            const QString text = c == QLatin1Char('\n') ? QStringLiteral("\r\n") : QString(c);
            s().replace(s().selStart(), s().selLength(), text, true);
            s().notifyChanged();
        }
    }
    void backspace()
    {
        const int at = s().selStart();
        if (at > 0) {
            const int n = at >= 2 && s().text().mid(at - 2, 2) == QLatin1String("\r\n") ? 2 : 1;
            s().replace(at - n, n, QString(), true);
            s().notifyChanged();
        }
    }
    QStringList undoAll()
    {
        QStringList seen;
        while (s().canUndo()) {
            s().undo();
            seen << s().text();
        }
        return seen;
    }

    FakeHost host;
    HeadlessTyping typingHost{host};
    TypingAssist assist{typingHost};
};

} // namespace qln::test
