#pragma once
// The visual-style manifest written next to the program, and the removal of
// every setting. Both are actions of the preferences dialog that reach
// outside its own controls; they talk to the user through the Prompter.

#include <QByteArray>
#include <QString>

namespace qln {

class Prompter;

// The ten lines of the manifest for a program named `programName` (without
// extension), joined and ended by CR LF.
QByteArray manifestText(const QString &programName);
// The program name a manifest path stands for: "quillon" for
// ".../quillon.exe.manifest".
QString manifestProgramName(const QString &manifestPath);

// The style check box was ticked (on) or unticked (off): writes or removes
// the manifest at path and tells the user that a restart is needed. A file
// already in the wanted state is left alone without a message. When the
// file cannot be written or removed the user is told so and the box must go
// back: the return value is the state the check box shows afterwards.
bool setVisualStyleManifest(bool on, const QString &manifestPath, Prompter &prompter);

// "Load Defaults": asks for confirmation, then deletes every section of the
// program's settings and tells the user the program will close. Returns
// true when the settings were deleted; the caller must then end the
// program at once, without its usual closing steps (which would write
// settings again).
bool deleteAllSettings(Prompter &prompter);

} // namespace qln
