#pragma once
// The main window as the formatting commands and the typing-time
// assistance see it: adapters from their host interfaces to frmedit's
// controls.

#include "formatting/commandhost.h"
#include "formatting/typingassist.h"

#include <QElapsedTimer>
#include <QObject>
#include <optional>

class QProgressBar;
class QWidget;

namespace qln {

class frmedit;

// The status bar's progress bar, repainted on every change.
class ProgressBarSink final : public ProgressSink {
public:
    explicit ProgressBarSink(QProgressBar *bar) : m_bar(bar) {}
    bool isVisible() const override;
    void setVisible(bool visible) override;
    int value() const override;
    void setValue(int value) override;

private:
    QProgressBar *m_bar;
    std::optional<int> m_given; // the value last reported
    QElapsedTimer m_shownAt;    // when the bar last showed a new value
};

// Holds a window still while a command works on its document: input the
// user aims at it (keys, mouse, wheel, shortcuts, context menu, drag and
// drop, closing) is dropped, for the window, its bars and its popup menus.
// Its own dialogs and message boxes still answer. Nothing is restyled or
// repainted, as disabling the window would do. Holds nest: the window is
// free again after as many releases as holds.
class WindowInputHold final : public QObject {
public:
    explicit WindowInputHold(QWidget &window) : m_window(window) {}
    ~WindowInputHold() override;
    void hold();
    void release();

protected:
    bool eventFilter(QObject *target, QEvent *event) override;

private:
    bool aimsAtWindow(const QObject *target) const;

    QWidget &m_window;
    int m_depth = 0;
};

class WindowCommandHost final : public CommandHost {
public:
    explicit WindowCommandHost(frmedit &window);
    ~WindowCommandHost() override;
    Surface &surface() override;
    Prompter &prompter() override;
    const Preferences &preferences() const override;
    ProgressSink &progress() override { return m_progress; }
    QString caption() const override;
    void setCaption(const QString &caption) override;
    void setStatusText(const QString &text) override;
    void setBusy(bool busy) override;
    // Holds the window (false) or releases one hold (true); see
    // WindowInputHold.
    void setWindowEnabled(bool enabled) override;
    void setSurfacePainted(bool painted) override;
    void focusSurface() override;
    bool saveDocument() override;

private:
    frmedit &m_window;
    ProgressBarSink m_progress;
    WindowInputHold m_hold;
    int m_busy = 0;
};

class WindowTypingHost final : public TypingHost {
public:
    explicit WindowTypingHost(frmedit &window) : m_window(window) {}
    Surface &surface() override;
    const Preferences &preferences() const override;
    const ObjectTree &objectTree() const override;
    AutoFeatureSwitches switches() const override;
    void focusSurface() override;
    void setSurfacePainted(bool painted) override;
    void syncBox(const TreeBoxModel &box) override;
    void placeBoxAtCaret(const QString &textBeforeCaret, int caret) override;
    void placeBoxFixed() override;
    void dropDownBox() override;
    void focusBox() override;
    int surfaceWidthTwips() const override;
    bool dropDownOnShow() const override;
    void setDefaultPointer() override;
    void updateStatusBar() override;
    void showParameterHint(const QString &hint) override;
    void showSelectionFormat(const std::optional<QString> &fontName,
                             const std::optional<double> &fontSize, bool bold, bool italic,
                             bool underline) override;
    void runCaseCommand(char which) override;

private:
    frmedit &m_window;
};

} // namespace qln
