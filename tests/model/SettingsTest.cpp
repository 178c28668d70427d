#include "model/Settings.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vorn {
namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QJsonObject fileObject(const QString& path)
{
    return QJsonDocument::fromJson(fileBytes(path)).object();
}

// A value spelled out with its types, so that 1, 1.0 and true never look alike.
std::string typed(const QVariant& v)
{
    std::string out;
    if (v.typeId() == QMetaType::QVariantMap) {
        const QVariantMap map = v.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            out += it.key().toStdString() + "=" + typed(it.value()) + ",";
        return "{" + out + "}";
    }
    if (v.typeId() == QMetaType::QVariantList) {
        for (const QVariant& item : v.toList())
            out += typed(item) + ",";
        return "[" + out + "]";
    }
    return std::string(v.typeName() ? v.typeName() : "invalid") + ":" + v.toString().toStdString();
}

// Moves QStandardPaths' test-mode folders into a temporary home for one test.
class TemporaryHome {
public:
    TemporaryHome() { qputenv("HOME", m_dir.path().toLocal8Bit()); }
    ~TemporaryHome() { m_hadHome ? qputenv("HOME", m_oldHome) : qunsetenv("HOME"); }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    bool m_hadHome = qEnvironmentVariableIsSet("HOME");
    QByteArray m_oldHome = qgetenv("HOME");
};

TEST(Settings, ValuesKeepTheirTypesAcrossAReopen)
{
    struct Case {
        QString key;
        QVariant written;
        QVariant read;
    };
    const QList<Case> cases = {
        {"focus.floats", false, false},
        {"showInMenuBar", true, true},
        {"rollover.lastActive", 1772928000.25, 1772928000.25},
        {"whole", 42, 42.0}, // JSON has one number type
        {"demoTab", "later", "later"},
        {"looksLikeBool", "true", "true"},
        {"empty", QString(""), QString("")},
        {"order.otherApps", QVariantMap{{"p-1", 2.5}, {"p.2", -1}}, QVariantMap{{"p-1", 2.5}, {"p.2", -1.0}}},
        {"list", QVariantList{1, "a", true}, QVariantList{1.0, "a", true}},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.json");
    {
        Settings settings(path);
        for (const Case& c : cases)
            settings.setValue(c.key, c.written);
        for (const Case& c : cases)
            EXPECT_EQ(typed(settings.value(c.key)), typed(c.read)) << "before reopen";
        EXPECT_TRUE(settings.sync());
    }
    const Settings reopened(path);
    EXPECT_EQ(reopened.status(), QSettings::NoError);
    for (const Case& c : cases)
        EXPECT_EQ(typed(reopened.value(c.key)), typed(c.read)) << "after reopen";

    // Dotted keys stay flat top-level keys, not groups.
    const QJsonObject onDisk = fileObject(path);
    EXPECT_TRUE(onDisk.value("focus.floats").isBool());
    EXPECT_TRUE(onDisk.value("order.otherApps").isObject());
    EXPECT_FALSE(onDisk.contains("focus"));
    EXPECT_FALSE(onDisk.contains("order"));
}

TEST(Settings, WritesAndRemovalsReachTheFileAtOnce)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.json");
    Settings settings(path);
    settings.setValue("focus.lastMode", true);
    settings.setValue("demoTab", "trip");
    EXPECT_EQ(fileObject(path).value("focus.lastMode"), QJsonValue(true));

    settings.setValue("kept", 1);
    settings.remove("focus.lastMode");
    settings.setValue("demoTab", QVariant()); // no value: the key goes
    settings.remove(QString());               // must not clear everything
    const QJsonObject onDisk = fileObject(path);
    EXPECT_EQ(onDisk.keys(), QStringList{"kept"});
    EXPECT_FALSE(settings.contains("demoTab"));
}

