#include "benchsupport.h"
#include "settings/settingsstore.h"
#include "support/testenv.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextStream>
#include <QVBoxLayout>
#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace qln::bench {

namespace {
QString g_origin;

QString findSrcZip()
{
    QStringList candidates;
    const QString home = qEnvironmentVariable("JAVA_HOME");
    if (!home.isEmpty())
        candidates << home + QStringLiteral("/lib/src.zip") << home + QStringLiteral("/src.zip");
    const QDir jvm(QStringLiteral("/usr/lib/jvm"));
    for (const QString &kit : jvm.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        candidates << jvm.filePath(kit + QStringLiteral("/lib/src.zip"));
    for (const QString &c : candidates)
        if (QFileInfo(c).isFile())
            return QFileInfo(c).canonicalFilePath();
    return QString();
}
} // namespace

QString javaSource(qsizetype bytes)
{
    const QString zip = findSrcZip();
    if (zip.isEmpty())
        return QString();
    QString all;
    const QStringList patterns{QStringLiteral("java.base/java/util/*.java"),
                               QStringLiteral("java.base/java/lang/*.java"),
                               QStringLiteral("java.desktop/javax/swing/*.java")};
    for (const QString &pattern : patterns) {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zip, pattern});
        unzip.waitForFinished(120000);
        all += QString::fromUtf8(unzip.readAllStandardOutput());
        if (all.size() >= bytes)
            break;
    }
    all.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    all.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    // Repeat when the archive holds less than asked for.
    QString out;
    while (!all.isEmpty() && out.size() < bytes)
        out += all;
    out.truncate(bytes);
    // End on a whole line.
    const qsizetype lastBreak = out.lastIndexOf(QLatin1String("\r\n"));
    if (lastBreak > 0)
        out.truncate(lastBreak + 2);
    g_origin = QStringLiteral("%1 (%2 characters)").arg(zip).arg(out.size());
    return out;
}

QString javaSourceOrigin()
{
    return g_origin;
}

QString javaLine(qsizetype length)
{
    QString text = javaSource(length + length / 8);
    if (text.isEmpty()) {
        std::printf("no kit installed: the line is made of repeated Java statements\n");
        while (text.size() < length)
            text += QStringLiteral("int value = compute(\"text\", 42); // note\r\n");
    } else {
        std::printf("source: %s\n", qPrintable(javaSourceOrigin()));
    }
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.truncate(length);
    return text;
}

double timeMs(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

double medianMs(int runs, const std::function<void()> &f, double *p99)
{
    std::vector<double> v;
    v.reserve(size_t(runs));
    for (int i = 0; i < runs; ++i)
        v.push_back(timeMs(f));
    std::sort(v.begin(), v.end());
    if (p99)
        *p99 = v[std::min(v.size() - 1, size_t(double(v.size()) * 0.99))];
    return v[v.size() / 2];
}

Figures figuresOf(std::vector<double> v)
{
    Figures f;
    if (v.empty())
        return f;
    std::sort(v.begin(), v.end());
    f.count = int(v.size());
    f.min = v.front();
    f.max = v.back();
    f.median = v[v.size() / 2];
    f.p99 = v[std::min(v.size() - 1, size_t(double(v.size()) * 0.99))];
    return f;
}

Figures measureRuns(int runs, const std::function<void()> &prepare, const std::function<void()> &f)
{
    std::vector<double> v;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        v.push_back(timeMs(f));
    }
    return figuresOf(std::move(v));
}

void printFigures(const QString &what, const Figures &f, const char *unit, bool withTail)
{
    std::printf("%-60s min %9.3f  median %9.3f", qPrintable(what), f.min, f.median);
    if (withTail)
        std::printf("  p99 %9.3f  max %9.3f", f.p99, f.max);
    std::printf(" %s  (n=%d)\n", unit, f.count);
    std::fflush(stdout);
}

void printBeside(const QString &what, const Figures &ours, const QString &otherName,
                 const Figures &other, const QString &limit)
{
    std::printf("SUMMARY %s: min %.3f median %.3f ms | %s min %.3f median %.3f ms | ratio of "
                "medians %.2f (limit %s)\n",
                qPrintable(what), ours.min, ours.median, qPrintable(otherName), other.min,
                other.median, other.median > 0 ? ours.median / other.median : 0.0,
                qPrintable(limit));
    std::fflush(stdout);
}

