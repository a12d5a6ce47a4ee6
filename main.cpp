// Starts the editor: the whole command line names the document to open
// ("--help" and "--version" alone print and exit).

#include "base/heapuse.h"
#include "base/pathutil.h"
#include "shell/documenttitle.h"
#include "shell/recovery.h"
#include "shell/ui/frmedit.h"
#include "surface/ui/surfaceaccessible.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <cstdio>

int main(int argc, char *argv[])
{
    // "--help" and "--version" are answered before anything needs a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const QString reply = qln::commandLineReply(arguments); !reply.isEmpty()) {
        std::fputs(reply.toLocal8Bit().constData(), stdout);
        return 0;
    }
    qln::keepLargeBlocksMapped();
    QApplication app(argc, argv);
    // From the start: a signal, a lost display or a file size limit never
    // costs the unsaved text.
    qln::DocumentRecovery::installEndHandlers();
    qln::SurfaceAccessible::install();
    QApplication::setOrganizationName(QStringLiteral("QLN"));
    QApplication::setApplicationName(QStringLiteral("QLN"));
    // The installed desktop entry and icon (packaging/) belong to this window.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.quillon"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("quillon")));
    // The style manifest next to the program asks for the newer look.
    if (QFileInfo::exists(qln::manifestPath()))
        QApplication::setStyle(QStringLiteral("Fusion"));
    qln::frmedit window(qln::commandLineText(QApplication::arguments()));
    return window.isLoaded() ? app.exec() : 0;
}
