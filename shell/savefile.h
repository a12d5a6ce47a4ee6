#pragma once
// Writing a document file the way the user expects to find it again: the
// file is replaced atomically and keeps its owner and group (saving as root
// does not hand a user's file to root); a file the user may write in a
// folder they may not write to (where no replacement can be made) is
// written in place after a question.

#include "base/prompter.h"
#include "surface/textfile.h"

#include <QString>

namespace qln {

enum class SaveFileResult {
    Saved,
    Failed,   // nothing was written, or a write failed: the old file stands when replaced
    Declined, // the user declined writing in place
};

// A Latin-1 document whose text holds a character Latin-1 cannot store can
// only be written as UTF-8 (Save asks first).
bool mustSaveAsUtf8(const QString &crlfText, const TextFileFormat &format);
// Asks "Save as UTF-8? Every non-ASCII character will be written in UTF-8."
// (Yes / No) before a Latin-1 document is written as UTF-8; true on Yes.
bool confirmSaveAsUtf8(const QString &path, Prompter &prompter);

// Whether a file can be created in folder (a replacement needs that).
bool folderIsWritable(const QString &folder);

// Writes crlfText to path in format. The replacement is atomic; afterwards
// the file gets back the owner and group the old file had, where the
// system allows it. When folderWritable is false but the file exists and is
// writable, the prompter asks first and the file is then written in place.
SaveFileResult saveDocumentFile(const QString &path, const QString &crlfText,
                                const TextFileFormat &format, Prompter &prompter,
                                bool folderWritable);

} // namespace qln
