// The floor for start-up: a bare QPlainTextEdit program that reads the file
// named on its command line (UTF-8) into the edit and shows it, started
// the way the editor is.
#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QPlainTextEdit edit;
    if (argc > 1) {
        QFile file(QString::fromLocal8Bit(argv[1]));
        if (file.open(QIODevice::ReadOnly))
            edit.setPlainText(QString::fromUtf8(file.readAll()));
    }
    edit.resize(1000, 760);
    edit.show();
    return app.exec();
}