TEST(Settings, ValuesOfAnotherTypeReadAsAbsent)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.json");
    writeFile(
        path,
        R"({"focus.floats": "true", "zero": 0, "yes": true, "numText": "1.5", "list": [1], "nothing": null,
                        "order.otherApps": {"p1": 2, "p2": "3", "p3": null, "p4": false}})");
    const Settings settings(path);

    struct Case {
        QString key;
        std::optional<bool> asBool;
        std::optional<double> asDouble;
        std::optional<QString> asString;
        bool isMap;
    };
    const QList<Case> cases = {
        {"focus.floats", {}, {}, "true", false},
        {"zero", {}, 0.0, {}, false},
        {"yes", true, {}, {}, false},
        {"numText", {}, {}, "1.5", false},
        {"list", {}, {}, {}, false},
        {"order.otherApps", {}, {}, {}, true},
        {"absent", {}, {}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key.toStdString());
        EXPECT_EQ(settings.boolValue(c.key, true), c.asBool.value_or(true));
        EXPECT_EQ(settings.boolValue(c.key, false), c.asBool.value_or(false));
        EXPECT_EQ(settings.doubleValue(c.key), c.asDouble);
        EXPECT_EQ(settings.stringValue(c.key), c.asString);
        EXPECT_EQ(!settings.mapValue(c.key).isEmpty(), c.isMap);
    }

    EXPECT_FALSE(settings.contains("nothing"));

    const QVariantMap order = settings.mapValue("order.otherApps");
    EXPECT_EQ(Settings::number(order.value("p1")), 2.0);
    for (const char* notANumber : {"p2", "p3", "p4"})
        EXPECT_EQ(Settings::number(order.value(notANumber)), std::nullopt) << notANumber;
}

TEST(Settings, ArgumentDomainOverridesReadsButNotWrites)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.json");
    Settings(path).setValue("demoTab", "today");

    Settings settings(path, {{"demoTab", "later"}, {"focus.floats", false}});
    EXPECT_EQ(settings.stringValue("demoTab"), "later");
    EXPECT_FALSE(settings.boolValue("focus.floats", true));
    EXPECT_TRUE(settings.contains("focus.floats"));

    settings.setValue("demoTab", "random");
    EXPECT_EQ(settings.stringValue("demoTab"), "later");
    settings.remove("focus.floats");
    EXPECT_FALSE(settings.boolValue("focus.floats", true));

    EXPECT_EQ(fileObject(path).value("demoTab"), QJsonValue("random"));
    EXPECT_EQ(Settings(path).stringValue("demoTab"), "random");
}

