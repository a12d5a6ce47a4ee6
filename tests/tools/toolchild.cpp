// A stand-in for the editor in the process-guard tests: it starts a tool
// through DOSOutputs (or in a terminal) and then waits to be ended. The
// runner is never deleted, as a dialog still open at the end is not: the
// end of the program alone must end the tool. It stays reachable to the
// end, as such a dialog does, so a leak check does not count it.
//
//   tst_toolchild captured|copy|terminal <command line> [file]
//
// "copy" is a captured run whose watchdog is a copy of this program (as
// when the quillon-toolwatch helper is missing). Given a file, the program
// returns from main as soon as something is written to that file.
#include "support/scriptedprompter.h"
#include "tools/dosoutputs.h"
#include "tools/toolwatch.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

// Not file-local: stores to a file-local variable nobody reads may be
// optimised away, and the runner would then count as leaked.
qln::test::ScriptedPrompter *prompter = nullptr;
qln::DOSOutputs *dos = nullptr;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    prompter = new qln::test::ScriptedPrompter;
    if (args[1] == QLatin1String("terminal")) {
        if (!qln::DOSOutputs::launchInTerminal(args[2]))
            return 3;
    } else {
        if (args[1] == QLatin1String("copy"))
            qln::toolwatch::setHelper(QString());
        dos = new qln::DOSOutputs(*prompter);
        if (!dos->ExecuteCommand(args[2]))
            return 4;
    }
    if (args.size() > 3) {
        const QString file = args[3];
        auto *poll = new QTimer(&app);
        QObject::connect(poll, &QTimer::timeout, &app, [file] {
            if (QFileInfo(file).size() > 0)
                QCoreApplication::quit();
        });
        poll->start(20);
    }
    return app.exec();
}
