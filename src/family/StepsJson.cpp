#include "family/FamilyStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vorn {

namespace {

void appendJsonString(QString& out, const QString& text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += u'"';
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'"':
            out += u"\\\"";
            break;
        case u'\\':
            out += u"\\\\";
            break;
        case u'\b':
            out += u"\\b";
            break;
        case u'\f':
            out += u"\\f";
            break;
        case u'\n':
            out += u"\\n";
            break;
        case u'\r':
            out += u"\\r";
            break;
        case u'\t':
            out += u"\\t";
            break;
        default:
            if (u < 0x20) {
                out += u"\\u00";
                out += QLatin1Char(kHex[u >> 4]);
                out += QLatin1Char(kHex[u & 0xf]);
            } else {
                out += c;
            }
        }
    }
    out += u'"';
}

} // namespace

// Written by hand because QJsonDocument sorts members ("done" first), and the store compares this text
// literally: the planner's encoder puts "title" first.
QString encodeSteps(const std::vector<SharedStep>& steps)
{
    QString out;
    out.reserve(2 + qsizetype(steps.size()) * 32);
    out += u'[';
    for (const SharedStep& step : steps) {
        // A lone surrogate has no UTF-8 form; such steps can't be encoded at all.
        if (!step.title.isValidUtf16())
            return QStringLiteral("[]");
        if (out.size() > 1)
            out += u',';
        out += u"{\"title\":";
        appendJsonString(out, step.title);
        out += step.done ? u",\"done\":true}" : u",\"done\":false}";
    }
    out += u']';
    return out;
}

std::optional<std::vector<SharedStep>> readSteps(const QString& json)
{
    // Most rows have no steps; skip the parser for them.
    if (json == u"[]")
        return std::vector<SharedStep>{};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    const QJsonArray array = doc.array();
    std::vector<SharedStep> steps;
    steps.reserve(size_t(array.size()));
    for (const QJsonValue& value : array) {
        if (!value.isObject())
            return std::nullopt;
        const QJsonObject object = value.toObject();
        const QJsonValue title = object.value(QLatin1StringView("title"));
        const QJsonValue done = object.value(QLatin1StringView("done"));
        // A title with a lone surrogate ("\ud800") could never be written back: taking it would
        // make our next mirror write no steps at all.
        if (!title.isString() || !done.isBool() || !title.toString().isValidUtf16())
            return std::nullopt;
        steps.push_back({title.toString(), done.toBool()});
    }
    return steps;
}

std::vector<SharedStep> decodeSteps(const QString& json)
{
    return readSteps(json).value_or(std::vector<SharedStep>{});
}

} // namespace vorn
