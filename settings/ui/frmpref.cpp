#include "settings/ui/frmpref.h"

#include "base/pathutil.h"
#include "base/prompter.h"
#include "dialogs/ui/frmhelp.h"
#include "dialogs/ui/screenfit.h"
#include "settings/convert.h"
#include "settings/manifest.h"
#include "settings/prefsession.h"
#include "settings/spellinglist.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace qln {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kListFilter = QStringLiteral("Text Files(*.txt)|*.txt|All Files(*.*)|*.*");

// The eight reserved-string boxes: model member, control name, label.
struct ReservedBox {
    QString PrefModel::*member;
    const char *name;
    const char *label;
};
const ReservedBox kReserved[8] = {
    {&PrefModel::txtgSingleLineComment, "txtgSingleLineComment", "&Single Line Comment"},
    {&PrefModel::txtgMultiLineCommentStart, "txtgMultiLineCommentStart",
     "Multiline Comment S&tart"},
    {&PrefModel::txtgMultiLineCommentEnd, "txtgMultiLineCommentEnd", "Multiline Comment E&nd"},
    {&PrefModel::txtgString1, "txtgString1", "String &1"},
    {&PrefModel::txtgString2, "txtgString2", "String &2"},
    {&PrefModel::txtgignore, "txtgignore", "&Ignore"},
    {&PrefModel::txtgBlockBeggining, "txtgBlockBeggining", "&Block Beggining"},
    {&PrefModel::txtgBlockEnding, "txtgBlockEnding", "Bloc&k Ending"},
};

QString name(const char *n)
{
    return QString::fromLatin1(n);
}

template <class W> W *named(W *w, const QString &objectName)
{
    w->setObjectName(objectName);
    return w;
}

// The colour each word list's words are shown in, by category 1 to 3.
BgrColor PrefModel::*const kListColour[4] = {nullptr, &PrefModel::cmdckeywordcolor,
                                             &PrefModel::cmdcothercolor, &PrefModel::cmdcmorecolor};

const char *listTitle(int category)
{
    switch (category) {
    case CatKeyword: return "Field already exists in Keyword list";
    case CatOther: return "Field already exists in Other list";
    default: return "Field already exists in More list";
    }
}

void setListItems(QListWidget *list, const QStringList &items)
{
    list->setUpdatesEnabled(false);
    list->clear();
    list->addItems(items);
    list->setUpdatesEnabled(true);
}

} // namespace

frmpref::frmpref(PreferencesSession &session, Prompter &prompter, QWidget *mainWindow)
    : QWidget(nullptr, Qt::Dialog), m_session(session), m_prompter(prompter), m_main(mainWindow),
      m_manifestPath(qln::manifestPath())
{
    setObjectName(QStringLiteral("frmpref"));
    setWindowTitle(QStringLiteral("Preferences"));

    m_tbsOptions = named(new QTabBar(this), QStringLiteral("tbsOptions"));
    // Captions as shown, each with its Alt key.
    for (const char *caption :
         {"&General", "A&llignment Options", "S&pelling corrections", "Colo&ring and Font"})
        m_tbsOptions->addTab(name(caption));

    m_pages[0] = buildGeneralPage();
    m_pages[1] = buildAllignmentPage();
    m_pages[2] = buildSpellingPage();
    m_pages[3] = buildColoringPage();
    auto *pageArea = new QGridLayout;
    for (QWidget *page : m_pages)
        pageArea->addWidget(page, 0, 0);
    connect(m_tbsOptions, &QTabBar::currentChanged, this, &frmpref::tbsOptions_Click);

    auto *cmddefaults = named(new QPushButton(QStringLiteral("Load &Defaults"), this),
                              QStringLiteral("cmddefaults"));
    m_cmdapply = named(new QPushButton(QStringLiteral("&Apply"), this), QStringLiteral("cmdapply"));
    auto *cmdok = named(new QPushButton(QStringLiteral("&OK"), this), QStringLiteral("cmdok"));
    auto *cmdcancel =
        named(new QPushButton(QStringLiteral("&Cancel"), this), QStringLiteral("cmdcancel"));
    // Enter is OK, Escape is Cancel (keyPressEvent); OK is drawn as the default.
    cmdok->setDefault(true);
    m_cmdok = cmdok;
    m_cmdcancel = cmdcancel;
    connect(cmddefaults, &QPushButton::clicked, this, &frmpref::cmddefaults_Click);
    connect(m_cmdapply, &QPushButton::clicked, this, &frmpref::cmdapply_Click);
    connect(cmdok, &QPushButton::clicked, this, &frmpref::cmdok_Click);
    connect(cmdcancel, &QPushButton::clicked, this, &frmpref::cmdcancel_Click);
    m_cmdapply->setEnabled(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmddefaults);
    buttons->addStretch();
    buttons->addWidget(m_cmdapply);
    buttons->addWidget(cmdok);
    buttons->addWidget(cmdcancel);

    auto *frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setLayout(pageArea);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->addWidget(m_tbsOptions);
    layout->addWidget(frame, 1);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    // Hidden pages take no room in a layout: size the page area for the
    // largest page so that changing tabs never resizes the window.
    QSize largest;
    for (QWidget *page : m_pages)
        largest = largest.expandedTo(page->sizeHint());
    frame->setMinimumSize(
        largest
        + QSize(pageArea->contentsMargins().left() * 2, pageArea->contentsMargins().top() * 2));
    tbsOptions_Click(0);
    resize(sizeHint());
    keepOnScreen(this);
}

frmpref::~frmpref()
{
    delete m_help;
}

frmhelp *frmpref::helpWindow() const
{
    return m_help;
}

// ---- pages ----

// A check box or option button bound to a flag of the model: every user
// change reaches the model and enables Apply; `also` runs on every change,
// loads included (frames shown or hidden with the option).
void frmpref::bindSwitch(QAbstractButton *button, bool PrefModel::*field,
                         std::function<void()> also)
{
    connect(button, &QAbstractButton::toggled, this, [this, field, also](bool on) {
        if (also)
            also();
        if (m_loading)
            return;
        m_session.model().*field = on;
        edited();
    });
}

