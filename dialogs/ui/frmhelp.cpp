#include "dialogs/ui/frmhelp.h"

#include "completion/ui/icons/completionicons.h"
#include "dialogs/ui/screenfit.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWindow>

namespace qln {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QLabel *wrappedLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// A small picture of the completion box: a typed name and three offers.
QPixmap completionSample()
{
    QPixmap pix(170, 74);
    pix.fill(Qt::white);
    QPainter p(&pix);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(0, 0, pix.width() - 1, pix.height() - 1);
    const struct {
        int image;
        const char *text;
    } rows[] = {{1, "java.awt.font"}, {2, "Color"}, {8, "BLACK"}, {6, "getRed()"}};
    QFont f = p.font();
    f.setPointSize(8);
    p.setFont(f);
    for (int i = 0; i < 4; ++i) {
        const int y = 3 + i * 17;
        if (i == 1)
            p.fillRect(1, y - 1, pix.width() - 2, 17, QColor(0xCC, 0xDD, 0xF5));
        p.drawPixmap(4, y, completionIcon(rows[i].image).pixmap(16, 16));
        p.setPen(Qt::black);
        p.drawText(QRect(24, y, pix.width() - 28, 16), Qt::AlignVCenter,
                   QString::fromLatin1(rows[i].text));
    }
    return pix;
}

} // namespace

void setWindowOwner(QWidget *window, QWidget *owner)
{
    if (!window || !owner)
        return;
    QWidget *top = owner->window();
    window->winId();
    top->winId();
    if (window->windowHandle() && top->windowHandle())
        window->windowHandle()->setTransientParent(top->windowHandle());
}

QString frmhelp::objectTreeHelpText()
{
    return QStringList{
        QStringLiteral(
            "The generate option (which is not supported yet) generates a list of available "
            "packages, classes, methods, variables and allows you to save the list to a file. "
            "If the Auto tree search option is set to yes, the program uses the file to search "
            "the list (tree) and display in a combo box available items that match the text "
            "you are typing"),
        QStringLiteral("The locate option will allow you to locate an already generated file. "
                       "A generated file is provided with this program, but the accuracy of the "
                       "list is not guaranteed"),
        QStringLiteral("If you think you can generate a list that's 100% accurate or a list that "
                       "suits your needs, you can look at the GenerateObjectTreeHelp.txt file in "
                       "the same directory as this program is installed for help on tags."),
    }
        .join(kCrLf);
}

QString frmhelp::autoTreeSearchHelpText()
{
    return QStringList{
        QStringLiteral("If this option is set to yes, the program searches for the available "
                       "public, undefined and protected packages,classes,methods and variables "
                       "in a jdk list file and displays them in a combobox."),
        QStringLiteral("when you hit the Enter key or the Space key, the program will "
                       "automatically insert the selected text in combobox, which contains the "
                       "list. The program will also try to search for the item you're trying to "
                       "type and if found, will select it"),
        QStringLiteral("In front of each item you can see pictures which will help you identify "
                       "the item. To learn more about them click"),
    }
        .join(kCrLf);
}

