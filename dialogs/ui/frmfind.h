#pragma once
// frmFind, the modeless "Find - Replace" dialog. It is created hidden once
// and kept; the main window calls showFromMenu() for "&Find..." and
// "&Replace..." and findNext() for "Find &next". The searching itself is
// FindReplace's; this window mirrors its controls into it.

#include "dialogs/findreplace.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;

namespace qln {

class Prompter;
class Surface;
class SurfaceView;

class frmFind : public QDialog {
    Q_OBJECT
public:
    // view (may be null) receives the focus after a search; owner is the
    // main window, brought to the front by Cancel.
    frmFind(Surface &surface, SurfaceView *view, Prompter &prompter, QWidget *owner = nullptr);
    ~frmFind() override;

    // "&Find..." and "&Replace...": the selected text goes into the find
    // box, then the dialog shows (its activation may put the last find
    // text there instead).
    void showFromMenu();
    // "Find &next": the Find button's action with the current settings,
    // without showing the dialog.
    void findNext();

    // Offer to suspend the automatic features before Replace All.
    void setSuspendOffer(std::function<bool()> offer);

    FindReplace &model() { return m_model; }

    void cmdFind_Click();
    void cmdReplace_Click();
    void cmdReplaceAll_Click();
    void cmdCancel_Click();

protected:
    bool event(QEvent *event) override;
    void reject() override;

private:
    void readControls();
    void writeControls();

    Surface &m_surface;
    SurfaceView *m_view;
    QWidget *m_owner;
    FindReplace m_model;

    QComboBox *cboFind;
    QComboBox *cboReplace;
    QRadioButton *optUp;
    QRadioButton *optdown;
    QCheckBox *chkWholeWord;
    QCheckBox *chkMatchCase;
    QPushButton *cmdFind;
    QPushButton *cmdReplace;
    QPushButton *cmdReplaceAll;
    QPushButton *cmdCancel;
};

} // namespace qln