QWidget *frmpref::buildGeneralPage()
{
    auto *page = named(new QWidget(this), QStringLiteral("picgeneral"));

    auto *reserved = named(new QGroupBox(QStringLiteral("Reserved Strings"), page),
                           QStringLiteral("fragreserved"));
    auto *form = new QFormLayout(reserved);
    for (int i = 0; i < 8; ++i) {
        m_reserved[i] = named(new QLineEdit(reserved), name(kReserved[i].name));
        form->addRow(name(kReserved[i].label), m_reserved[i]);
        QString PrefModel::*member = kReserved[i].member;
        connect(m_reserved[i], &QLineEdit::textChanged, this, [this, member](const QString &t) {
            if (m_loading)
                return;
            m_session.model().*member = t;
            edited();
        });
    }

    auto *tree = named(new QGroupBox(QStringLiteral("Auto Tree Search"), page),
                       QStringLiteral("fragautotreesearch"));
    m_optgautotreesearchyes = named(new QRadioButton(QStringLiteral("Yes"), tree),
                                    QStringLiteral("optgautotreesearchyes"));
    m_optgautotreesearchno =
        named(new QRadioButton(QStringLiteral("No"), tree), QStringLiteral("optgautotreesearchno"));
    bindSwitch(m_optgautotreesearchyes, &PrefModel::optgautotreesearchyes,
               [this] { showTreeSearchFrames(); });

    m_fraifitemfound = named(new QGroupBox(QStringLiteral("If item was found"), tree),
                             QStringLiteral("fragifitemfound"));
    m_chkgsetfocuscbox =
        named(new QCheckBox(QStringLiteral("Set &Focus on combo box"), m_fraifitemfound),
              QStringLiteral("chkgsetfocuscbox"));
    m_chkgdropdowncbo =
        named(new QCheckBox(QStringLiteral("Drop down co&mbo box"), m_fraifitemfound),
              QStringLiteral("chkgdropdowncbo"));
    auto *found = new QVBoxLayout(m_fraifitemfound);
    found->addWidget(m_chkgsetfocuscbox);
    found->addWidget(m_chkgdropdowncbo);
    bindSwitch(m_chkgsetfocuscbox, &PrefModel::chkgsetfocuscbox);
    bindSwitch(m_chkgdropdowncbo, &PrefModel::chkgdropdowncbo);

    m_fracbopos = named(new QGroupBox(QStringLiteral("Combo box  Positioning"), tree),
                        QStringLiteral("fragcbopos"));
    m_optgautocbopos = named(new QRadioButton(QStringLiteral("Automatic"), m_fracbopos),
                             QStringLiteral("optgautocbopos"));
    m_optgfixedcbopos = named(new QRadioButton(QStringLiteral("Fixed"), m_fracbopos),
                              QStringLiteral("optgfixedcbopos"));
    m_txtgdefcboposX = named(new QLineEdit(m_fracbopos), QStringLiteral("txtgdefcboposX"));
    m_txtgdefcboposY = named(new QLineEdit(m_fracbopos), QStringLiteral("txtgdefcboposY"));
    m_lblgdefcboposX =
        named(new QLabel(QStringLiteral("&X"), m_fracbopos), QStringLiteral("lblgdefcboposX"));
    m_lblgdefcboposY =
        named(new QLabel(QStringLiteral("&Y"), m_fracbopos), QStringLiteral("lblgdefcboposY"));
    m_lblgautopos = named(new QLabel(QStringLiteral("Autopositioning may not be accurate. You "
                                                    "may choose fixed if you like"),
                                     m_fracbopos),
                          QStringLiteral("lblgautopos"));
    m_lblgautopos->setWordWrap(true);
    m_lblgdefcboposX->setBuddy(m_txtgdefcboposX);
    m_lblgdefcboposY->setBuddy(m_txtgdefcboposY);
    for (QLineEdit *box : {m_txtgdefcboposX, m_txtgdefcboposY})
        box->setMaximumWidth(70);
    auto *pos = new QGridLayout(m_fracbopos);
    pos->addWidget(m_optgautocbopos, 0, 0);
    pos->addWidget(m_optgfixedcbopos, 0, 1, 1, 3);
    pos->addWidget(m_lblgdefcboposX, 1, 0, Qt::AlignRight);
    pos->addWidget(m_txtgdefcboposX, 1, 1);
    pos->addWidget(m_lblgdefcboposY, 1, 2, Qt::AlignRight);
    pos->addWidget(m_txtgdefcboposY, 1, 3);
    pos->addWidget(m_lblgautopos, 2, 0, 1, 4);
    bindSwitch(m_optgfixedcbopos, &PrefModel::optgfixedcbopos, [this] { showPositionControls(); });
    // Each pair of options is a group of its own. Left to themselves, the
    // options of the inner frame would count as one group with Yes and No
    // around them, and Tab would never stop on them.
    for (auto [first, second] : {std::pair{m_optgautotreesearchyes, m_optgautotreesearchno},
                                 std::pair{m_optgautocbopos, m_optgfixedcbopos}}) {
        auto *group = new QButtonGroup(first->parentWidget());
        group->addButton(first);
        group->addButton(second);
    }
    connect(m_txtgdefcboposX, &QLineEdit::textChanged, this,
            [this] { positionBox_Change(m_txtgdefcboposX, QStringLiteral("X")); });
    connect(m_txtgdefcboposY, &QLineEdit::textChanged, this,
            [this] { positionBox_Change(m_txtgdefcboposY, QStringLiteral("Y")); });

    auto *cmdglegend =
        named(new QPushButton(QStringLiteral(" L&egend..."), tree), QStringLiteral("cmdglegend"));
    auto *cmdgatshelp =
        named(new QPushButton(QStringLiteral("&Help"), tree), QStringLiteral("cmdgatshelp"));
    connect(cmdglegend, &QPushButton::clicked, this,
            [this] { showHelp(int(frmhelp::Panel::Legend)); });
    connect(cmdgatshelp, &QPushButton::clicked, this,
            [this] { showHelp(int(frmhelp::Panel::AutoTreeSearch)); });

    auto *treeLayout = new QGridLayout(tree);
    auto *yesNo = new QHBoxLayout;
    yesNo->addWidget(m_optgautotreesearchyes);
    yesNo->addWidget(m_optgautotreesearchno);
    yesNo->addStretch();
    yesNo->addWidget(cmdglegend);
    yesNo->addWidget(cmdgatshelp);
    treeLayout->addLayout(yesNo, 0, 0);
    treeLayout->addWidget(m_fraifitemfound, 1, 0);
    treeLayout->addWidget(m_fracbopos, 2, 0);
    treeLayout->setRowStretch(3, 1);

    auto *objectTree = named(new QGroupBox(QStringLiteral("Package and class tree"), page),
                             QStringLiteral("fragobjecttree"));
    auto *cmdglocate =
        named(new QPushButton(QStringLiteral("Locate existing ob&ject tree"), objectTree),
              QStringLiteral("cmdglocatetree"));
    auto *cmdggenerate = named(
        new QPushButton(QStringLiteral("Genarate object tree and sa&ve to a file"), objectTree),
        QStringLiteral("cmdggeneratetree"));
    auto *cmdgtreehelp = named(new QPushButton(QStringLiteral("&What's this?"), objectTree),
                               QStringLiteral("cmdgtreehelp"));
    connect(cmdglocate, &QPushButton::clicked, this, [this] {
        if (locateObjectTree)
            locateObjectTree();
    });
    // Generating the tree is not supported; its help text says so.
    connect(cmdgtreehelp, &QPushButton::clicked, this,
            [this] { showHelp(int(frmhelp::Panel::ObjectTree)); });
    auto *objectTreeLayout = new QVBoxLayout(objectTree);
    objectTreeLayout->addWidget(cmdglocate);
    objectTreeLayout->addWidget(cmdggenerate);
    objectTreeLayout->addWidget(cmdgtreehelp);

    m_chkusexptheme =
        named(new QCheckBox(QStringLiteral("&Use WinXP styles (for XP users only)"), page),
              QStringLiteral("chkusexptheme"));
    connect(m_chkusexptheme, &QCheckBox::clicked, this, &frmpref::chkusexptheme_Click);

    // Tab reads the left column, then the right one, each from the top.
    QWidget *order[] = {m_reserved[7],
                        cmdglocate,
                        cmdggenerate,
                        cmdgtreehelp,
                        m_optgautotreesearchyes,
                        m_optgautotreesearchno,
                        cmdglegend,
                        cmdgatshelp,
                        m_chkgsetfocuscbox,
                        m_chkgdropdowncbo,
                        m_optgautocbopos,
                        m_optgfixedcbopos,
                        m_txtgdefcboposX,
                        m_txtgdefcboposY,
                        m_chkusexptheme};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    auto *left = new QVBoxLayout;
    left->addWidget(reserved);
    left->addWidget(objectTree);
    left->addStretch();
    auto *right = new QVBoxLayout;
    right->addWidget(tree, 1);
    right->addWidget(m_chkusexptheme);
    auto *layout = new QHBoxLayout(page);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);
    return page;
}