QString frmhelp::codingLanguageHelpText()
{
    const QStringList lines = {
        QStringLiteral("HOW THE COMMAND LINE IS PUT TOGETHER"),
        QString(),
        QStringLiteral("Each tool keeps a short piece of code that tells the program how to "
                       "build the command line it runs. The code names the pieces to use - "
                       "the file boxes of the dialog, parts of the paths in them, the options "
                       "you ticked and any fixed text - in the order they should appear. "
                       "Click \"Options...\" to see and edit the code; click \"OK\" to check "
                       "it and keep it for this tool."),
        QString(),
        QStringLiteral("THE PIECES"),
        QString(),
        QStringLiteral("TextBox1, TextBox2 and TextBox3 are the file boxes, counted from the "
                       "top of the dialog:"),
        QStringLiteral("  - for the archive tool (Jar): 1 is the input files, 2 the archive "
                       "and 3 the tool's executable;"),
        QStringLiteral("  - for every other tool: 1 is the input file and 2 the tool's "
                       "executable. TextBox3 does not exist there and makes the code "
                       "invalid."),
        QString(),
        QStringLiteral("Write a box name, a dot and one of these parts:"),
        QStringLiteral("  .Text       everything in the box"),
        QStringLiteral("  .Path       only the folder, ending with \"/\""),
        QStringLiteral("  .FileTitle  the file name with its extension"),
        QStringLiteral("  .FileName   the file name without its extension"),
        QStringLiteral("  .FileExt    the extension alone, with its dot"),
        QStringLiteral("For /home/me/src/Hello.java the parts are /home/me/src/, Hello.java, "
                       "Hello and .java."),
        QStringLiteral("What comes from a file box is protected for the shell, so a file name "
                       "with blanks or other special characters stays one name; only * and ? "
                       "still work as wildcards."),
        QString(),
        QStringLiteral("Options stands for all the options you ticked in the list, with their "
                       "arguments."),
        QString(),
        QStringLiteral("Fixed text goes between double quotes: \" \" is a single blank, "
                       "\"-verbose\" is that word. Everything between the quotes is used as "
                       "it is, even an & or a name such as Options."),
        QString(),
        QStringLiteral("JOINING THE PIECES"),
        QString(),
        QStringLiteral("Put & between two pieces, with a blank on each side of it. The & adds "
                       "nothing of its own - not even a blank - so write \" \" wherever the "
                       "command line needs a blank:"),
        QStringLiteral("  TextBox2.Text & \" \" & Options & \" \" & TextBox1.Text"),
        QStringLiteral("gives the executable, a blank, the options, a blank and the input "
                       "file. Without the blanks around &, as in TextBox1.Text&TextBox2.Text, "
                       "the program sees one unknown word."),
        QString(),
        QStringLiteral("WHILE YOU TYPE"),
        QString(),
        QStringLiteral("You may type the names in any letter case; the program rewrites them "
                       "as shown here and folds runs of blanks into one. It colours the code "
                       "as you go: names of boxes, parts and Options in blue, blanks, & and "
                       "dots in magenta, quoted text in green. Anything left black is not "
                       "understood. The code may be at most 255 characters long."),
        QString(),
        QStringLiteral("WHEN THE CODE IS WRONG"),
        QString(),
        QStringLiteral("The code is refused when it is empty, holds a black word, ends with & "
                       "or with a blank, has two pieces without & between them, or leaves a "
                       "quote open. The program then offers to load the tool's default code. "
                       "If you answer no, the code box blinks until you click into it, and "
                       "the tool cannot be run until the code is valid again."),
        QString(),
        QStringLiteral("THE ARCHIVE TOOL"),
        QString(),
        QStringLiteral("For Jar, the manifest file given with -m and the list of files given "
                       "with -x are always put at the very end of the command line, after "
                       "everything the code produces. If -x is not ticked, the input files "
                       "of TextBox1 are used as that list. The option letters themselves "
                       "stand where Options stands in the code."),
        QString(),
        QStringLiteral("THE DEFAULT CODES"),
        QString(),
        QStringLiteral("  Compile        TextBox2.Text & \" \" & Options & \" \" & TextBox1.Text"),
        QStringLiteral("  Run            TextBox2.Text & \" \" & Options & \" \" & "
                       "TextBox1.FileName"),
        QStringLiteral("  Appletviewer   TextBox2.Text & \" \" & Options & \" \" & "
                       "TextBox1.FileTitle"),
        QStringLiteral("  Jar            TextBox3.Text & \" \" & Options & \" \" & TextBox2.Text"),
        QStringLiteral("  Native2Ascii   TextBox2.Text & \" \" & Options & \" \" & TextBox1.Text"),
    };
    return lines.join(kCrLf);
}

frmhelp::frmhelp() : QWidget(nullptr, Qt::Dialog)
{
    setObjectName(QStringLiteral("frmhelp"));
    setWindowTitle(QStringLiteral("Help"));

    m_panels[0] = buildObjectTreePanel();
    m_panels[1] = buildAutoTreeSearchPanel();
    m_panels[2] = buildLegendPanel();
    m_panels[3] = buildJavaxCodePanel();

    // All four panels share one cell: the same place and size, scrolled
    // when the screen is too small for the text.
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("helpPage"));
    auto *stack = new QGridLayout(page);
    stack->setContentsMargins(0, 0, 0, 0);
    for (QWidget *p : m_panels) {
        stack->addWidget(p, 0, 0);
        p->hide();
    }
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("helpScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(page);

    m_cmdok = new QPushButton(QStringLiteral("&OK"), this);
    m_cmdok->setObjectName(QStringLiteral("cmdok"));
    m_cmdok->setDefault(true);
    connect(m_cmdok, &QPushButton::clicked, this, &frmhelp::cmdok_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdok);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);
    resize(520, 420);
    keepOnScreen(this);
    // Escape is OK, as in every dialog; the owner is given back.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &frmhelp::cmdok_Click);
}

