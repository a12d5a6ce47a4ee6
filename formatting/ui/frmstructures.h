#pragma once
// "Edit Structures": edits the six statement templates. OK stores them,
// Cancel discards the edits, Defaults writes the Defaults texts to the
// store at once and shows them.

#include "formatting/templates.h"

#include <QDialog>

class QPushButton;

namespace qln {

class CommandHost;
class SurfaceView;

class frmstructures : public QDialog {
    Q_OBJECT
public:
    explicit frmstructures(QWidget *parent = nullptr);

    const StructureEditor &editor() const { return m_editor; }
    SurfaceView *rtfstructure() const { return m_rtfstructure; }
    QPushButton *templateButton(int k) const; // 1 "if" ... 6 "do while loop"
    QPushButton *cmdok() const { return m_cmdok; }
    QPushButton *cmdcancel() const { return m_cmdcancel; }
    QPushButton *cmddefaults() const { return m_cmddefaults; }

private:
    void showTemplate(int k);

    StructureEditor m_editor;
    SurfaceView *m_rtfstructure = nullptr;
    QPushButton *m_templateButtons[kTemplateCount] = {};
    QPushButton *m_cmdok = nullptr;
    QPushButton *m_cmdcancel = nullptr;
    QPushButton *m_cmddefaults = nullptr;
    bool m_showing = false;
};

// "Edit St&ructures ...": opens the dialog (deleted when closed); the main
// window takes no input until it closes. With a main window the dialog is
// its child, modal to it; without one it is a window of its own and the
// host's window is disabled meanwhile.
frmstructures *editstructures(CommandHost &host, QWidget *mainWindow = nullptr);

} // namespace qln