QWidget *frmpref::buildAllignmentPage()
{
    auto *page = named(new QWidget(this), QStringLiteral("picallignmentopt"));
    auto *indent =
        named(new QGroupBox(QStringLiteral("Indent"), page), QStringLiteral("fraindent"));
    m_opta1 = named(new QRadioButton(QStringLiteral("Use &tabs to indent"), indent),
                    QStringLiteral("opta1"));
    m_opta2 = named(new QRadioButton(QStringLiteral("Use &spaces to indent"), indent),
                    QStringLiteral("opta2"));
    auto *indentLayout = new QVBoxLayout(indent);
    indentLayout->addWidget(m_opta1);
    indentLayout->addWidget(m_opta2);
    bindSwitch(m_opta1, &PrefModel::opta1, [this] { showIndentCaption(); });

    m_fraindnum =
        named(new QGroupBox(QStringLiteral("Indent &Number"), page), QStringLiteral("fraindnum"));
    // More than a hundred tabs or blanks is no indentation anyone wants, and
    // a larger number once removed all indentation.
    m_txtaindnum = named(new QSpinBox(m_fraindnum), QStringLiteral("txtaindnum"));
    m_txtaindnum->setRange(0, 100);
    m_txtaindnum->setMaximumWidth(80);
    auto *numLayout = new QHBoxLayout(m_fraindnum);
    numLayout->addWidget(m_txtaindnum);
    numLayout->addStretch();
    connect(m_txtaindnum, &QSpinBox::valueChanged, this, &frmpref::txtaindnum_Change);

    // Enter, a typed closing brace and the templates follow the caret
    // line's indentation.
    m_chkkeepindent = named(new QCheckBox(QStringLiteral("&Keep indentation"), page),
                            QStringLiteral("chkkeepindent"));
    bindSwitch(m_chkkeepindent, &PrefModel::chkkeepindent);
    // The margin of line numbers (and the compiler's signs) beside the text.
    m_chklinenumbers = named(new QCheckBox(QStringLiteral("L&ine numbers"), page),
                             QStringLiteral("chklinenumbers"));
    bindSwitch(m_chklinenumbers, &PrefModel::chklinenumbers);

    auto *layout = new QVBoxLayout(page);
    auto *row = new QHBoxLayout;
    row->addWidget(indent);
    row->addWidget(m_fraindnum);
    row->addStretch();
    layout->addLayout(row);
    layout->addWidget(m_chkkeepindent);
    layout->addWidget(m_chklinenumbers);
    layout->addStretch();
    return page;
}

