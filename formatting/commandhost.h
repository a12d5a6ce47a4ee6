#pragma once
// What the whole-document commands (colourize-all, indent-all, spell
// correct all, case changes) need from the window that runs them. The
// main window implements it; tests implement it with plain fields.

#include <QString>

namespace qln {

class Prompter;
class Surface;
struct Preferences;

// A progress bar with values 0 to 100. Values outside that range are
// refused and leave the bar as it was.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual bool isVisible() const = 0;
    virtual void setVisible(bool visible) = 0;
    virtual int value() const = 0;
    virtual void setValue(int value) = 0; // repaints
};

class CommandHost {
public:
    virtual ~CommandHost() = default;
    virtual Surface &surface() = 0;
    virtual Prompter &prompter() = 0;
    virtual const Preferences &preferences() const = 0;
    virtual ProgressSink &progress() = 0;

    virtual QString caption() const = 0;
    virtual void setCaption(const QString &caption) = 0;
    // Status panel 1, repainted at once.
    virtual void setStatusText(const QString &text) = 0;
    // Hourglass pointer on or off.
    virtual void setBusy(bool busy) = 0;
    virtual void setWindowEnabled(bool enabled) = 0;
    // Stops (false) or starts again (true) painting the view of the
    // surface, while a command edits it in bulk. Not counted: one call
    // with true paints again, however many calls with false came before.
    virtual void setSurfacePainted(bool painted) = 0;
    // Paints the editing surface again and gives it the keyboard focus.
    virtual void focusSurface() = 0;
    // The Save command; true when the file was written.
    virtual bool saveDocument() = 0;
};

} // namespace qln
