#pragma once
// A CommandHost of plain fields for the command tests: a headless surface,
// the scripted prompter, preferences, a progress bar that refuses values
// outside 0..100 and records what it was given, whether the surface's view
// paints, and a log of window calls.

#include "formatting/commandhost.h"
#include "settings/preferences.h"
#include "support/scriptedprompter.h"
#include "surface/surface.h"

#include <QStringList>
#include <vector>

namespace qln::test {

class RecordingProgress : public ProgressSink {
public:
    bool isVisible() const override { return m_visible; }
    void setVisible(bool visible) override { m_visible = visible; }
    int value() const override { return m_value; }
    void setValue(int value) override
    {
        given.push_back(value);
        if (value >= 0 && value <= 100)
            m_value = value;
    }
    std::vector<int> given;

private:
    bool m_visible = false;
    int m_value = 0;
};

class FakeHost : public CommandHost {
public:
    Surface &surface() override { return m_surface; }
    Prompter &prompter() override { return prompts; }
    const Preferences &preferences() const override { return prefs; }
    ProgressSink &progress() override { return bar; }
    QString caption() const override { return m_caption; }
    void setCaption(const QString &caption) override
    {
        m_caption = caption;
        log << QStringLiteral("caption ") + caption;
    }
    void setStatusText(const QString &text) override
    {
        status = text;
        log << QStringLiteral("status ") + text;
    }
    void setBusy(bool busy) override
    {
        this->busy = busy;
        log << (busy ? QStringLiteral("busy") : QStringLiteral("idle"));
    }
    void setWindowEnabled(bool enabled) override
    {
        windowEnabled = enabled;
        log << (enabled ? QStringLiteral("enabled") : QStringLiteral("disabled"));
    }
    void setSurfacePainted(bool painted) override { surfacePainted = painted; }
    void focusSurface() override { log << QStringLiteral("focus"); }
    bool saveDocument() override
    {
        log << QStringLiteral("save");
        return true;
    }

    Surface m_surface;
    ScriptedPrompter prompts;
    Preferences prefs;
    RecordingProgress bar;
    QString m_caption = QStringLiteral("Document [A.java] - Quillon");
    QString status;
    bool busy = false;
    bool windowEnabled = true;
    bool surfacePainted = true; // the view of the surface paints
    QStringList log;
};

} // namespace qln::test