QWidget *frmpref::buildSpellingPage()
{
    auto *page = named(new QWidget(this), QStringLiteral("picspellcorrect"));
    m_lstsfrom = named(new QListWidget(page), QStringLiteral("lstsfrom"));
    m_lststo = named(new QListWidget(page), QStringLiteral("lststo"));
    m_txtsfrom = named(new QLineEdit(page), QStringLiteral("txtsfrom"));
    m_txtsto = named(new QLineEdit(page), QStringLiteral("txtsto"));
    m_cmdsadd = named(new QPushButton(QStringLiteral("Add"), page), QStringLiteral("cmdsadd"));
    m_cmdschange =
        named(new QPushButton(QStringLiteral("C&hange"), page), QStringLiteral("cmdschange"));
    m_cmdsremove =
        named(new QPushButton(QStringLiteral("Re&move"), page), QStringLiteral("cmdsremove"));
    m_cmdsremoveall = named(new QPushButton(QStringLiteral("R&emove All"), page),
                            QStringLiteral("cmdsremoveall"));
    m_cmdsload =
        named(new QPushButton(QStringLiteral("Load L&ist"), page), QStringLiteral("cmdsload"));
    m_cmdssave =
        named(new QPushButton(QStringLiteral("Sa&ve list"), page), QStringLiteral("cmdssave"));
    m_chksautosc = named(new QCheckBox(QStringLiteral("A&utomatically correct spelling when "
                                                      "writing code"),
                                       page),
                         QStringLiteral("chksautosc"));

    for (QListWidget *list : {m_lstsfrom, m_lststo}) {
        list->setUniformItemSizes(true);
        connect(list, &QListWidget::currentRowChanged, this, &frmpref::selectPair);
        connect(list, &QListWidget::itemDoubleClicked, this, [this, list](QListWidgetItem *item) {
            const int row = list->row(item);
            m_txtsfrom->setText(m_lstsfrom->item(row)->text());
            m_txtsto->setText(m_lststo->item(row)->text());
        });
    }
    for (QLineEdit *box : {m_txtsfrom, m_txtsto})
        connect(box, &QLineEdit::textChanged, this, [this] {
            updateSpellingButtons();
            if (!m_loading)
                edited();
        });
    connect(m_cmdsadd, &QPushButton::clicked, this, &frmpref::cmdsadd_Click);
    connect(m_cmdschange, &QPushButton::clicked, this, &frmpref::cmdschange_Click);
    connect(m_cmdsremove, &QPushButton::clicked, this, &frmpref::cmdsremove_Click);
    connect(m_cmdsremoveall, &QPushButton::clicked, this, &frmpref::cmdsremoveall_Click);
    connect(m_cmdsload, &QPushButton::clicked, this, &frmpref::cmdsload_Click);
    connect(m_cmdssave, &QPushButton::clicked, this, &frmpref::cmdssave_Click);
    bindSwitch(m_chksautosc, &PrefModel::chksautosc);

    auto *grid = new QGridLayout;
    auto *lblsfrom = named(new QLabel(QStringLiteral("&From"), page), QStringLiteral("lblsfrom"));
    auto *lblsto = named(new QLabel(QStringLiteral("&To"), page), QStringLiteral("lblsto"));
    lblsfrom->setBuddy(m_lstsfrom);
    lblsto->setBuddy(m_lststo);
    grid->addWidget(lblsfrom, 0, 0);
    grid->addWidget(lblsto, 0, 1);
    grid->addWidget(m_lstsfrom, 1, 0);
    grid->addWidget(m_lststo, 1, 1);
    grid->addWidget(m_txtsfrom, 2, 0);
    grid->addWidget(m_txtsto, 2, 1);

    auto *side = new QVBoxLayout;
    for (QPushButton *b : {m_cmdsadd, m_cmdschange, m_cmdsremove, m_cmdsremoveall})
        side->addWidget(b);
    side->addSpacing(16);
    side->addWidget(m_cmdsload);
    side->addWidget(m_cmdssave);
    side->addStretch();

    auto *top = new QHBoxLayout;
    top->addLayout(grid, 1);
    top->addLayout(side);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(top, 1);
    layout->addWidget(m_chksautosc);
    return page;
}

QToolBar *frmpref::buildStyleToolbar(const QString &toolbarName, int category, QWidget *parent)
{
    auto *bar = named(new QToolBar(parent), toolbarName);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const char *captions[4] = {nullptr, "B", "I", "U"};
    const char *names[4] = {nullptr, "Bold", "Italic", "Underline"};
    for (int flag = 1; flag <= 3; ++flag) {
        QAction *a = bar->addAction(name(captions[flag]));
        a->setObjectName(name(names[flag]));
        a->setToolTip(name(names[flag]));
        a->setCheckable(true);
        QFont f = bar->font();
        f.setBold(flag == 1);
        f.setItalic(flag == 2);
        f.setUnderline(flag == 3);
        a->setFont(f);
        // A tool bar's buttons take no focus; these are reached with Tab.
        if (QWidget *button = bar->widgetForAction(a)) {
            button->setObjectName(toolbarName + QLatin1String(names[flag]));
            button->setFocusPolicy(Qt::TabFocus);
        }
        m_style[category][flag] = a;
        connect(a, &QAction::toggled, this, [this, category, flag](bool on) {
            if (m_loading)
                return;
            m_session.model().tbrstyle[category][flag] = on;
            showListStyle(category);
            edited();
        });
    }
    return bar;
}

QPushButton *frmpref::buildColourButton(const QString &buttonName, BgrColor PrefModel::*colour,
                                        QWidget *parent)
{
    auto *button = named(new QPushButton(parent), buttonName);
    button->setFixedSize(44, 22);
    button->setToolTip(QStringLiteral("Colour"));
    m_colours.push_back({colour, button});
    connect(button, &QPushButton::clicked, this, [this, colour] { chooseColour(colour); });
    return button;
}