frmhelp::~frmhelp()
{
    // An owner left disabled would lock the user out.
    if (m_owner && isVisible())
        m_owner->setEnabled(true);
}

QWidget *frmhelp::buildObjectTreePanel()
{
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("picobjecttreehelp"));
    auto *layout = new QVBoxLayout(panel);
    layout->addWidget(
        wrappedLabel(QStringLiteral("lblobjecttreehelp"), objectTreeHelpText(), panel));
    layout->addStretch();
    return panel;
}

QWidget *frmhelp::buildAutoTreeSearchPanel()
{
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("picatshelp"));
    auto *picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("imgatshelp"));
    picture->setPixmap(completionSample());
    picture->setAlignment(Qt::AlignHCenter);
    auto *legend = new QPushButton(QStringLiteral("View &Legend"), panel);
    legend->setObjectName(QStringLiteral("cmdlegend"));
    connect(legend, &QPushButton::clicked, this, &frmhelp::cmdlegend_Click);

    auto *layout = new QVBoxLayout(panel);
    layout->addWidget(picture);
    layout->addWidget(wrappedLabel(QStringLiteral("lblatshelp"), autoTreeSearchHelpText(), panel));
    auto *row = new QHBoxLayout;
    row->addWidget(legend);
    row->addStretch();
    layout->addLayout(row);
    layout->addStretch();
    return panel;
}

QWidget *frmhelp::buildLegendPanel()
{
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("piclegendhelp"));
    auto *grid = new QGridLayout(panel);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    // The pictures of the completion box, in list order, each with its key.
    for (int i = 1; i <= kCompletionImageCount; ++i) {
        auto *img = new QLabel(panel);
        img->setObjectName(QStringLiteral("imglegendhelp"));
        img->setProperty("index", i - 1);
        img->setPixmap(completionIcon(i).pixmap(16, 16));
        img->setFixedSize(20, 20);
        img->setAlignment(Qt::AlignCenter);
        auto *lbl = new QLabel(completionIconCaption(i), panel);
        lbl->setObjectName(QStringLiteral("lbllegendhelp"));
        lbl->setProperty("index", i - 1);
        grid->addWidget(img, i - 1, 0);
        grid->addWidget(lbl, i - 1, 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(kCompletionImageCount, 1);
    return panel;
}

QWidget *frmhelp::buildJavaxCodePanel()
{
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("picjavaxcodehelp"));
    auto *text = new QPlainTextEdit(panel);
    text->setObjectName(QStringLiteral("txtjavaxcodehelp"));
    text->setReadOnly(true);
    text->setPlainText(codingLanguageHelpText());
    text->setFrameShape(QFrame::NoFrame);
    // The box's background is the panel's.
    QPalette pal = text->palette();
    pal.setColor(QPalette::Base, panel->palette().color(QPalette::Window));
    text->setPalette(pal);
    auto *layout = new QVBoxLayout(panel);
    layout->addWidget(text);
    return panel;
}

void frmhelp::Set_HelpWindow_OwnerForm(QWidget *owner)
{
    m_owner = owner;
}

QWidget *frmhelp::panel(Panel which) const
{
    return m_panels[int(which)];
}

bool frmhelp::isPanelVisible(Panel which) const
{
    return isVisible() && panel(which)->isVisible();
}

void frmhelp::hideAllPanels()
{
    for (QWidget *p : m_panels)
        p->hide();
}

void frmhelp::showPanel(QWidget *owner, Panel which)
{
    if (owner)
        owner->setEnabled(false);
    Set_HelpWindow_OwnerForm(owner);
    hideAllPanels();
    setWindowOwner(this, owner);
    show();
    panel(which)->show();
    panel(which)->raise();
    raise();
    activateWindow();
}

void frmhelp::cmdok_Click()
{
    hide();
    if (m_owner) {
        m_owner->setEnabled(true);
        m_owner->show();
        m_owner->activateWindow();
    }
    hideAllPanels();
}

void frmhelp::cmdlegend_Click()
{
    QPointer<QWidget> owner = m_owner;
    cmdok_Click();
    showPanel(owner, Panel::Legend);
}

void frmhelp::closeEvent(QCloseEvent *event)
{
    event->ignore();
    cmdok_Click();
}

} // namespace qln
