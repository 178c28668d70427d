#include "model/Settings.h"

#include "model/Logging.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cmath>
#include <unistd.h>

namespace vorn {

namespace {

// JSON has one number type, so every number comes back as a double; keeping integers apart
// would give a value a different type after a reopen than before it.
QVariant fromJson(const QJsonValue& json)
{
    switch (json.type()) {
    case QJsonValue::Bool:
        return json.toBool();
    case QJsonValue::Double:
        return json.toDouble();
    case QJsonValue::String:
        return json.toString();
    case QJsonValue::Array: {
        QVariantList list;
        const QJsonArray items = json.toArray();
        for (const QJsonValue& item : items)
            list.append(fromJson(item));
        return list;
    }
    case QJsonValue::Object: {
        QVariantMap map;
        const QJsonObject object = json.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            map.insert(it.key(), fromJson(it.value()));
        return map;
    }
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return {};
}

// The value as it will read after a reopen, so a handle never holds what the file cannot.
QVariant normalized(const QVariant& value)
{
    return fromJson(QJsonValue::fromVariant(value));
}

std::optional<QJsonObject> parseObject(const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

// Settings are a few kilobytes; anything this large is not ours.
constexpr qint64 kMaxSettingsFileSize = 16 * 1024 * 1024;

// Only a regular file is read or replaced: a device such as /dev/zero would be read for ever, and
// saving would put a file of ours in place of a link or a device the user set up.
bool isRegularOrMissing(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() || (!info.exists() && !info.isSymLink());
}

QString fileNameOf(const QIODevice& device)
{
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    return file ? file->fileName() : QString();
}

bool readJson(QIODevice& device, QSettings::SettingsMap& map)
{
    // On failure the map stays empty: an unreadable file reads as an empty store.
    const QString path = fileNameOf(device);
    if (!path.isEmpty() && (!QFileInfo(path).isFile() || QFileInfo(path).size() > kMaxSettingsFileSize))
        return false;
    const std::optional<QJsonObject> object = parseObject(device.readAll());
    if (!object)
        return false;
    for (auto it = object->begin(); it != object->end(); ++it) {
        const QVariant value = fromJson(it.value());
        if (value.isValid())
            map.insert(it.key(), value);
    }
    return true;
}

bool writeJson(QIODevice& device, const QSettings::SettingsMap& map)
{
    if (const QString path = fileNameOf(device); !path.isEmpty() && !isRegularOrMissing(path))
        return false; // the save is dropped and the link, folder or device stays
    QJsonObject object;
    for (auto it = map.begin(); it != map.end(); ++it)
        object.insert(it.key(), QJsonValue::fromVariant(it.value()));
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    if (device.write(bytes) != bytes.size())
        return false;
    // QSettings commits the file it hands us without checking that the buffered bytes reached the disk:
    // a full disk would replace the settings with an empty file. Flushed and synced here, a failure
    // keeps the old file.
    if (auto* file = qobject_cast<QFileDevice*>(&device)) {
        if (!file->flush())
            return false;
        if (const int fd = file->handle(); fd >= 0 && ::fsync(fd) != 0)
            return false;
    }
    return true;
}

QSettings::Format jsonFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("json"), readJson, writeJson, Qt::CaseSensitive);
    return format;
}

// A missing file is readable: it holds no settings yet.
bool fileIsReadable(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return true;
    if (!QFileInfo(path).isFile() || file.size() > kMaxSettingsFileSize || !file.open(QIODevice::ReadOnly))
        return false;
    return file.size() == 0 || parseObject(file.readAll()).has_value();
}

QString configFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           QLatin1String(kSettingsOrganization);
}

// JSON's number grammar; a launch value that matches it is a number, not text.
bool looksLikeJsonNumber(const QString& text)
{
    static const QRegularExpression number(
        QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]+)?([eE][+-]?[0-9]+)?$"));
    return number.match(text).hasMatch();
}

QVariant launchValue(const QString& text)
{
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    if (looksLikeJsonNumber(text)) {
        bool ok = false;
        const double d = text.toDouble(&ok);
        if (ok && std::isfinite(d))
            return d;
    }
    return text;
}

} // namespace

Settings::Settings(const QString& filePath, QVariantMap argumentDomain)
    : m_path(filePath), m_arguments(std::move(argumentDomain)),
      m_store(std::make_unique<QSettings>(filePath, jsonFormat()))
{
    if (!fileIsReadable(m_path)) {
        m_inMemory.emplace();
        qCWarning(lcStartup,
                  "can't read the settings in %s; it is left as it is, and settings changed "
                  "now last until the app quits",
                  qUtf8Printable(m_path));
    }
}

