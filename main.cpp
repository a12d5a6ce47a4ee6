// Starts the editor: the whole command line names the document to open.

#include "shell/documenttitle.h"
#include "shell/frmedit.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("QLN"));
    QApplication::setApplicationName(QStringLiteral("QLN"));
    qln::frmedit window(qln::commandLineText(QApplication::arguments()));
    return window.isLoaded() ? app.exec() : 0;
}
