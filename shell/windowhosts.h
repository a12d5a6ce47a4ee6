#pragma once
// The main window as the formatting commands and the typing-time
// assistance see it: adapters from their host interfaces to frmedit's
// controls.

#include "formatting/commandhost.h"
#include "formatting/typingassist.h"

#include <QElapsedTimer>

class QProgressBar;

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
    int m_value = 0;         // the value last reported
    QElapsedTimer m_shownAt; // when the bar last showed a new value
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
    void setWindowEnabled(bool enabled) override;
    void focusSurface() override;
    bool saveDocument() override;

private:
    frmedit &m_window;
    ProgressBarSink m_progress;
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
    void syncBox(const TreeBoxModel &box) override;
    void placeBoxAtCaret(const QString &textBeforeCaret, int caret) override;
    void placeBoxFixed() override;
    void dropDownBox() override;
    void focusBox() override;
    int surfaceWidthTwips() const override;
    bool dropDownOnShow() const override;
    void setDefaultPointer() override;
    void updateStatusBar() override;
    void showSelectionFormat(const std::optional<QString> &fontName,
                             const std::optional<double> &fontSize, bool bold, bool italic,
                             bool underline) override;
    void runCaseCommand(char which) override;

private:
    frmedit &m_window;
};

} // namespace qln
