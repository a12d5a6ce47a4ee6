#pragma once
// The tool dialog as plain data: the three file boxes, the thirteen option
// slots, the command-line code and the check boxes around it. The dialog
// mirrors its controls into a JavaXState and back; every routine of the
// tool front end works on this model, so none of them needs a widget.

#include <QString>
#include <array>

namespace qln {

// How a slot's argument is entered.
enum class EntryKind {
    None,            // a switch without an argument
    Text,            // typed
    FolderBrowse,    // typed, or chosen with the folder browser
    FolderOrArchive, // typed, or a folder or a .jar/.zip file (Run's -classpath)
    FileBrowse,      // typed, or a file chosen with the file dialog (Jar's -m)
    EncodingList,    // chosen from the encoding list, which may also be typed into
};

// One row of a mode's option catalogue.
struct OptionDef {
    int slot = -1;
    QString switchText;  // the check box's caption, e.g. "-classpath"
    QString description; // the check box's tool tip
    QString placeholder; // the argument box's tool tip ("" without an argument)
    EntryKind entry = EntryKind::None;
    int row = -1; // grid row the slot is shown on (its slot unless the layout moves it)
};

inline constexpr int kOptionSlots = 13;

// chkOPT(i), txtOPT(i) and CmdOPTBROWSE(i) of one slot.
struct OptionSlot {
    OptionDef def;       // empty switchText: the slot is not used by the mode
    bool ticked = false; // chkOPT(i)
    QString argument;    // txtOPT(i); slot 6's holds the encoding code
    bool argumentEnabled = false;
    bool used() const { return !def.switchText.isEmpty(); }
    bool hasArgument() const
    {
        return def.entry != EntryKind::None && def.entry != EntryKind::EncodingList;
    }
    bool hasBrowse() const
    {
        return def.entry == EntryKind::FolderBrowse || def.entry == EntryKind::FolderOrArchive
               || def.entry == EntryKind::FileBrowse;
    }
};

// txtInFIle, txt2 and txtJavaX. archiveInUse is txt2's tag ("T"): it
// decides how the code's box numbers are counted.
struct FileBoxes {
    QString inFile;
    QString archive;
    QString executable;
    bool archiveInUse = false;

    // The text of box n as the code numbers them: 1 the input file; 2 the
    // archive when it is in use, else the executable; 3 the executable when
    // the archive is in use, else not available ("").
    QString box(int n) const
    {
        switch (n) {
        case 1: return inFile;
        case 2: return archiveInUse ? archive : executable;
        case 3: return archiveInUse ? executable : QString();
        default: return QString();
        }
    }
};

struct JavaXState {
    QString mode;       // the dialog's caption: the current mode as it was passed
    bool ready = false; // cleared while a mode loads; rebuilding waits for it

    FileBoxes boxes;
    QString archiveCaption;    // fra2
    QString executableCaption; // FraJavaX
    QString runCaption;        // cmdJavaX
    bool archiveShown = false; // fra2 visible

    std::array<OptionSlot, kOptionSlots> options; // the 13 slots of the option grid
    bool encodingVisible = false;                 // CboEncoding
    bool encodingEnabled = false;
    QString encodingText;    // CboEncoding's text
    QString other;           // txtother
    bool showOptions = true; // the grid is expanded ("^")

    QString code;                        // rtfCommandLineOptions
    QString commandLine;                 // rtfCommandLine: the result of the last valid evaluation
    bool ignoreDashes = false;           // chkIgnoreDashes
    bool leaveSpaces = true;             // chkLeaveSpaceBetweenOptions
    bool launchInSeparateWindow = false; // chkLaunchInSeparateWindow
    bool panelOpen = false;              // the editing panel: coding box shown, run button disabled
    bool runEnabled = true;              // cmdJavaX
};

} // namespace qln