TEST(Settings, ParsesLaunchArguments)
{
    struct Case {
        QStringList args;
        QVariantMap domain;
    };
    const QList<Case> cases = {
        {{"app", "-demo", "--list", "today"}, {}},
        {{"app", "-demoTab", "later"}, {{"demoTab", "later"}}},
        {{"app", "-demo", "-demoTab", "Trip"}, {{"demoTab", "Trip"}}},
        {{"app", "-focus.floats", "false", "-showInMenuBar", "true"},
         {{"focus.floats", false}, {"showInMenuBar", true}}},
        {{"app", "-demoTab", "later", "-x"}, {{"demoTab", "later"}}},
        {{"app", "-n", "2.5", "-m", "1e3", "-z", "0"}, {{"n", 2.5}, {"m", 1000.0}, {"z", 0.0}}},
        {{"app", "-a", "True", "-b", "1.2.3", "-c", "null", "-d", "12abc", "-e", "01", "-f", ""},
         {{"a", "True"}, {"b", "1.2.3"}, {"c", "null"}, {"d", "12abc"}, {"e", "01"}, {"f", ""}}},
        {{"app", "-k", "a", "-k", "b"}, {{"k", "b"}}},
        {{"-demoTab", "later"}, {}}, // the program name is never a setting
        {{"app", "-", "x", "--demoTab", "later", "-y", "-1"}, {}},
        {{}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(typed(parseArgumentDomain(c.args)), typed(c.domain)) << c.args.join(' ').toStdString();
}

TEST(Settings, UnreadableFileReadsEmptyAndIsNeverWritten)
{
    const QList<QByteArray> contents = {
        "{ not json", "[1, 2]", "\"text\"", "42", QByteArray("\0\xff{", 3), "{\"focus.floats\": fal"};
    for (const QByteArray& bytes : contents) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        QTemporaryDir dir;
        const QString path = dir.filePath("settings.json");
        writeFile(path, bytes);
        Settings settings(path);
        EXPECT_FALSE(settings.contains("focus.floats"));
        EXPECT_TRUE(settings.boolValue("focus.floats", true));
        EXPECT_EQ(settings.status(), QSettings::FormatError);
        EXPECT_FALSE(settings.sync());
        EXPECT_EQ(fileBytes(path), bytes);

        // Writes hold for this handle's run, and what is left of the file stays for the user to mend.
        settings.setValue("focus.floats", false);
        EXPECT_FALSE(settings.boolValue("focus.floats", true));
        settings.remove("focus.floats");
        EXPECT_FALSE(settings.contains("focus.floats"));
        settings.setValue("rollover.lastActive", 12.0);
        EXPECT_EQ(settings.doubleValue("rollover.lastActive"), 12.0);
        EXPECT_FALSE(settings.sync());
        EXPECT_EQ(fileBytes(path), bytes);
    }
}

TEST(Settings, ReportsAFileThatCannotBeWritten)
{
    QTemporaryDir dir;
    const QString blocker = dir.filePath("not-a-folder");
    writeFile(blocker, "x");
    Settings settings(blocker + "/settings.json");
    settings.setValue("showInMenuBar", true);
    EXPECT_FALSE(settings.sync());
    EXPECT_EQ(settings.status(), QSettings::AccessError);
}

TEST(Settings, SuitesLiveBesideTheStandardStoreAndCanBeWiped)
{
    const TemporaryHome home;
    const QString suiteName = "com.vorn.todo.demo";
    ASSERT_TRUE(Settings::standardPath().startsWith(home.path()));
    EXPECT_TRUE(Settings::standardPath().endsWith("/Vorn/vorn-todo.json"));
    EXPECT_EQ(Settings::suitePath(suiteName),
              Settings::standardPath().section('/', 0, -2) + "/" + suiteName + ".json");

    const auto standard = Settings::standard(parseArgumentDomain({"app", "-demoTab", "later"}));
    standard->setValue("showInMenuBar", true);
    EXPECT_EQ(standard->stringValue("demoTab"), "later");

    auto suite = Settings::suite(suiteName);
    ASSERT_NE(suite, nullptr);
    suite->setValue("focus.floats", false);
    EXPECT_FALSE(suite->contains("showInMenuBar"));
    EXPECT_FALSE(standard->contains("focus.floats"));
    EXPECT_TRUE(QFile::exists(Settings::suitePath(suiteName)));

    EXPECT_TRUE(Settings::removeSuite(suiteName));
    EXPECT_FALSE(QFile::exists(Settings::suitePath(suiteName)));
    EXPECT_FALSE(suite->contains("focus.floats")); // an open handle sees the wipe
    EXPECT_FALSE(Settings::suite(suiteName)->contains("focus.floats"));
    EXPECT_TRUE(Settings(Settings::standardPath()).boolValue("showInMenuBar", false));
    EXPECT_TRUE(Settings::removeSuite("never-made"));

    for (const char* bad : {"", "a/b", "..", ".hidden", "a\\b", "vorn-todo"}) {
        EXPECT_TRUE(Settings::suitePath(bad).isEmpty()) << bad;
        EXPECT_EQ(Settings::suite(bad), nullptr) << bad;
        EXPECT_FALSE(Settings::removeSuite(bad)) << bad;
    }
}

} // namespace
} // namespace vorn
