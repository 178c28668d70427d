#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <optional>

namespace vorn {

// Organization and application name of the standard settings store.
inline constexpr char kSettingsOrganization[] = "Vorn";
inline constexpr char kSettingsApplication[] = "vorn-todo";

// A typed key-value settings store: one JSON file read and written through QSettings.
//
// JSON keeps the value types, so a reader can tell a stored boolean from the text "true".
// Keys are stored flat, exactly as given ("focus.floats" is one key, not a group).
// JSON has a single number type: every number is stored and read back as a double.
// Values without a JSON form (an invalid QVariant, null) remove the key.
//
// Every write is flushed to disk before setValue() or remove() returns. A file that can't be
// read when the handle opens (damaged, not JSON, not a regular file, no permission) reads as
// empty and is never written by that handle: its writes live in memory for the run, so
// whatever the file still holds is there for the user to mend.
// Handles on the same file within one process share their contents.
//
// Reads look in the argument domain (settings given as launch arguments) before the file;
// writes always go to the file.
class Settings {
public:
    explicit Settings(const QString& filePath, QVariantMap argumentDomain = {});
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    // The standard store: "<generic config folder>/Vorn/vorn-todo.json".
    static QString standardPath();
    static std::unique_ptr<Settings> standard(QVariantMap argumentDomain = {});

    // A named suite lives next to the standard store as "<name>.json". A name that is empty,
    // holds a path separator, starts with a dot or would alias the standard store has no
    // path: suitePath() is empty, suite() returns null and removeSuite() returns false.
    static QString suitePath(const QString& name);
    static std::unique_ptr<Settings> suite(const QString& name, QVariantMap argumentDomain = {});
    // Wipes the suite's persistent data, including what open handles on it see.
    static bool removeSuite(const QString& name);

    QVariant value(const QString& key) const;
    bool contains(const QString& key) const;
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);

    // Typed reads. A value of another type counts as absent: nothing is coerced.
    bool boolValue(const QString& key, bool fallback) const;
    std::optional<double> doubleValue(const QString& key) const;
    std::optional<QString> stringValue(const QString& key) const;
    QVariantMap mapValue(const QString& key) const; // empty when absent or not a map

    // The numeric value of v, if v holds a number (never a boolean or text).
    static std::optional<double> number(const QVariant& v);

    // Flushes to disk; false when the file could not be read or written.
    bool sync();
    QSettings::Status status() const;
    QString fileName() const;
    const QVariantMap& argumentDomain() const { return m_arguments; }

private:
    QString m_path;
    QVariantMap m_arguments;
    std::unique_ptr<QSettings> m_store;
    // Set when the file couldn't be read at open: writes go here (an invalid value marks a removal).
    std::optional<QVariantMap> m_inMemory;
};

// Settings given as launch arguments: "-key value" pairs after the program name. A value that
// is JSON true, false or a number becomes a boolean or a double, anything else is text.
// Arguments starting with "--" and flags without a value ("-demo") are not settings.
QVariantMap parseArgumentDomain(const QStringList& args);

} // namespace vorn
