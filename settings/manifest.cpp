#include "settings/manifest.h"

#include "base/prompter.h"
#include "settings/settingsstore.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace qln {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString q(const QString &value)
{
    return QLatin1Char('"') + value + QLatin1Char('"');
}

QString restartMessage()
{
    return QStringLiteral("The program must be restarted for changes to XP style to take effect");
}

void reportFolderReadOnly(const QString &manifestPath, bool enabling, Prompter &prompter)
{
    const QString folder = QFileInfo(manifestPath).path();
    const QString text = QStringLiteral("The Program directory") + kCrLf + folder + kCrLf
                         + QStringLiteral("appears to be Read Only") + kCrLf + kCrLf
                         + QStringLiteral("Cannot ")
                         + (enabling ? QStringLiteral("enable") : QStringLiteral("disable"))
                         + QStringLiteral(" XP style");
    prompter.message(text, QStringLiteral("Error"), MsgIcon::Critical, MsgButtons::Ok);
}

} // namespace

QByteArray manifestText(const QString &programName)
{
    const QStringList lines = {
        QStringLiteral("<?xml version=") + q("1.0") + QStringLiteral("  encoding=") + q("UTF-8")
            + QStringLiteral("  standalone=") + q("yes") + QStringLiteral("?>"),
        QStringLiteral("<assembly xmlns=") + q("urn:schemas-microsoft-com:asm.v1")
            + QStringLiteral("  manifestVersion=") + q("1.0") + QStringLiteral(">"),
        QStringLiteral("<assemblyIdentity processorArchitecture=") + q("x86")
            + QStringLiteral("  version=") + q("1.0.0.0") + QStringLiteral("  type=") + q("win32")
            + QStringLiteral("  name=") + q(programName + QStringLiteral(".exe"))
            + QStringLiteral("/>"),
        QStringLiteral("<description>Quillon.exe_XPTheme</description>"),
        QStringLiteral("<dependency>"),
        QStringLiteral("<dependentAssembly>"),
        QStringLiteral("<assemblyIdentity type=") + q("win32") + QStringLiteral("  name=")
            + q("Microsoft.Windows.Common-Controls") + QStringLiteral("  version=") + q("6.0.0.0")
            + QStringLiteral("  publicKeyToken=") + q("6595b64144ccf1df")
            + QStringLiteral("  language=") + q("*") + QStringLiteral("  processorArchitecture=")
            + q("x86") + QStringLiteral("/>"),
        QStringLiteral("</dependentAssembly>"),
        QStringLiteral("</dependency>"),
        QStringLiteral("</assembly>"),
    };
    return (lines.join(kCrLf) + kCrLf).toUtf8();
}

QString manifestProgramName(const QString &manifestPath)
{
    QString name = QFileInfo(manifestPath).fileName();
    const QString suffix = QStringLiteral(".exe.manifest");
    if (name.endsWith(suffix))
        name.chop(suffix.size());
    return name;
}

bool setVisualStyleManifest(bool on, const QString &manifestPath, Prompter &prompter)
{
    const bool exists = QFileInfo::exists(manifestPath);
    if (on) {
        if (exists)
            return true;
        QSaveFile file(manifestPath);
        file.setDirectWriteFallback(false);
        if (!file.open(QIODevice::WriteOnly)
            || file.write(manifestText(manifestProgramName(manifestPath))) < 0 || !file.commit()) {
            reportFolderReadOnly(manifestPath, true, prompter);
            return false;
        }
    } else {
        if (!exists)
            return false;
        if (!QFile::remove(manifestPath)) {
            reportFolderReadOnly(manifestPath, false, prompter);
            return true;
        }
    }
    prompter.message(restartMessage(), QString(), MsgIcon::None, MsgButtons::Ok);
    return on;
}

bool deleteAllSettings(Prompter &prompter)
{
    const QString question =
        QStringLiteral("Are you sure you want to delete QLN entries from regiistry?") + kCrLf
        + QStringLiteral("NOTE: after you rerun the program the defaults will be loaded");
    if (prompter.message(question, QStringLiteral("Confirm Deletion"), MsgIcon::Question,
                         MsgButtons::YesNo)
        != MsgAnswer::Yes)
        return false;
    DeleteSetting(kApp);
    settingsStore().sync();
    prompter.message(QStringLiteral("The program will now close,")
                         + QStringLiteral(" you can run the program later if you want"),
                     QStringLiteral("The program must be closed"), MsgIcon::Information,
                     MsgButtons::Ok);
    return true;
}

} // namespace qln