void summary(const QString &line)
{
    std::printf("SUMMARY %s\n", qPrintable(line));
    std::fflush(stdout);
}

long statusKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toLong();
    return -1;
}

bool resetPeakMemory()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
           + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

PaintCounter::PaintCounter(QWidget *widget) : m_widget(widget)
{
    widget->installEventFilter(this);
}

PaintCounter::~PaintCounter()
{
    if (m_widget)
        m_widget->removeEventFilter(this);
}

bool PaintCounter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && watched == m_widget) {
        ++paints;
        for (const QRect &r : static_cast<QPaintEvent *>(event)->region())
            area += qint64(r.width()) * r.height();
    }
    return false;
}

bool waitPainted(PaintCounter &counter, int idleRounds)
{
    for (int idle = 0; counter.paints == 0 && idle < idleRounds; ++idle) {
        QCoreApplication::sendPostedEvents();
        QApplication::processEvents(QEventLoop::AllEvents);
    }
    return counter.paints > 0;
}

void sendKey(QWidget *w, Qt::Key key, const QString &text, Qt::KeyboardModifiers modifiers)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(w, &release);
}

Qt::Key keyFor(QChar c)
{
    const char16_t u = c.toUpper().unicode();
    // Printable ASCII keys are numbered by their (upper case) character.
    if (u >= 0x20 && u <= 0x7E)
        return Qt::Key(u);
    if (u == '\r' || u == '\n')
        return Qt::Key_Return;
    if (u == '\t')
        return Qt::Key_Tab;
    return Qt::Key_unknown;
}

FloorEditor::FloorEditor()
    : m_window(new QWidget), m_edit(new QPlainTextEdit(m_window)),
      m_paints(new PaintCounter(m_edit->viewport()))
{
    auto *layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_edit);
    m_window->setWindowTitle(QStringLiteral("floor"));
}

FloorEditor::~FloorEditor()
{
    delete m_paints;
    delete m_window;
}

bool FloorEditor::show(const QSize &editSize, const QFont &font)
{
    m_edit->setFont(font);
    m_window->resize(editSize);
    m_window->show();
    m_window->activateWindow();
    m_edit->setFocus();
    return QTest::qWaitForWindowExposed(m_window);
}

void FloorEditor::setText(const QString &text)
{
    m_paints->reset();
    m_edit->setPlainText(text);
    waitPainted(*m_paints);
}

void FloorEditor::setCaretLine(int line)
{
    QTextCursor c(m_edit->document()->findBlockByNumber(line));
    m_edit->setTextCursor(c);
    m_paints->reset();
    waitPainted(*m_paints);
}

void FloorEditor::type(QChar c)
{
    m_paints->reset();
    sendKey(m_edit, keyFor(c), QString(c));
    waitPainted(*m_paints);
}

QPlainTextEdit *FloorEditor::edit() const
{
    return m_edit;
}

void report(const QString &what, double ms, const QString &limit)
{
    std::printf("%-64s %9.3f ms   (limit %s)\n", qPrintable(what), ms, qPrintable(limit));
    std::fflush(stdout);
}

MsgAnswer BenchPrompter::message(const MessageRequest &request)
{
    ++messages;
    lastMessage = request.text;
    if (reportMessages)
        std::printf("message: %s\n", qPrintable(request.text));
    if (request.buttons == MsgButtons::Ok || request.buttons == MsgButtons::OkCancel)
        return MsgAnswer::Ok;
    return answer;
}

std::optional<QString> BenchPrompter::input(const QString &, const QString &, const QString &)
{
    return inputText.isEmpty() ? std::nullopt : std::optional<QString>(inputText);
}

std::optional<QString> BenchPrompter::file(const FileDialogRequest &)
{
    return fileName.isEmpty() ? std::nullopt : std::optional<QString>(fileName);
}

void assistantsOn(BenchPrompter &prompter)
{
    test::installFactorySettings(prompter);
    auto save = [](const QString &key, const QString &v) { settingsStore().save(kPrefs, key, v); };
    save(QStringLiteral("tree"),
         QCoreApplication::applicationDirPath() + QStringLiteral("/JDK1.3.1TreeSorted.txt"));
    save(QStringLiteral("dropdowncbo"), QStringLiteral("0"));
    // The typos typedJava() makes come first, then 50 that never occur.
    const QList<QPair<QString, QString>> typos = javaTypos();
    save(QStringLiteral("fromtocount"), QString::number(typos.size() + 50));
    for (int i = 0; i < typos.size(); ++i) {
        save(QStringLiteral("lstsfrom%1").arg(i + 1), typos[i].first);
        save(QStringLiteral("lststo%1").arg(i + 1), typos[i].second);
    }
    for (int i = 1; i <= 50; ++i) {
        const int n = int(typos.size()) + i;
        save(QStringLiteral("lstsfrom%1").arg(n), QStringLiteral("qlnwrong%1").arg(i));
        save(QStringLiteral("lststo%1").arg(n), QStringLiteral("right%1").arg(i));
    }
    ownFolders();
}

