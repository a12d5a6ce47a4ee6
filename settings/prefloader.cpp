#include "settings/prefloader.h"

#include "base/pathutil.h"
#include "base/prompter.h"
#include "settings/convert.h"
#include "settings/schema.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>

namespace qln {

using schema::kPreferences;

namespace {

// The eight reserved-string boxes of the dialog, in schema order.
constexpr std::array<QString PrefModel::*, 8> kReservedBoxes = {
    &PrefModel::txtgSingleLineComment,
    &PrefModel::txtgMultiLineCommentStart,
    &PrefModel::txtgMultiLineCommentEnd,
    &PrefModel::txtgString1,
    &PrefModel::txtgString2,
    &PrefModel::txtgignore,
    &PrefModel::txtgBlockBeggining,
    &PrefModel::txtgBlockEnding,
};
constexpr std::array<QString Preferences::*, 8> kReservedValues = {
    &Preferences::singleLineComment,
    &Preferences::multiLineCommentStart,
    &Preferences::multiLineCommentEnd,
    &Preferences::string1,
    &Preferences::string2,
    &Preferences::ignoreString,
    &Preferences::blockBeginning,
    &Preferences::blockEnding,
};

// Colour buttons of the dialog, in the order they are saved.
struct ColourButton {
    int category; // 0 for the plain text colour
    BgrColor PrefModel::*button;
};
constexpr ColourButton kColourButtons[] = {
    {1, &PrefModel::cmdckeywordcolor}, {2, &PrefModel::cmdcothercolor},
    {3, &PrefModel::cmdcmorecolor},    {5, &PrefModel::cmdccommentscolor},
    {4, &PrefModel::cmdcstringscolor}, {0, &PrefModel::cmdctextcolor},
};
QString colourButtonKey(const ColourButton &b)
{
    return b.category ? schema::colourKey(b.category) : schema::kTextColour;
}

constexpr std::array<bool PrefModel::*, 4> kWholeWordBoxes = {
    nullptr, &PrefModel::chkckeywordwholeword, &PrefModel::chkcotherwholeword,
    &PrefModel::chkcmorewholeword};

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// Readers of the section "Preferences". Absent check, flag and count keys
// read as off or 0; a present value that does not convert throws.
QString readText(const SettingsStore &store, const QString &k)
{
    return store.get(kPreferences, k);
}
bool readFlag(const SettingsStore &store, const QString &k)
{
    const auto v = store.find(kPreferences, k);
    return v && toBool(*v);
}
bool readCheck(const SettingsStore &store, const QString &k)
{
    const auto v = store.find(kPreferences, k);
    return v && toWhole(*v) != 0;
}
int readCount16(const SettingsStore &store, const QString &k)
{
    return toCount16(store.get(kPreferences, k, QStringLiteral("0")));
}
int readCount32(const SettingsStore &store, const QString &k)
{
    return toCount32(store.get(kPreferences, k, QStringLiteral("0")));
}

QStringList readEntries(const SettingsStore &store, const schema::WordList &list, int count)
{
    QStringList out;
    out.reserve(count);
    for (int i = 1; i <= count; ++i)
        out << readText(store, list.entryKey(i));
    return out;
}

void writeList(SettingsStore &store, const schema::WordList &list, const QStringList &items)
{
    store.save(kPreferences, list.countKey, QString::number(items.size()));
    for (int i = 0; i < items.size(); ++i)
        store.save(kPreferences, list.entryKey(i + 1), items[i]);
}

QString checkText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

template <class F> void resumeNext(F &&step)
{
    try {
        step();
    } catch (const ConversionError &) {
        // This one value stays as it was; the next step runs.
    }
}

// ---- first run ----

QString designedValue(const QString &k, const DesignedValues &d)
{
    if (k == QLatin1String("deffontname"))
        return fixedPitchFamily(d.fontName);
    if (k == QLatin1String("deffontsize"))
        return d.fontSize;
    if (k == QLatin1String("fheight"))
        return twipsText(d.heightTwips);
    if (k == QLatin1String("fwidth"))
        return twipsText(d.widthTwips);
    if (k == QLatin1String("ftop"))
        return twipsText((d.screenHeightTwips - d.heightTwips) / 2);
    if (k == QLatin1String("fleft"))
        return twipsText((d.screenWidthTwips - d.widthTwips) / 2);
    return QString();
}

void probeKits(SettingsStore &store, const QStringList &kitFolders)
{
    const QStringList &tools = schema::toolNames();
    for (QString folder : kitFolders) {
        while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
            folder.chop(1);
        if (folder.isEmpty())
            continue;
        for (int i = 0; i < tools.size(); ++i) {
            const QString path = folder + QStringLiteral("/bin/") + tools[i];
            if (FileExists(path))
                store.save(schema::toolSection(schema::modes()[i]), schema::kExe, path);
        }
        for (const char *src : {"/src.zip", "/lib/src.zip", "/src.jar", "/lib/src.jar"}) {
            const QString path = folder + QLatin1String(src);
            if (FileExists(path)) {
                store.save(kPreferences, key("src"), path);
                break;
            }
        }
    }
}

void probeObjectTree(SettingsStore &store, const QString &programFolder)
{
    if (programFolder.isEmpty())
        return;
    QString path = programFolder;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    path += QStringLiteral("JDK1.3.1TreeSorted.txt");
    if (FileExists(path))
        store.save(kPreferences, key("tree"), path);
}

void writeDefaults(SettingsStore &store, const FirstRunInputs &in)
{
    if (in.splash.show)
        in.splash.show();

    const auto &table = schema::entries();
    // The style flags are all cleared first; those set by default are set
    // once the whole block is written.
    std::vector<const schema::Entry *> stylesOn;
    for (size_t i = 0; i < table.size(); ++i) {
        const schema::Entry &e = table[i];
        if (e.origin == schema::Origin::Designed) {
            store.save(e.section, e.key, designedValue(e.key, in.designed));
        } else if (e.origin == schema::Origin::Factory && e.form == schema::Form::StyleFlag) {
            store.save(e.section, e.key, QStringLiteral("0"));
            if (e.def != QLatin1String("0"))
                stylesOn.push_back(&e);
            const bool blockEnds =
                i + 1 == table.size() || table[i + 1].form != schema::Form::StyleFlag;
            if (blockEnds) {
                for (const schema::Entry *on : stylesOn)
                    store.save(on->section, on->key, on->def);
                stylesOn.clear();
            }
        } else if (e.origin == schema::Origin::Factory) {
            store.save(e.section, e.key, e.def);
        }
    }

    probeKits(store, in.places.kitFolders);
    probeObjectTree(store, in.places.programFolder);

    for (const schema::Entry &e : table)
        if (e.origin == schema::Origin::Marker)
            store.save(e.section, e.key, e.def);
    store.sync();
}

// ---- kit folders ----

QList<int> parseVersion(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("\\d+(?:[._]\\d+)*"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return {};
    QList<int> parts;
    for (const QString &p : m.captured(0).split(QRegularExpression(QStringLiteral("[._]"))))
        parts << p.left(9).toInt();
    if (parts.size() > 1 && parts.first() == 1)
        parts.removeFirst(); // 1.8 is version 8
    return parts;
}

QList<int> kitVersion(const QString &folder)
{
    QFile release(folder + QStringLiteral("/release"));
    if (release.open(QIODevice::ReadOnly | QIODevice::Text)) {
        static const QRegularExpression re(QStringLiteral("^JAVA_VERSION=\"?([^\"\\r\\n]*)"),
                                           QRegularExpression::MultilineOption);
        const auto m = re.match(QString::fromUtf8(release.read(64 * 1024)));
        if (m.hasMatch()) {
            const QList<int> v = parseVersion(m.captured(1));
            if (!v.isEmpty())
                return v;
        }
    }
    return parseVersion(QFileInfo(folder).fileName());
}

} // namespace

// ---- public routines ----

QString reinstallQuestion()
{
    return QStringList{
        QStringLiteral("It appears that you've uninstalled the program"),
        QStringLiteral("Some registry entries were not found"),
        QStringLiteral("Do you want the program to reinstall the registry entries?"),
        QStringLiteral("If you choose no, the program will close"),
    }
        .join(QStringLiteral("\r\n"));
}

QStringList kitFoldersUnder(const QString &root)
{
    struct Kit {
        QList<int> version;
        QString name, path;
    };
    std::vector<Kit> kits;
    QStringList seen;
    const QFileInfoList infos = QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo &fi : infos) {
        const QString path = fi.canonicalFilePath();
        if (path.isEmpty() || seen.contains(path))
            continue;
        seen << path;
        kits.push_back(Kit{kitVersion(path), QFileInfo(path).fileName(), path});
    }
    std::stable_sort(kits.begin(), kits.end(), [](const Kit &a, const Kit &b) {
        if (a.version != b.version)
            return std::lexicographical_compare(a.version.begin(), a.version.end(),
                                                b.version.begin(), b.version.end());
        return a.name < b.name;
    });
    QStringList out;
    for (const Kit &k : kits)
        out << k.path;
    return out;
}

QString kitOfJavacOnPath()
{
    const QString javac = QStandardPaths::findExecutable(QStringLiteral("javac"));
    if (javac.isEmpty())
        return QString();
    const QString real = QFileInfo(javac).canonicalFilePath();
    if (real.isEmpty())
        return QString();
    QDir bin = QFileInfo(real).dir();
    if (!bin.cdUp())
        return QString();
    return bin.path();
}

ProbePlaces defaultProbePlaces()
{
    ProbePlaces places;
    places.kitFolders = kitFoldersUnder(QStringLiteral("/usr/lib/jvm"));
    const QString onPath = kitOfJavacOnPath();
    if (!onPath.isEmpty())
        places.kitFolders << onPath;
    const QString javaHome = qEnvironmentVariable("JAVA_HOME");
    if (!javaHome.isEmpty())
        places.kitFolders << QDir::cleanPath(javaHome);
    places.programFolder = programFolder();
    return places;
}

QString fixedPitchFamily(const QString &wanted)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return wanted; // no font database
    if (QFontDatabase::hasFamily(wanted) && QFontDatabase::isFixedPitch(wanted))
        return wanted;
    const QFontInfo desktop(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    if (desktop.fixedPitch())
        return desktop.family();
    for (const QString &family : QFontDatabase::families())
        if (QFontDatabase::isFixedPitch(family) && !QFontDatabase::isPrivateFamily(family))
            return family;
    return desktop.family();
}

LoadOutcome FirstRun(SettingsStore &store, PrefModel &model, Prompter &prompter,
                     const FirstRunInputs &inputs)
{
    try {
        if (toWhole(store.get(kPreferences, key("firstrun"), QStringLiteral("0"))) != 1)
            writeDefaults(store, inputs);
    } catch (const ConversionError &) {
        // An unreadable marker abandons first run; the start-up load goes on.
        return LoadOutcome::Loaded;
    }
    return loadDefPref(store, model, prompter, inputs.manifestPath);
}

LoadOutcome loadDefPref(SettingsStore &store, PrefModel &model, Prompter &prompter,
                        const QString &manifestPath)
{
    try {
        if (toWhole(store.get(kPreferences, key("firstrun"), QStringLiteral("0"))) == 0) {
            const MsgAnswer a = prompter.message(reinstallQuestion(), QStringLiteral("Error"),
                                                 MsgIcon::Critical, MsgButtons::YesNo);
            return a == MsgAnswer::Yes ? LoadOutcome::Reinstall : LoadOutcome::Quit;
        }

        model.chkusexptheme = !manifestPath.isEmpty() && QFileInfo::exists(manifestPath);

        const QStringList &reserved = schema::reservedStringKeys();
        for (size_t i = 0; i < kReservedBoxes.size(); ++i)
            model.*kReservedBoxes[i] = readText(store, reserved[qsizetype(i)]);

        model.optgautotreesearchyes = readFlag(store, key("autotreesearch"));
        model.chkgsetfocuscbox = readCheck(store, key("setfocusontreebox"));
        model.chkgdropdowncbo = readCheck(store, key("dropdowncbo"));
        model.optgfixedcbopos = readFlag(store, key("fixedcbotreepos"));
        model.txtgdefcboposX = readText(store, key("defcbotreeposx"));
        model.txtgdefcboposY = readText(store, key("defcbotreeposy"));

        // Two options of one group: selecting "spaces" clears "tabs", while
        // an unselected "spaces" leaves "tabs" as it was set.
        const bool tabs = readFlag(store, key("opta1"));
        const bool spaces = readFlag(store, key("opta2"));
        model.opta1 = spaces ? false : tabs;
        model.txtaindnum = readText(store, key("txtaindnum"));
        model.chksautosc = readCheck(store, key("chksautosc"));

        // Each list is replaced only once its count has converted.
        const int pairs = readCount32(store, schema::spellingFrom.countKey);
        model.lstsfrom = readEntries(store, schema::spellingFrom, pairs);
        model.lststo = readEntries(store, schema::spellingTo, pairs);
        const int keywords = readCount16(store, schema::keywordList.countKey);
        model.lstckeyword = readEntries(store, schema::keywordList, keywords);
        const int others = readCount16(store, schema::otherList.countKey);
        model.lstcother = readEntries(store, schema::otherList, others);
        const int mores = readCount16(store, schema::moreList.countKey);
        model.lstcmore = readEntries(store, schema::moreList, mores);

        for (int cat = 1; cat <= 5; ++cat)
            for (int flag = 1; flag <= 3; ++flag)
                model.tbrstyle[cat][flag] = readFlag(store, schema::styleKey(cat, flag));

        // An absent colour is empty text, which is no colour: it stops here
        // like any other bad value.
        for (const ColourButton &b : kColourButtons)
            model.*b.button = toColour(readText(store, colourButtonKey(b)));

        for (int cat = 1; cat <= 3; ++cat)
            model.*kWholeWordBoxes[cat] = readCheck(store, schema::wholeWordKey(cat));
    } catch (const ConversionError &) {
        // The rest of the controls keep what they held.
    }
    // Read apart from the others, so that it neither stops them nor is
    // stopped by them; a store written before the switch existed has it on,
    // as first run writes it.
    resumeNext([&] {
        const auto keep = store.find(kPreferences, key("keepindent"));
        model.chkkeepindent =
            toWhole(keep.value_or(schema::factoryDefault(kPreferences, key("keepindent")))) != 0;
    });
    // Read on its own, so that a bad value elsewhere does not stop it; a
    // store written before the margin existed shows it, as first run does.
    resumeNext([&] {
        const auto shown = store.find(kPreferences, key("linenumbers"));
        model.chklinenumbers =
            toWhole(shown.value_or(schema::factoryDefault(kPreferences, key("linenumbers")))) != 0;
    });
    return LoadOutcome::Loaded;
}

void SaveDefPref(const PrefModel &model, SettingsStore &store)
{
    const QString P = kPreferences;
    const QStringList &reserved = schema::reservedStringKeys();
    for (size_t i = 0; i < kReservedBoxes.size(); ++i)
        store.save(P, reserved[qsizetype(i)], model.*kReservedBoxes[i]);

    store.save(P, key("autotreesearch"), boolText(model.optgautotreesearchyes));
    store.save(P, key("setfocusontreebox"), checkText(model.chkgsetfocuscbox));
    store.save(P, key("dropdowncbo"), checkText(model.chkgdropdowncbo));
    store.save(P, key("fixedcbotreepos"), boolText(model.optgfixedcbopos));
    store.save(P, key("defcbotreeposx"), model.txtgdefcboposX);
    store.save(P, key("defcbotreeposy"), model.txtgdefcboposY);
    store.save(P, key("opta1"), boolText(model.opta1));
    store.save(P, key("opta2"), boolText(!model.opta1));
    store.save(P, key("txtaindnum"), model.txtaindnum);
    store.save(P, key("chksautosc"), checkText(model.chksautosc));
    store.save(P, key("keepindent"), checkText(model.chkkeepindent));
    store.save(P, key("linenumbers"), checkText(model.chklinenumbers));

    const qsizetype pairs = model.lstsfrom.size();
    store.save(P, schema::spellingFrom.countKey, QString::number(pairs));
    for (qsizetype i = 0; i < pairs; ++i) {
        store.save(P, schema::spellingFrom.entryKey(int(i + 1)), model.lstsfrom[i]);
        store.save(P, schema::spellingTo.entryKey(int(i + 1)), model.lststo.value(i));
    }
    writeList(store, schema::keywordList, model.lstckeyword);
    writeList(store, schema::otherList, model.lstcother);
    writeList(store, schema::moreList, model.lstcmore);

    for (int cat : schema::kStyleWriteOrder)
        for (int flag = 1; flag <= 3; ++flag)
            store.save(P, schema::styleKey(cat, flag), checkText(model.tbrstyle[cat][flag]));

    for (const ColourButton &b : kColourButtons)
        store.save(P, colourButtonKey(b), colourText(model.*b.button));

    for (int cat = 1; cat <= 3; ++cat)
        store.save(P, schema::wholeWordKey(cat), checkText(model.*kWholeWordBoxes[cat]));
    store.sync();
}

namespace {

void loadList(const SettingsStore &store, const schema::WordList &list, QStringList &arr,
              int &count)
{
    const int n = readCount16(store, list.countKey);
    arr.resize(n + 1);
    for (int i = 1; i <= n; ++i)
        arr[i] = readText(store, list.entryKey(i));
    count = n;
}

} // namespace

void load_arrays(SettingsStore &store, Preferences &prefs)
{
    try {
        loadList(store, schema::keywordList, prefs.arrckeyword, prefs.ckeywordcount);
        loadList(store, schema::otherList, prefs.arrcother, prefs.cothercount);
        loadList(store, schema::moreList, prefs.arrcmore, prefs.cmorecount);

        const int n = toCount32(store.get(kPreferences, schema::spellingFrom.countKey,
                                          QString::number(prefs.fromtocount)));
        prefs.arrsfrom.resize(n + 1);
        prefs.arrsto.resize(n + 1);
        for (int i = 1; i <= n; ++i) {
            prefs.arrsfrom[i] = readText(store, schema::spellingFrom.entryKey(i));
            prefs.arrsto[i] = readText(store, schema::spellingTo.entryKey(i));
        }
        prefs.fromtocount = n;
    } catch (const ConversionError &) {
        // The list whose count did not convert, and those after it, keep
        // what they held.
    }
}

void load_properties(SettingsStore &store, const PrefModel &model, Preferences &prefs)
{
    prefs.ckeywordcolor = readText(store, schema::colourKey(1));
    prefs.cothercolor = readText(store, schema::colourKey(2));
    prefs.cmorecolor = readText(store, schema::colourKey(3));
    prefs.cstringscolor = readText(store, schema::colourKey(4));
    prefs.ccommentscolor = readText(store, schema::colourKey(5));

    // Categories keywords, other, more, strings, comments.
    for (int cat = 1; cat <= 5; ++cat)
        for (int flag = 1; flag <= 3; ++flag)
            resumeNext([&] {
                prefs.fontstyle[cat][flag] = toBool(readText(store, schema::styleKey(cat, flag)));
            });

    for (int cat = 1; cat <= 3; ++cat)
        resumeNext([&] {
            prefs.fontstyle[cat][4] = toNumber(readText(store, schema::wholeWordKey(cat))) == 1.0;
        });

    prefs.ctextcolor = readText(store, schema::kTextColour);

    for (size_t i = 0; i < kReservedBoxes.size(); ++i)
        prefs.*kReservedValues[i] = model.*kReservedBoxes[i];

    prefs.indentstring.clear();
    bool tabs = false;
    resumeNext([&] { tabs = toBool(readText(store, key("opta1"))); });
    resumeNext([&] {
        const double n = leadingNumber(model.txtaindnum);
        if (n > kMaxIndentUnits)
            throw ConversionError(model.txtaindnum, "indentation too wide");
        if (n >= 1)
            prefs.indentstring =
                QString(int(std::floor(n)), tabs ? QLatin1Char('\t') : QLatin1Char(' '));
    });

    prefs.keepindent = model.chkkeepindent;
    prefs.linenumbers = model.chklinenumbers;
    prefs.setfocusontreebox = model.chkgsetfocuscbox;
    prefs.autocbopos = !model.optgfixedcbopos;
}

void sortSpellingList(Preferences &prefs, PrefModel &model, SettingsStore &store)
{
    const qsizetype held =
        std::max<qsizetype>(std::min(prefs.arrsfrom.size(), prefs.arrsto.size()) - 1, 0);
    const qsizetype n = std::clamp<qsizetype>(prefs.fromtocount, 0, held);

    std::vector<std::pair<QString, QString>> pairs;
    pairs.reserve(size_t(std::max<qsizetype>(n, 0)));
    for (qsizetype i = 1; i <= n; ++i)
        pairs.emplace_back(prefs.arrsfrom[i], prefs.arrsto[i]);
    // Ascending by character code; pairs with equal wrong forms keep their
    // order (the same order a pass-until-no-swap bubble sort gives).
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });

    model.lstsfrom.clear();
    model.lststo.clear();
    for (qsizetype i = 1; i <= n; ++i) {
        const auto &[from, to] = pairs[size_t(i - 1)];
        prefs.arrsfrom[i] = from;
        prefs.arrsto[i] = to;
        model.lstsfrom << from;
        model.lststo << to;
        store.save(kPreferences, schema::spellingFrom.entryKey(int(i)), from);
        store.save(kPreferences, schema::spellingTo.entryKey(int(i)), to);
    }
    store.sync();
}

} // namespace qln