QGroupBox *frmpref::buildWordListFrame(const QString &caption, const QString &base, int category,
                                       const QString &wholeWordCaption)
{
    auto *frame = named(new QGroupBox(caption, m_pages[3] ? m_pages[3] : this),
                        QStringLiteral("frac") + base);
    auto *list = named(new QListWidget(frame), QStringLiteral("lstc") + base);
    list->setUniformItemSizes(true);
    QStringList PrefModel::*items = category == CatKeyword ? &PrefModel::lstckeyword
                                    : category == CatOther ? &PrefModel::lstcother
                                                           : &PrefModel::lstcmore;
    m_wordLists[category] = {list, items, category};

    auto *add = named(new QPushButton(QStringLiteral("Add"), frame),
                      QStringLiteral("cmdc") + base + QStringLiteral("add"));
    auto *remove = named(new QPushButton(QStringLiteral("Remove"), frame),
                         QStringLiteral("cmdc") + base + QStringLiteral("remove"));
    auto *removeAll = named(new QPushButton(QStringLiteral("Remove All"), frame),
                            QStringLiteral("cmdc") + base + QStringLiteral("removeall"));
    connect(add, &QPushButton::clicked, this, [this, category] { addWord(category); });
    connect(remove, &QPushButton::clicked, this, [this, category] { removeWord(category); });
    connect(removeAll, &QPushButton::clicked, this, [this, category] { removeAllWords(category); });

    BgrColor PrefModel::*colour = category == CatKeyword ? &PrefModel::cmdckeywordcolor
                                  : category == CatOther ? &PrefModel::cmdcothercolor
                                                         : &PrefModel::cmdcmorecolor;
    QPushButton *colourButton =
        buildColourButton(QStringLiteral("cmdc") + base + QStringLiteral("color"), colour, frame);
    // Made in reading order, which is the order Tab takes.
    QToolBar *bar =
        buildStyleToolbar(QStringLiteral("tbrc") + base + QStringLiteral("font"), category, frame);
    auto *whole = named(new QCheckBox(wholeWordCaption, frame),
                        QStringLiteral("chkc") + base + QStringLiteral("wholeword"));
    m_wholeWord[category] = whole;
    bindSwitch(whole, category == CatKeyword ? &PrefModel::chkckeywordwholeword
                      : category == CatOther ? &PrefModel::chkcotherwholeword
                                             : &PrefModel::chkcmorewholeword);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addWidget(removeAll);
    auto *styleRow = new QHBoxLayout;
    styleRow->addWidget(colourButton);
    styleRow->addWidget(bar);
    styleRow->addStretch();
    auto *layout = new QVBoxLayout(frame);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
    layout->addLayout(styleRow);
    layout->addWidget(whole);
    return frame;
}

QWidget *frmpref::buildColoringPage()
{
    auto *page = named(new QWidget(this), QStringLiteral("piccoloringandfont"));
    m_pages[3] = page;
    auto *lists = new QHBoxLayout;
    lists->addWidget(buildWordListFrame(QStringLiteral("&Keywords"), QStringLiteral("keyword"),
                                        CatKeyword, QStringLiteral("&Wole word")));
    lists->addWidget(buildWordListFrame(QStringLiteral("O&ther"), QStringLiteral("other"), CatOther,
                                        QStringLiteral("W&hole word")));
    lists->addWidget(buildWordListFrame(QStringLiteral("&More"), QStringLiteral("more"), CatMore,
                                        QStringLiteral("Whol&e word")));

    auto simpleFrame = [this, page](const QString &caption, const QString &base,
                                    BgrColor PrefModel::*colour, int category) {
        auto *frame = named(new QGroupBox(caption, page), QStringLiteral("frac") + base);
        auto *row = new QHBoxLayout(frame);
        row->addWidget(buildColourButton(QStringLiteral("cmdc") + base + QStringLiteral("color"),
                                         colour, frame));
        if (category)
            row->addWidget(buildStyleToolbar(QStringLiteral("tbrc") + base + QStringLiteral("font"),
                                             category, frame));
        row->addStretch();
        return frame;
    };
    auto *others = new QHBoxLayout;
    others->addWidget(simpleFrame(QStringLiteral("Comme&nts"), QStringLiteral("comments"),
                                  &PrefModel::cmdccommentscolor, CatComment));
    others->addWidget(simpleFrame(QStringLiteral("&Strings"), QStringLiteral("strings"),
                                  &PrefModel::cmdcstringscolor, CatString));
    others->addWidget(
        simpleFrame(QStringLiteral("Te&xt"), QStringLiteral("text"), &PrefModel::cmdctextcolor, 0));

    auto *layout = new QVBoxLayout(page);
    layout->addLayout(lists, 1);
    layout->addLayout(others);
    return page;
}

// ---- loading and the buttons below the pages ----

LoadOutcome frmpref::Form_Load()
{
    m_tbsOptions->setCurrentIndex(0);
    tbsOptions_Click(0);
    if (!m_help)
        m_help = new frmhelp;
    const LoadOutcome outcome = m_session.startUp();
    loadControls();
    return outcome;
}