QList<QPair<QString, QString>> javaTypos()
{
    // Sorted by the wrong form.
    return {{QStringLiteral("Stirng"), QStringLiteral("String")},
            {QStringLiteral("flase"), QStringLiteral("false")},
            {QStringLiteral("nulll"), QStringLiteral("null")},
            {QStringLiteral("pirvate"), QStringLiteral("private")},
            {QStringLiteral("pubilc"), QStringLiteral("public")},
            {QStringLiteral("retrun"), QStringLiteral("return")},
            {QStringLiteral("thorw"), QStringLiteral("throw")},
            {QStringLiteral("tihs"), QStringLiteral("this")},
            {QStringLiteral("viod"), QStringLiteral("void")}};
}

QString typedJava(qsizetype length)
{
    // Statements of a method body further into the kit than the documents
    // reach, one a line, with the typos of javaTypos() in place of every
    // other word they correct; a line of names that complete first.
    const QString src = javaSource(3 * 1024 * 1024).mid(2 * 1024 * 1024);
    QStringList lines = src.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty())
        lines.removeFirst(); // cut anywhere
    lines.prepend(QStringLiteral("String name = String.valueOf(System.out.hashCode());"));
    QString out;
    QHash<QString, int> seen;
    for (const QString &raw : std::as_const(lines)) {
        if (out.size() >= length)
            break;
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('*')) || line.startsWith(QLatin1Char('/'))
            || line.startsWith(QLatin1Char('@')) || line.size() > 100)
            continue;
        QString typed = line;
        for (const auto &[wrong, right] : javaTypos()) {
            qsizetype at = 0;
            while ((at = typed.indexOf(right, at)) >= 0) {
                const qsizetype end = at + right.size();
                const bool whole = (at == 0 || !typed[at - 1].isLetterOrNumber())
                                   && (end == typed.size() || !typed[end].isLetterOrNumber());
                if (whole && seen[right]++ % 2 == 0)
                    typed.replace(at, right.size(), wrong);
                at += right.size();
            }
        }
        out += typed + QLatin1Char('\r');
    }
    return out.left(length);
}

void ownFolders()
{
    // Kept until the program ends: a window may still write at its end.
    static std::vector<std::unique_ptr<QTemporaryDir>> folders;
    folders.push_back(std::make_unique<QTemporaryDir>());
    const QString base = folders.back()->path();
    qputenv("XDG_STATE_HOME", (base + QStringLiteral("/state")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (base + QStringLiteral("/config")).toLocal8Bit());
}

QList<QPair<QString, QString>> spellingPairs(const QString &src)
{
    QHash<QString, int> freq;
    static const QRegularExpression word(QStringLiteral("[A-Za-z_][A-Za-z0-9_]{2,}"));
    for (auto it = word.globalMatch(src); it.hasNext();)
        ++freq[it.next().captured()];
    QList<QPair<int, QString>> byCount;
    for (auto it = freq.cbegin(); it != freq.cend(); ++it)
        byCount.append({it.value(), it.key()});
    std::sort(byCount.begin(), byCount.end(), std::greater<>());
    QList<QPair<QString, QString>> pairs;
    for (int i = 0; i < 100 && i < byCount.size(); ++i)
        pairs.append({byCount[i].second, byCount[i].second + QStringLiteral("X")});
    for (int i = 0; pairs.size() < 300; ++i)
        pairs.append({QStringLiteral("mispeled%1").arg(i), QStringLiteral("misspelled%1").arg(i)});
    std::sort(pairs.begin(), pairs.end());
    return pairs;
}

QString reportedJavaSource(qsizetype bytes)
{
    const QString src = javaSource(bytes);
    if (src.isEmpty())
        std::printf("no Java kit with lib/src.zip found: nothing measured\n");
    else
        std::printf("input: %s\n", qPrintable(javaSourceOrigin()));
    return src;
}

} // namespace qln::bench
