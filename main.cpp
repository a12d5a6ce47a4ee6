// Starts the editor: the whole command line names the document to open.

#include "shell/documenttitle.h"
#include "shell/frmedit.h"
#include "shell/recovery.h"
#include "base/pathutil.h"
#include "surface/surfaceaccessible.h"

#include <QApplication>
#include <QFileInfo>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // From the start: a signal, a lost display or a file size limit never
    // costs the unsaved text.
    qln::DocumentRecovery::installEndHandlers();
    qln::SurfaceAccessible::install();
    QApplication::setOrganizationName(QStringLiteral("QLN"));
    QApplication::setApplicationName(QStringLiteral("QLN"));
    // The style manifest next to the program asks for the newer look.
    if (QFileInfo::exists(qln::manifestPath()))
        QApplication::setStyle(QStringLiteral("Fusion"));
    qln::frmedit window(qln::commandLineText(QApplication::arguments()));
    return window.isLoaded() ? app.exec() : 0;
}
