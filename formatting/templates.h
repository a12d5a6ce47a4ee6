#pragma once
// The six statement templates (if, if/else, switch, for, while, do-while):
// plain texts in the settings store, inserted at the caret as they are
// stored, and the state of the "Edit Structures" dialog without its widgets.

#include <QString>
#include <array>

namespace qln {

class CommandHost;

inline constexpr int kTemplateCount = 6;

// The settings key of template k (1 insertif ... 6 insertdowhileloop).
QString templateKey(int k);
// Template k as stored in the section "Preferences"; empty when absent.
QString templateText(int k);

// What a template leaves to be filled in first.
inline constexpr char kTemplateField[] = "<>=";

// Inserts template k at the caret (replacing the selection) in the text
// colour of the preferences, so the new text starts uncoloured, as one
// edit. With "Keep indentation" off nothing else happens: no indentation
// is added and the caret ends after the template. With it on, each line of
// the template after the first takes the caret line's indentation (blank
// lines none), blanks that would be left alone on the caret's line go, and
// the template's first "<>=" is selected. The suppression flags stay clear
// so the change handler processes the line where the caret ends.
void insertTemplate(CommandHost &host, int k);

// The texts the dialog's "Defaults" button writes. They are the first-run
// templates except the switch, which has two case lines and no break.
QString defaultsButtonTemplate(int k);

// What the "Edit Structures" dialog keeps while it is open: the six
// templates being edited and the one shown.
class StructureEditor {
public:
    // Reads the six templates from the store and shows the first.
    void load();
    // Template button k: shows template k.
    void select(int k);
    int current() const { return m_current; }
    QString currentText() const { return m_entries[size_t(m_current)]; }
    QString entry(int k) const;
    // The box's text changed: it is template current()'s new text.
    void setCurrentText(const QString &text);
    // OK: writes the six templates to the store.
    void save() const;
    // Defaults: writes the Defaults texts to the store at once, reads them
    // back and shows the first.
    void restoreDefaults();

private:
    std::array<QString, 10> m_entries; // 1..6 used
    int m_current = 1;
};

} // namespace qln