void frmpref::loadControls()
{
    const PrefModel &m = m_session.model();
    m_loading = true;
    for (int i = 0; i < 8; ++i)
        m_reserved[i]->setText(m.*kReserved[i].member);
    m_optgautotreesearchyes->setChecked(m.optgautotreesearchyes);
    m_optgautotreesearchno->setChecked(!m.optgautotreesearchyes);
    m_chkgsetfocuscbox->setChecked(m.chkgsetfocuscbox);
    m_chkgdropdowncbo->setChecked(m.chkgdropdowncbo);
    m_optgfixedcbopos->setChecked(m.optgfixedcbopos);
    m_optgautocbopos->setChecked(!m.optgfixedcbopos);
    m_txtgdefcboposX->setText(m.txtgdefcboposX);
    m_txtgdefcboposY->setText(m.txtgdefcboposY);
    m_chkusexptheme->setChecked(m.chkusexptheme);

    m_opta1->setChecked(m.opta1);
    m_opta2->setChecked(!m.opta1);
    m_txtaindnum->setValue(int(std::clamp(leadingNumber(m.txtaindnum), 0.0, 100.0)));
    m_chkkeepindent->setChecked(m.chkkeepindent);
    m_chklinenumbers->setChecked(m.chklinenumbers);

    refillSpellingLists();
    m_txtsfrom->clear();
    m_txtsto->clear();
    m_chksautosc->setChecked(m.chksautosc);

    for (int cat = CatKeyword; cat <= CatMore; ++cat)
        setListItems(m_wordLists[cat].list, m.*m_wordLists[cat].items);
    m_wholeWord[CatKeyword]->setChecked(m.chkckeywordwholeword);
    m_wholeWord[CatOther]->setChecked(m.chkcotherwholeword);
    m_wholeWord[CatMore]->setChecked(m.chkcmorewholeword);
    for (int cat = 1; cat <= 5; ++cat) {
        for (int flag = 1; flag <= 3; ++flag)
            m_style[cat][flag]->setChecked(m.tbrstyle[cat][flag]);
        showListStyle(cat);
    }
    for (const ColourControl &c : m_colours)
        showColour(c.colour);
    m_loading = false;

    showTreeSearchFrames();
    showPositionControls();
    showIndentCaption();
    updateSpellingButtons();
    m_session.model().cmdapplyEnabled = false;
    m_cmdapply->setEnabled(false);
}

LoadOutcome frmpref::showPreferences()
{
    show();
    raise();
    activateWindow();
    if (m_main)
        m_main->setEnabled(false);
    const LoadOutcome outcome = m_session.refresh();
    loadControls();
    if (outcome == LoadOutcome::Quit) {
        hide();
        mainWindowBack();
        emit closeMainWindow();
    }
    return outcome;
}

void frmpref::mainWindowBack()
{
    if (!m_main)
        return;
    m_main->setEnabled(true);
    m_main->show();
    m_main->activateWindow();
}

void frmpref::edited()
{
    m_session.model().cmdapplyEnabled = true;
    m_cmdapply->setEnabled(true);
}

void frmpref::cmdapply_Click()
{
    m_cmdapply->setEnabled(false);
    m_session.model().cmdapplyEnabled = false;
    m_lstsfrom->hide();
    m_lststo->hide();
    m_session.apply();
    refillSpellingLists();
    m_lstsfrom->show();
    m_lststo->show();
    emit applied();
}

void frmpref::cmdok_Click()
{
    mainWindowBack();
    m_session.ok();
    refillSpellingLists();
    m_session.model().cmdapplyEnabled = false;
    m_cmdapply->setEnabled(false);
    hide();
    emit applied();
}

void frmpref::cmdcancel_Click()
{
    const LoadOutcome outcome = m_session.cancel();
    loadControls();
    mainWindowBack();
    hide();
    if (outcome == LoadOutcome::Quit)
        emit closeMainWindow();
}

void frmpref::cmddefaults_Click()
{
    if (leaveDocument && !leaveDocument())
        return;
    const bool removed = deleteAllSettings(m_prompter);
    if (documentLeft)
        documentLeft(removed);
    if (removed)
        emit endProgram();
}

void frmpref::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_help)
        m_help->hide();
    mainWindowBack();
    emit unloaded();
    deleteLater();
}

void frmpref::tbsOptions_Click(int index)
{
    for (int i = 0; i < 4; ++i)
        m_pages[i]->setVisible(i == index);
}

void frmpref::showHelp(int panel)
{
    if (!m_help)
        m_help = new frmhelp;
    m_help->showPanel(this, frmhelp::Panel(panel));
}

// ---- General and Allignment controls ----

void frmpref::showTreeSearchFrames()
{
    const bool on = m_optgautotreesearchyes->isChecked();
    m_fraifitemfound->setVisible(on);
    m_fracbopos->setVisible(on);
}

void frmpref::showPositionControls()
{
    const bool fixed = m_optgfixedcbopos->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{m_txtgdefcboposX, m_txtgdefcboposY,
                                                       m_lblgdefcboposX, m_lblgdefcboposY})
        w->setVisible(fixed);
    m_lblgautopos->setVisible(!fixed);
}

void frmpref::showIndentCaption()
{
    m_fraindnum->setTitle(m_opta1->isChecked() ? QStringLiteral("&Number of tabs")
                                               : QStringLiteral("&Number of spaces"));
}

void frmpref::positionBox_Change(QLineEdit *box, const QString &placeholder)
{
    if (m_loading)
        return;
    if (leadingNumber(box->text()) >= 32000) {
        m_prompter.message(QStringLiteral("The value should be less than 32000"), QString(),
                           MsgIcon::None, MsgButtons::Ok);
        box->setText(placeholder); // runs this handler again with a small value
        return;
    }
    (box == m_txtgdefcboposX ? m_session.model().txtgdefcboposX
                             : m_session.model().txtgdefcboposY) = box->text();
    edited();
}

void frmpref::txtaindnum_Change()
{
    if (m_loading)
        return;
    m_session.model().txtaindnum = QString::number(m_txtaindnum->value());
    edited();
}

void frmpref::chkusexptheme_Click(bool checked)
{
    const bool state = setVisualStyleManifest(checked, m_manifestPath, m_prompter);
    m_loading = true;
    m_chkusexptheme->setChecked(state);
    m_loading = false;
    m_session.model().chkusexptheme = state;
    edited();
}

// ---- word lists of the colour categories ----

