#include "settings/settingsstore.h"

#include "base/pathutil.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace qln {

namespace {

const QStringList &knownSections()
{
    static const QStringList names{
        QStringLiteral("Preferences"), QStringLiteral("JavaX-Compile"),
        QStringLiteral("JavaX-Run"),   QStringLiteral("JavaX-Appletviewer"),
        QStringLiteral("JavaX-Jar"),   QStringLiteral("JavaX-Native2Ascii"),
        QStringLiteral("Recent"),
    };
    return names;
}

// The message for a settings path that is not a regular file.
QString notRegularProblem(const QString &path, const QString &kind)
{
    return QStringLiteral("The settings file %1 is %2, not a regular file, so it was not read. "
                          "Settings are kept only until the program ends.")
        .arg(path, kind);
}

// Values in memory only, because the settings path holds no regular file.
class UnusableFileBackend : public MemorySettingsBackend {
public:
    explicit UnusableFileBackend(QString problem) : m_problem(std::move(problem)) {}
    QString problem() const override { return m_problem; }

private:
    QString m_problem;
};

class QSettingsBackend : public SettingsBackend {
public:
    explicit QSettingsBackend(const QString &path)
        : m_path(path), m_settings(path, QSettings::IniFormat)
    {
    }
    ~QSettingsBackend() override { sync(); }

    std::optional<QString> value(const QString &section, const QString &key) const override
    {
        const QVariant v = m_settings.value(section + QLatin1Char('/') + key);
        if (!v.isValid())
            return std::nullopt;
        // A hand-edited value with unquoted commas reads back as a list.
        if (v.typeId() == QMetaType::QStringList)
            return v.toStringList().join(QLatin1String(", "));
        return v.toString();
    }
    void setValue(const QString &section, const QString &key, const QString &value) override
    {
        m_settings.setValue(section + QLatin1Char('/') + key, value);
    }
    void removeAll() override
    {
        m_settings.clear();
        sync();
    }
    QStringList sections() const override { return m_settings.childGroups(); }
    QStringList keys(const QString &section) const override
    {
        auto &s = const_cast<QSettings &>(m_settings);
        s.beginGroup(section);
        QStringList out = s.childKeys();
        s.endGroup();
        return out;
    }
    void sync() override
    {
        // QSettings reads the file again when it changed; a named pipe put
        // there meanwhile would never answer.
        if (!m_problem.isEmpty())
            return;
        const QString kind = specialFileKind(m_path);
        if (kind.isEmpty())
            m_settings.sync();
        else
            m_problem = notRegularProblem(m_path, kind);
    }
    QString problem() const override { return m_problem; }

private:
    QString m_path;
    QSettings m_settings;
    QString m_problem;
};

} // namespace

QString defaultSettingsFilePath()
{
    QString base = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/QLN/QLN.ini");
}

std::unique_ptr<SettingsBackend> makeQSettingsBackend(const QString &filePath)
{
    const QString path = filePath.isEmpty() ? defaultSettingsFilePath() : filePath;
    // QSettings opens the file as it is: a named pipe would block the
    // program before any window shows.
    const QString kind = specialFileKind(path);
    if (!kind.isEmpty())
        return std::make_unique<UnusableFileBackend>(notRegularProblem(path, kind));
    return std::make_unique<QSettingsBackend>(path);
}

// ---- MemorySettingsBackend ----

std::optional<QString> MemorySettingsBackend::value(const QString &section,
                                                    const QString &key) const
{
    for (const auto &[name, entries] : m_data) {
        if (name != section)
            continue;
        for (const auto &[k, v] : entries)
            if (k == key)
                return v;
    }
    return std::nullopt;
}

void MemorySettingsBackend::setValue(const QString &section, const QString &key,
                                     const QString &value)
{
    m_writes.push_back(Write{section, key, value});
    auto it = std::find_if(m_data.begin(), m_data.end(),
                           [&](const auto &p) { return p.first == section; });
    if (it == m_data.end()) {
        m_data.emplace_back(section, std::vector<std::pair<QString, QString>>{});
        it = std::prev(m_data.end());
    }
    for (auto &[k, v] : it->second) {
        if (k == key) {
            v = value;
            return;
        }
    }
    it->second.emplace_back(key, value);
}

void MemorySettingsBackend::removeAll()
{
    m_data.clear();
}

QStringList MemorySettingsBackend::sections() const
{
    QStringList out;
    for (const auto &p : m_data)
        out << p.first;
    return out;
}

QStringList MemorySettingsBackend::keys(const QString &section) const
{
    QStringList out;
    for (const auto &p : m_data)
        if (p.first == section)
            for (const auto &kv : p.second)
                out << kv.first;
    return out;
}

// ---- SettingsStore ----

SettingsStore::SettingsStore(std::unique_ptr<SettingsBackend> backend)
    : m_backend(std::move(backend))
{
}

SettingsStore::~SettingsStore()
{
    if (m_backend)
        m_backend->sync();
}

QString SettingsStore::canonicalSection(const QString &section)
{
    for (const QString &name : knownSections())
        if (name.compare(section, Qt::CaseInsensitive) == 0)
            return name;
    return section;
}

QString SettingsStore::resolveSection(const QString &section) const
{
    const QString known = canonicalSection(section);
    if (known != section || knownSections().contains(known))
        return known;
    for (const QString &name : m_backend->sections())
        if (name.compare(section, Qt::CaseInsensitive) == 0)
            return name;
    return section;
}

std::optional<QString> SettingsStore::find(const QString &section, const QString &key) const
{
    return m_backend->value(resolveSection(section), key);
}

QString SettingsStore::get(const QString &section, const QString &key, const QString &def) const
{
    return find(section, key).value_or(def);
}

void SettingsStore::save(const QString &section, const QString &key, const QString &value)
{
    m_backend->setValue(resolveSection(section), key, value);
}

void SettingsStore::deleteAll()
{
    m_backend->removeAll();
}

void SettingsStore::sync()
{
    m_backend->sync();
}

// ---- the program-wide store ----

namespace {
std::unique_ptr<SettingsStore> &globalStore()
{
    static std::unique_ptr<SettingsStore> store;
    return store;
}

bool isOurApp(const QString &app)
{
    return app.compare(kApp, Qt::CaseInsensitive) == 0;
}
} // namespace

SettingsStore &settingsStore()
{
    auto &store = globalStore();
    if (!store)
        store = std::make_unique<SettingsStore>(makeQSettingsBackend());
    return *store;
}

void setSettingsStore(std::unique_ptr<SettingsStore> store)
{
    globalStore() = std::move(store);
}

QString GetSetting(const QString &app, const QString &section, const QString &key,
                   const QString &def)
{
    if (!isOurApp(app))
        return def;
    return settingsStore().get(section, key, def);
}

void SaveSetting(const QString &app, const QString &section, const QString &key,
                 const QString &value)
{
    if (isOurApp(app))
        settingsStore().save(section, key, value);
}

void DeleteSetting(const QString &app)
{
    if (isOurApp(app))
        settingsStore().deleteAll();
}

} // namespace qln
