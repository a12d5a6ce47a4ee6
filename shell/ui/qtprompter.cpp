#include "shell/ui/qtprompter.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <memory>

namespace qln {

namespace {

QString titleOr(const QString &title)
{
    return title.isEmpty() ? QtPrompter::defaultTitle() : title;
}

QMessageBox::Icon qtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// A start path such as "/home/me/*.java" names a folder and a pattern; the
// dialog should open in the folder rather than propose "*.java" as a name.
QString dialogStart(const QString &startPath)
{
    const QFileInfo info(startPath);
    const QString name = info.fileName();
    if (!name.contains(QLatin1Char('*')) && !name.contains(QLatin1Char('?')))
        return startPath;
    return startPath.contains(QLatin1Char('/')) ? info.path() : QString();
}

QDialogButtonBox::StandardButtons dialogButtons(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok: return QDialogButtonBox::Ok;
    case MsgButtons::OkCancel: return QDialogButtonBox::Ok | QDialogButtonBox::Cancel;
    case MsgButtons::YesNo: return QDialogButtonBox::Yes | QDialogButtonBox::No;
    case MsgButtons::YesNoCancel:
        return QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel;
    }
    return QDialogButtonBox::Ok;
}

QStyle::StandardPixmap iconPixmap(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Critical: return QStyle::SP_MessageBoxCritical;
    case MsgIcon::Question: return QStyle::SP_MessageBoxQuestion;
    case MsgIcon::Exclamation: return QStyle::SP_MessageBoxWarning;
    default: return QStyle::SP_MessageBoxInformation;
    }
}

} // namespace

bool QtPrompter::isLongMessage(const QString &text)
{
    return text.count(QLatin1Char('\n')) >= 20 || text.size() > 2000;
}

QDialog *QtPrompter::longMessageWindow(const MessageRequest &request, QWidget *parent)
{
    auto *window = new QDialog(parent);
    window->setObjectName(QStringLiteral("longMessage"));
    window->setWindowTitle(titleOr(request.title));
    auto *layout = new QVBoxLayout(window);
    auto *row = new QHBoxLayout;
    if (request.icon != MsgIcon::None) {
        auto *icon = new QLabel(window);
        const int side =
            window->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, window);
        icon->setPixmap(window->style()
                            ->standardIcon(iconPixmap(request.icon), nullptr, window)
                            .pixmap(side, side));
        icon->setAlignment(Qt::AlignTop);
        row->addWidget(icon);
    }
    auto *text = new QPlainTextEdit(window);
    text->setObjectName(QStringLiteral("text"));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QString plain = request.text;
    text->setPlainText(plain.replace(QLatin1String("\r\n"), QLatin1String("\n")));
    row->addWidget(text, 1);
    layout->addLayout(row, 1);
    auto *buttons = new QDialogButtonBox(dialogButtons(request.buttons), window);
    layout->addWidget(buttons);
    QObject::connect(
        buttons, &QDialogButtonBox::clicked, window,
        [window, buttons](QAbstractButton *b) { window->done(int(buttons->standardButton(b))); });
    if (QPushButton *first = buttons->buttons().isEmpty()
                                 ? nullptr
                                 : qobject_cast<QPushButton *>(buttons->buttons().first()))
        first->setDefault(true);

    // As wide and tall as the text wants, but never past the screen.
    QScreen *screen =
        parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect free = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QFontMetrics fm(text->font());
    int widest = 0;
    const QStringList lines = plain.split(QLatin1Char('\n'));
    for (const QString &line : lines)
        widest = std::max(widest, fm.horizontalAdvance(line));
    const int wantedWidth = widest + 120;
    const int wantedHeight = int(lines.size()) * fm.lineSpacing() + 120;
    window->resize(std::min(wantedWidth, free.width() * 9 / 10),
                   std::min(wantedHeight, free.height() * 8 / 10));
    return window;
}