void frmpref::addWord(int category)
{
    const std::optional<QString> answer =
        m_prompter.input(QStringLiteral("Enter the word to add "), QStringLiteral("Add word"));
    if (!answer || answer->isEmpty())
        return;
    PrefModel &m = m_session.model();
    for (int cat = CatKeyword; cat <= CatMore; ++cat) {
        const QStringList &items = m.*m_wordLists[cat].items;
        if (items.contains(*answer, Qt::CaseInsensitive)) {
            m_prompter.message(QStringLiteral("The field will not be added to the list"),
                               name(listTitle(cat)), MsgIcon::Exclamation, MsgButtons::Ok);
            return;
        }
    }
    QListWidget *list = m_wordLists[category].list;
    (m.*m_wordLists[category].items).append(*answer);
    list->addItem(*answer);
    list->setCurrentRow(list->count() - 1);
    edited();
}

void frmpref::removeWord(int category)
{
    QListWidget *list = m_wordLists[category].list;
    const int row = list->currentRow();
    if (row < 0 || !list->currentItem() || !list->currentItem()->isSelected())
        return;
    (m_session.model().*m_wordLists[category].items).removeAt(row);
    delete list->takeItem(row);
    if (list->count() > 0)
        list->setCurrentRow(std::min(row, list->count() - 1));
    edited();
}

void frmpref::removeAllWords(int category)
{
    (m_session.model().*m_wordLists[category].items).clear();
    m_wordLists[category].list->clear();
    edited();
}

void frmpref::showListStyle(int category)
{
    if (category < CatKeyword || category > CatMore)
        return;
    QListWidget *list = m_wordLists[category].list;
    QFont f = font();
    // The lists show their words as the editor would: its font name and
    // background, in the category's colour.
    if (!m_editorFontName.isEmpty())
        f.setFamily(m_editorFontName);
    const auto &style = m_session.model().tbrstyle[category];
    f.setBold(style[1]);
    f.setItalic(style[2]);
    f.setUnderline(style[3]);
    list->setFont(f);
    QPalette pal = list->palette();
    if (m_editorBackground) {
        pal.setColor(QPalette::Base, toQColor(*m_editorBackground));
        pal.setColor(QPalette::Text, toQColor(m_session.model().*kListColour[category]));
    }
    list->setPalette(pal);
}

void frmpref::setEditorLook(const QString &fontName, BgrColor background)
{
    m_editorFontName = fontName;
    m_editorBackground = background;
    for (int cat = CatKeyword; cat <= CatMore; ++cat)
        showListStyle(cat);
}

void frmpref::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (event->modifiers() & ~Qt::KeypadModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        m_cmdcancel->click();
    } else if (enter) {
        // Enter presses the button that has the focus, OK elsewhere.
        auto *focused = qobject_cast<QPushButton *>(focusWidget());
        (focused && focused->isEnabled() ? focused : m_cmdok)->click();
    } else {
        QWidget::keyPressEvent(event);
    }
}

// ---- spelling pairs ----

void frmpref::refillSpellingLists()
{
    const PrefModel &m = m_session.model();
    const bool loading = m_loading;
    m_loading = true;
    setListItems(m_lstsfrom, m.lstsfrom);
    setListItems(m_lststo, m.lststo);
    m_loading = loading;
    updateSpellingButtons();
}

void frmpref::selectPair(int row)
{
    // Selecting in either list selects the same position in the other.
    for (QListWidget *list : {m_lstsfrom, m_lststo})
        if (list->currentRow() != row) {
            const QSignalBlocker block(list);
            list->setCurrentRow(row);
        }
    updateSpellingButtons();
}

void frmpref::updateSpellingButtons()
{
    const bool bothFilled = !m_txtsfrom->text().isEmpty() && !m_txtsto->text().isEmpty();
    const bool selected = m_lstsfrom->currentRow() >= 0;
    m_cmdsadd->setEnabled(bothFilled);
    m_cmdssave->setEnabled(m_lstsfrom->count() > 0);
    m_cmdschange->setEnabled(selected);
    m_cmdsremove->setEnabled(selected);
}