Settings::~Settings() = default;

QString Settings::standardPath()
{
    return configFolder() + QLatin1Char('/') + QLatin1String(kSettingsApplication) + QStringLiteral(".json");
}

std::unique_ptr<Settings> Settings::standard(QVariantMap argumentDomain)
{
    return std::make_unique<Settings>(standardPath(), std::move(argumentDomain));
}

QString Settings::suitePath(const QString& name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')) || name.contains(QLatin1Char('/')) ||
        name.contains(QLatin1Char('\\')) || name == QLatin1String(kSettingsApplication))
        return {};
    return configFolder() + QLatin1Char('/') + name + QStringLiteral(".json");
}

std::unique_ptr<Settings> Settings::suite(const QString& name, QVariantMap argumentDomain)
{
    const QString path = suitePath(name);
    if (path.isEmpty())
        return nullptr;
    return std::make_unique<Settings>(path, std::move(argumentDomain));
}

bool Settings::removeSuite(const QString& name)
{
    const QString path = suitePath(name);
    if (path.isEmpty())
        return false;
    {
        // Clearing through QSettings also empties the contents that open handles share.
        QSettings store(path, jsonFormat());
        store.clear();
        store.sync();
    }
    return !QFileInfo::exists(path) || QFile::remove(path);
}

QVariant Settings::value(const QString& key) const
{
    if (key.isEmpty())
        return {};
    const auto argument = m_arguments.constFind(key);
    if (argument != m_arguments.constEnd())
        return argument.value();
    if (m_inMemory && m_inMemory->contains(key))
        return m_inMemory->value(key);
    return m_store->value(key);
}

bool Settings::contains(const QString& key) const
{
    if (key.isEmpty())
        return false;
    if (m_arguments.contains(key))
        return true;
    if (m_inMemory && m_inMemory->contains(key))
        return m_inMemory->value(key).isValid();
    return m_store->contains(key);
}

void Settings::setValue(const QString& key, const QVariant& value)
{
    if (key.isEmpty())
        return;
    const QVariant stored = normalized(value);
    if (!stored.isValid()) {
        remove(key);
        return;
    }
    if (m_inMemory) {
        m_inMemory->insert(key, stored);
        return;
    }
    m_store->setValue(key, stored);
    sync();
}

void Settings::remove(const QString& key)
{
    // QSettings reads an empty key as "everything".
    if (key.isEmpty())
        return;
    if (m_inMemory) {
        m_inMemory->insert(key, QVariant());
        return;
    }
    m_store->remove(key);
    sync();
}

bool Settings::boolValue(const QString& key, bool fallback) const
{
    const QVariant v = value(key);
    return v.typeId() == QMetaType::Bool ? v.toBool() : fallback;
}

std::optional<double> Settings::doubleValue(const QString& key) const
{
    return number(value(key));
}

std::optional<QString> Settings::stringValue(const QString& key) const
{
    const QVariant v = value(key);
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    return v.toString();
}

QVariantMap Settings::mapValue(const QString& key) const
{
    const QVariant v = value(key);
    return v.typeId() == QMetaType::QVariantMap ? v.toMap() : QVariantMap{};
}

std::optional<double> Settings::number(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return v.toDouble();
    default:
        return std::nullopt;
    }
}

bool Settings::sync()
{
    if (m_inMemory)
        return false; // the file that couldn't be read is never written
    m_store->sync();
    if (m_store->status() == QSettings::FormatError && fileIsReadable(m_path)) {
        // QSettings keeps its first error for good, which would hide every later write
        // failure; once the unreadable file has been replaced, start over with a fresh handle.
        m_store = std::make_unique<QSettings>(m_path, jsonFormat());
    }
    return m_store->status() == QSettings::NoError;
}

QSettings::Status Settings::status() const
{
    return m_store->status();
}

QString Settings::fileName() const
{
    return m_path;
}

QVariantMap parseArgumentDomain(const QStringList& args)
{
    QVariantMap domain;
    // args[0] is the program itself.
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const bool isSettingKey =
            arg.size() >= 2 && arg.at(0) == QLatin1Char('-') && arg.at(1) != QLatin1Char('-');
        if (!isSettingKey)
            continue;
        if (i + 1 >= args.size() || args.at(i + 1).startsWith(QLatin1Char('-')))
            continue; // a lone flag such as "-demo"
        domain.insert(arg.mid(1), launchValue(args.at(i + 1)));
        ++i;
    }
    return domain;
}

} // namespace vorn
