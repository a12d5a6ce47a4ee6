#pragma once
// The per-user settings store: string values addressed by application,
// section and key. Only this layer talks to QSettings. Section names are
// compared without regard to letter case.

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace qln {

// Where the values live. The QSettings backend is the program's; tests use
// the memory backend, which also records the order of writes.
class SettingsBackend {
public:
    virtual ~SettingsBackend() = default;
    virtual std::optional<QString> value(const QString &section, const QString &key) const = 0;
    virtual void setValue(const QString &section, const QString &key, const QString &value) = 0;
    virtual void removeAll() = 0;
    virtual QStringList sections() const = 0;
    virtual QStringList keys(const QString &section) const = 0;
    virtual void sync() {}
    // Why the values are not kept on disk, for the user; "" when they are.
    virtual QString problem() const { return QString(); }
};

// INI file of QSettings, user scope, organisation and application "QLN":
// $XDG_CONFIG_HOME/QLN/QLN.ini (~/.config when unset). The location is
// worked out at each call, so a test that points XDG_CONFIG_HOME elsewhere
// gets its own file. A given filePath is used instead. A file that cannot be
// read or written leaves the values in memory only; it never stops the
// program. Only a regular file is read or written: a named pipe, socket,
// device or folder there (looked at before the file is opened and before
// every sync) leaves the values in memory, with a problem() naming it.
std::unique_ptr<SettingsBackend> makeQSettingsBackend(const QString &filePath = QString());
QString defaultSettingsFilePath();

class MemorySettingsBackend : public SettingsBackend {
public:
    struct Write {
        QString section, key, value;
    };
    std::optional<QString> value(const QString &section, const QString &key) const override;
    void setValue(const QString &section, const QString &key, const QString &value) override;
    void removeAll() override;
    QStringList sections() const override;
    QStringList keys(const QString &section) const override;
    const std::vector<Write> &writes() const { return m_writes; }
    void clearWrites() { m_writes.clear(); }

private:
    std::vector<std::pair<QString, std::vector<std::pair<QString, QString>>>> m_data;
    std::vector<Write> m_writes;
};

class SettingsStore {
public:
    explicit SettingsStore(std::unique_ptr<SettingsBackend> backend);
    ~SettingsStore();

    // Section names are matched without regard to letter case.
    QString get(const QString &section, const QString &key, const QString &def = QString()) const;
    std::optional<QString> find(const QString &section, const QString &key) const;
    void save(const QString &section, const QString &key, const QString &value);
    void deleteAll();
    void sync();
    SettingsBackend &backend() { return *m_backend; }
    // Why the settings are not kept on disk; "" when they are.
    QString problem() const { return m_backend->problem(); }

    // One spelling per known section whatever case a caller uses; other
    // names come back unchanged.
    static QString canonicalSection(const QString &section);

private:
    // canonicalSection, then a case-insensitive match against the groups
    // already stored.
    QString resolveSection(const QString &section) const;

    std::unique_ptr<SettingsBackend> m_backend;
};

// The program-wide store used by GetSetting/SaveSetting/DeleteSetting.
SettingsStore &settingsStore();
// Replaces the program-wide store (start-up and tests).
void setSettingsStore(std::unique_ptr<SettingsStore> store);

// The three runtime operations on the program-wide store; app is always
// "QLN" (matched without regard to case; any other name reads defaults and
// writes nothing). DeleteSetting removes every section of the application.
QString GetSetting(const QString &app, const QString &section, const QString &key,
                   const QString &def = QString());
void SaveSetting(const QString &app, const QString &section, const QString &key,
                 const QString &value);
void DeleteSetting(const QString &app);

inline const QString kApp = QStringLiteral("QLN");
inline const QString kPrefs = QStringLiteral("Preferences");

} // namespace qln
