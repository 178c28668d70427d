#include "transfer/TransferThing.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

namespace vorn {

namespace {

// A member that is missing or null takes its default; one of another type fails the whole record.
bool readBool(const QJsonObject& o, QLatin1StringView key, bool& out)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isBool())
        return false;
    out = v.toBool();
    return true;
}

bool readString(const QJsonObject& o, QLatin1StringView key, QString& out)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

bool readInteger(const QJsonObject& o, QLatin1StringView key, qint64& out)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isDouble())
        return false;
    // 2.0 is a whole number, 2.5 and 1e300 are not one we can hold.
    const double d = v.toDouble();
    if (!std::isfinite(d) || std::trunc(d) != d || d < -9.2e18 || d > 9.2e18)
        return false;
    out = v.toInteger();
    return true;
}

std::optional<TransferStep> stepFromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    const QJsonValue title = o.value(QLatin1StringView("title"));
    const QJsonValue done = o.value(QLatin1StringView("done"));
    if (!title.isString() || !done.isBool())
        return std::nullopt;
    return TransferStep{title.toString(), done.toBool()};
}

} // namespace

QJsonValue toJson(const TransferThing& thing)
{
    QJsonArray steps;
    for (const TransferStep& step : thing.steps)
        steps.append(QJsonObject{{QStringLiteral("done"), step.done}, {QStringLiteral("title"), step.title}});
    QJsonObject o{
        {QStringLiteral("done"), thing.done},
        {QStringLiteral("note"), thing.note},
        {QStringLiteral("steps"), steps},
        {QStringLiteral("title"), thing.title},
        {QStringLiteral("zs"), QJsonValue(thing.zs)},
    };
    if (thing.link)
        o.insert(QStringLiteral("link"), *thing.link);
    if (thing.rtf)
        o.insert(QStringLiteral("rtf"), QString::fromLatin1(thing.rtf->toBase64()));
    return o;
}

std::optional<TransferThing> transferThingFromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    TransferThing thing;
    const QJsonValue title = o.value(QLatin1StringView("title"));
    if (!title.isString())
        return std::nullopt;
    thing.title = title.toString();
    if (!readBool(o, QLatin1StringView("done"), thing.done) ||
        !readInteger(o, QLatin1StringView("zs"), thing.zs) ||
        !readString(o, QLatin1StringView("note"), thing.note))
        return std::nullopt;

    const QJsonValue steps = o.value(QLatin1StringView("steps"));
    if (steps.isArray()) {
        const QJsonArray list = steps.toArray();
        thing.steps.reserve(std::size_t(list.size()));
        for (const QJsonValue& s : list) {
            std::optional<TransferStep> step = stepFromJson(s);
            if (!step)
                return std::nullopt;
            thing.steps.push_back(std::move(*step));
        }
    } else if (!steps.isUndefined() && !steps.isNull()) {
        return std::nullopt;
    }

    const QJsonValue link = o.value(QLatin1StringView("link"));
    if (link.isString())
        thing.link = link.toString();
    else if (!link.isUndefined() && !link.isNull())
        return std::nullopt;

    const QJsonValue rtf = o.value(QLatin1StringView("rtf"));
    if (rtf.isString()) {
        auto decoded = QByteArray::fromBase64Encoding(rtf.toString().toLatin1(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        thing.rtf = std::move(*decoded);
    } else if (!rtf.isUndefined() && !rtf.isNull()) {
        return std::nullopt;
    }
    return thing;
}

} // namespace vorn