void frmpref::cmdsadd_Click()
{
    if (m_txtsfrom->text().isEmpty() || m_txtsto->text().isEmpty()) {
        m_prompter.message(QStringLiteral("Please input value in both from and to fields"),
                           QStringLiteral("Null value"), MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    PrefModel &m = m_session.model();
    const QString from = m_txtsfrom->text().toLower();
    if (m.lstsfrom.contains(from, Qt::CaseInsensitive)) {
        m_prompter.message(QStringLiteral("The field will not be added to the list"),
                           QStringLiteral("Field already exists"), MsgIcon::Exclamation,
                           MsgButtons::Ok);
        return;
    }
    appendPair(from, m_txtsto->text());
}

// A new pair goes to the end of both lists and is selected; the boxes
// empty for the next one.
void frmpref::appendPair(const QString &from, const QString &to)
{
    PrefModel &m = m_session.model();
    m.lstsfrom.append(from);
    m.lststo.append(to);
    m_lstsfrom->addItem(from);
    m_lststo->addItem(to);
    m_txtsfrom->clear();
    m_txtsto->clear();
    selectPair(m_lstsfrom->count() - 1);
    edited();
}

void frmpref::cmdschange_Click()
{
    const int row = m_lstsfrom->currentRow();
    if (row < 0)
        return;
    // An empty field would make a pair that corrects to or from nothing.
    if (m_txtsfrom->text().isEmpty() || m_txtsto->text().isEmpty()) {
        m_prompter.message(QStringLiteral("Please input value in both from and to fields"),
                           QStringLiteral("Null value"), MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    PrefModel &m = m_session.model();
    const QString from = m_txtsfrom->text().toLower();
    for (int i = 0; i < m.lstsfrom.size(); ++i)
        if (i != row && m.lstsfrom[i].compare(from, Qt::CaseInsensitive) == 0) {
            m_prompter.message(QStringLiteral("No Changes will be made to the list") + kCrLf
                                   + QStringLiteral("Identical field found in \"From\" list"),
                               QStringLiteral("Duplicate item"), MsgIcon::None, MsgButtons::Ok);
            return;
        }
    m.lstsfrom.removeAt(row);
    m.lststo.removeAt(row);
    delete m_lstsfrom->takeItem(row);
    delete m_lststo->takeItem(row);
    appendPair(from, m_txtsto->text());
}

void frmpref::cmdsremove_Click()
{
    const int row = m_lstsfrom->currentRow();
    if (row < 0)
        return;
    PrefModel &m = m_session.model();
    m.lstsfrom.removeAt(row);
    m.lststo.removeAt(row);
    {
        const QSignalBlocker a(m_lstsfrom), b(m_lststo);
        delete m_lstsfrom->takeItem(row);
        delete m_lststo->takeItem(row);
    }
    selectPair(m_lstsfrom->count() > 0 ? std::min(row, m_lstsfrom->count() - 1) : -1);
    edited();
}

void frmpref::cmdsremoveall_Click()
{
    PrefModel &m = m_session.model();
    m.lstsfrom.clear();
    m.lststo.clear();
    refillSpellingLists();
    edited();
}

void frmpref::cmdsload_Click()
{
    PrefModel &m = m_session.model();
    if (!m.lstsfrom.isEmpty()
        && m_prompter.message(QStringLiteral("The current list will be lost if you load new list")
                                  + kCrLf + QStringLiteral("Do you wish to continue"),
                              QStringLiteral("Continue?"), MsgIcon::Question, MsgButtons::YesNo)
               != MsgAnswer::Yes)
        return;
    FileDialogRequest request;
    request.mode = FileDialogRequest::Open;
    request.startPath = programFolder() + QStringLiteral("/*.txt");
    request.filter = qtFileFilter(kListFilter);
    const std::optional<QString> path = m_prompter.file(request);
    if (!path || path->isEmpty())
        return;

    const SpellingListRead read = readSpellingList(*path);
    const QString errorTitle = QStringLiteral("Error loading file [") + *path + QLatin1Char(']');
    switch (read.status) {
    case SpellingListRead::Ok: break;
    case SpellingListRead::Unreadable:
        m_prompter.message(QStringLiteral("The file could not be opened"), errorTitle,
                           MsgIcon::Critical, MsgButtons::Ok);
        return;
    case SpellingListRead::NotText:
        m_prompter.message(QStringLiteral("The file is not a spelling list: it holds binary "
                                          "data"),
                           errorTitle, MsgIcon::Critical, MsgButtons::Ok);
        return;
    case SpellingListRead::TooLarge:
        m_prompter.message(QStringLiteral("The file is too large for a spelling list"), errorTitle,
                           MsgIcon::Critical, MsgButtons::Ok);
        return;
    }

    m.lstsfrom.clear();
    m.lststo.clear();
    for (const QString &from : read.from)
        m.lstsfrom.append(from.toLower());
    m.lststo = read.to;
    refillSpellingLists();
    edited();
    if (read.skipped > 0)
        m_prompter.message(
            QStringLiteral("%1 line(s) of the file did not hold a pair of words and were "
                           "skipped")
                    .arg(read.skipped)
                + kCrLf + QStringLiteral("The first one is line %1").arg(read.firstSkippedLine),
            QStringLiteral("Load List"), MsgIcon::Exclamation, MsgButtons::Ok);
}

void frmpref::cmdssave_Click()
{
    FileDialogRequest request;
    request.mode = FileDialogRequest::Save;
    request.startPath = programFolder() + QLatin1Char('/');
    request.filter = qtFileFilter(kListFilter);
    const std::optional<QString> path = m_prompter.file(request);
    if (!path || path->isEmpty())
        return;
    const QString title = QStringLiteral("Error saving file [") + *path + QLatin1Char(']');
    if (isReadOnlyFile(*path)) {
        m_prompter.message(QStringLiteral("The file you are trying to save is read only"), title,
                           MsgIcon::Critical, MsgButtons::Ok);
        return;
    }
    const PrefModel &m = m_session.model();
    if (!writeSpellingList(*path, m.lstsfrom, m.lststo)) {
        m_prompter.message(QStringLiteral("The output File directory is write protected or "
                                          "there's not enough free space on the disk"),
                           title, MsgIcon::Critical, MsgButtons::Ok);
        return;
    }
    m_prompter.message(QStringLiteral("File saved"), QStringLiteral("Reminding"),
                       MsgIcon::Information, MsgButtons::Ok);
}

// ---- colours ----

void frmpref::showColour(BgrColor PrefModel::*colour)
{
    for (int cat = CatKeyword; cat <= CatMore; ++cat)
        if (kListColour[cat] == colour && m_wordLists[cat].list)
            showListStyle(cat);
    for (const ColourControl &c : m_colours)
        if (c.colour == colour)
            c.button->setStyleSheet(
                QStringLiteral("QPushButton { background-color: %1; border: 1px solid #606060; "
                               "border-radius: 2px; }")
                    .arg(toQColor(m_session.model().*colour).name()));
}

void frmpref::chooseColour(BgrColor PrefModel::*colour)
{
    PrefModel &m = m_session.model();
    const BgrColor before = m.*colour;
    BgrColor current = before;
    for (;;) {
        const std::optional<QColor> chosen = m_prompter.color(toQColor(current));
        if (!chosen) {
            // Cancelling gives the button back the colour it had before the
            // click, which differs from the other five.
            m.*colour = before;
            showColour(colour);
            return;
        }
        current = fromQColor(*chosen);
        m.*colour = current;
        showColour(colour);
        edited();
        bool clash = false;
        for (const ColourControl &c : m_colours)
            if (c.colour != colour && m.*c.colour == current)
                clash = true;
        if (!clash)
            return;
        m_prompter.message(QStringLiteral("You must choose a diferent color"), QString(),
                           MsgIcon::None, MsgButtons::Ok);
    }
}

} // namespace qln