MsgAnswer QtPrompter::message(const MessageRequest &request)
{
    if (isLongMessage(request.text)) {
        std::unique_ptr<QDialog> window(longMessageWindow(request, m_parent));
        switch (window->exec()) {
        case QDialogButtonBox::Yes: return MsgAnswer::Yes;
        case QDialogButtonBox::No: return MsgAnswer::No;
        case QDialogButtonBox::Ok: return MsgAnswer::Ok;
        case QDialogButtonBox::Cancel: return MsgAnswer::Cancel;
        default: break;
        }
        switch (request.buttons) {
        case MsgButtons::Ok: return MsgAnswer::Ok;
        case MsgButtons::YesNo: return MsgAnswer::No;
        default: return MsgAnswer::Cancel;
        }
    }
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    switch (request.buttons) {
    case MsgButtons::Ok:
        buttons = QMessageBox::Ok;
        defaultButton = QMessageBox::Ok;
        break;
    case MsgButtons::OkCancel:
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
        defaultButton = QMessageBox::Ok;
        break;
    case MsgButtons::YesNo:
        buttons = QMessageBox::Yes | QMessageBox::No;
        defaultButton = QMessageBox::Yes;
        break;
    case MsgButtons::YesNoCancel:
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        defaultButton = QMessageBox::Yes;
        break;
    }
    QMessageBox box(qtIcon(request.icon), titleOr(request.title), request.text, buttons, m_parent);
    box.setDefaultButton(defaultButton);
    switch (box.exec()) {
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Ok: return MsgAnswer::Ok;
    default: break;
    }
    // Closing the box with Escape or its close button: the box's way out.
    switch (request.buttons) {
    case MsgButtons::Ok: return MsgAnswer::Ok;
    case MsgButtons::YesNo: return MsgAnswer::No;
    default: return MsgAnswer::Cancel;
    }
}

std::optional<QString> QtPrompter::input(const QString &prompt, const QString &title,
                                         const QString &initial)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(m_parent, titleOr(title), prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<QString> QtPrompter::file(const FileDialogRequest &request)
{
    const QString filter =
        request.filter.contains(QLatin1Char('|')) ? qtFileFilter(request.filter) : request.filter;
    const QString start = dialogStart(request.startPath);
    QString path;
    if (request.mode == FileDialogRequest::Save) {
        // The program asks about overwriting itself.
        path = QFileDialog::getSaveFileName(m_parent, request.title, start, filter, nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    } else {
        path = QFileDialog::getOpenFileName(m_parent, request.title, start, filter);
    }
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QColor> QtPrompter::color(const QColor &initial)
{
    const QColor c = QColorDialog::getColor(initial, m_parent);
    if (!c.isValid())
        return std::nullopt;
    return c;
}

std::optional<FontChoice> QtPrompter::font(const FontChoice &initial)
{
    QFont start(initial.family);
    if (initial.pointSize > 0)
        start.setPointSizeF(initial.pointSize);
    start.setBold(initial.bold);
    start.setItalic(initial.italic);
    start.setUnderline(initial.underline);
    QFontDialog dialog(start, m_parent);
    // The document has no strikeout, so the dialog does not offer it.
    const QString strikeout =
        QCoreApplication::translate("QFontDialog", "Stri&keout").remove(QLatin1Char('&'));
    for (QCheckBox *box : dialog.findChildren<QCheckBox *>())
        if (QString(box->text()).remove(QLatin1Char('&')) == strikeout)
            box->hide();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QFont f = dialog.selectedFont();
    return FontChoice{f.family(), f.pointSizeF(), f.bold(), f.italic(), f.underline()};
}

std::optional<QString> QtPrompter::folder(const QString &title, const QString &start)
{
    QString path = QFileDialog::getExistingDirectory(m_parent, titleOr(title), start);
    if (path.isEmpty())
        return std::nullopt;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

} // namespace qln
