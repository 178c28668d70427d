#include "transfer/Transfer.h"

#include "family/FamilyConstants.h"
#include "text/InputLimits.h"
#include "transfer/Pasteboard.h"
#include "transfer/PlannerWorkspace.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrlQuery>

namespace vorn::Transfer {

namespace {

enum class Kind { unticked, ticked, bullet };

struct Marker {
    QStringView text;
    Kind kind;
};

// Tried in this order: the boxed forms before the bare bullet that starts them.
constexpr Marker kMarkers[] = {
    {u"- [ ]", Kind::unticked}, {u"- [x]", Kind::ticked},  {u"- [X]", Kind::ticked},
    {u"* [ ]", Kind::unticked}, {u"* [x]", Kind::ticked},  {u"\u2610", Kind::unticked},
    {u"\u2611", Kind::ticked},  {u"\u2022", Kind::bullet}, {u"-", Kind::bullet},
    {u"*", Kind::bullet},
};

bool isNewline(char16_t c)
{
    return (c >= u'\n' && c <= u'\r') || c == u'\u0085' || c == u'\u2028' || c == u'\u2029';
}

// White space that is not a line break: tabs and the space separators.
bool isBlank(char16_t c)
{
    if (c == u' ' || c == u'\t')
        return true;
    return c >= 0x80 && QChar::category(c) == QChar::Separator_Space;
}

bool isDirectionMark(char16_t c)
{
    return c == u'\u200E' || c == u'\u200F';
}

// Blanks and direction marks come off together: an editor that marks each line's direction may put
// its mark before the indent as well as after it.
QStringView trimmed(QStringView s)
{
    auto strip = [](char16_t c) { return isBlank(c) || isDirectionMark(c); };
    qsizetype begin = 0, end = s.size();
    while (begin < end && strip(s[begin].unicode()))
        ++begin;
    while (end > begin && strip(s[end - 1].unicode()))
        --end;
    return s.sliced(begin, end - begin);
}

// An optional sign and decimal digits that fit a 64-bit integer.
bool isInteger(QStringView s)
{
    const bool negative = !s.isEmpty() && s.front() == u'-';
    if (!s.isEmpty() && (s.front() == u'+' || negative))
        s = s.sliced(1);
    if (s.isEmpty())
        return false;
    const quint64 limit = negative ? quint64(1) << 63 : (quint64(1) << 63) - 1;
    quint64 value = 0;
    for (QChar c : s) {
        if (c < u'0' || c > u'9')
            return false;
        const quint64 digit = c.unicode() - u'0';
        if (value > (limit - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

bool isDivider(QStringView s)
{
    for (QChar c : s) {
        if (c != u'\u2014')
            return false;
    }
    return true;
}

void parseLine(QStringView line, std::vector<TransferThing>& out)
{
    const bool indented = line.startsWith(u"    ") || line.startsWith(u'\t');
    const QStringView body = trimmed(line);

    QStringView text = body;
    Kind kind = Kind::bullet;
    bool marked = false;
    for (const Marker& m : kMarkers) {
        // A marker with nothing after it counts too: an empty item makes nothing instead of a "[ ]".
        if (body.startsWith(m.text) &&
            (body.size() == m.text.size() || isBlank(body[m.text.size()].unicode()))) {
            text = body.sliced(m.text.size());
            kind = m.kind;
            marked = true;
            break;
        }
    }
    if (!marked) {
        // "1.<tab>First", as editors copy numbered lists.
        const qsizetype tab = body.indexOf(u'\t');
        if (tab > 0) {
            const QStringView number = body.first(tab);
            if (number.endsWith(u'.') && isInteger(number.chopped(1)))
                text = body.sliced(tab + 1);
        }
    }

    text = trimmed(text);
    if (text.isEmpty() || isDivider(text))
        return;
    if (indented && marked && kind != Kind::bullet && !out.empty()) {
        out.back().steps.push_back({text.toString(), kind == Kind::ticked});
        return;
    }
    TransferThing thing;
    thing.title = text.toString();
    thing.done = kind == Kind::ticked;
    out.push_back(std::move(thing));
}

} // namespace

QString plainText(const std::vector<TransferThing>& things)
{
    QStringList titles;
    titles.reserve(qsizetype(things.size()));
    for (const TransferThing& thing : things)
        titles << thing.title;
    return titles.join(u'\n');
}

std::optional<QByteArray> encode(const std::vector<TransferThing>& things)
{
    QJsonArray array;
    for (const TransferThing& thing : things)
        array.append(toJson(thing));
    // QJsonObject keeps its keys sorted, so the document comes out with sorted keys.
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<std::vector<TransferThing>> decode(QByteArrayView json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    std::vector<TransferThing> out;
    const QJsonArray values = doc.array();
    for (const QJsonValue& value : values) {
        std::optional<TransferThing> thing = transferThingFromJson(value);
        if (!thing)
            return std::nullopt; // one bad record makes the data unreadable, as a whole
        if (!thing->title.trimmed().isEmpty())
            out.push_back(std::move(*thing));
    }
    if (out.empty())
        return std::nullopt;
    return out;
}

void copy(const std::vector<TransferThing>& things, Pasteboard& pasteboard)
{
    if (things.empty())
        return;
    pasteboard.clear();
    pasteboard.setData(kPlainTextType, plainText(things).toUtf8());
    if (const std::optional<QByteArray> json = encode(things))
        pasteboard.setData(QString(kThingsPasteboardType), *json);
    // An empty RTF would win over the plain text in programs that prefer RTF, and paste nothing.
    if (things.size() == 1 && things.front().rtf && !things.front().rtf->isEmpty())
        pasteboard.setData(kRtfType, *things.front().rtf);
}

std::vector<TransferThing> paste(const Pasteboard& pasteboard, bool* tooBig)
{
    // A paste is an import like any other: past the limit it would only make a list nobody can use.
    const auto fits = [&](const std::optional<QByteArray>& data) {
        if (data && data->size() > kImportLimit && tooBig)
            *tooBig = true;
        return data && data->size() <= kImportLimit;
    };
    if (const std::optional<QByteArray> json = pasteboard.data(QString(kThingsPasteboardType)); fits(json)) {
        if (std::optional<std::vector<TransferThing>> things = decode(*json))
            return std::move(*things);
    }
    if (const std::optional<QByteArray> text = pasteboard.data(kPlainTextType); fits(text))
        return parse(QString::fromUtf8(*text));
    return {};
}

std::vector<TransferThing> parse(QStringView text)
{
    std::vector<TransferThing> out;
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start < n) {
        qsizetype end = start;
        while (end < n && !isNewline(text[end].unicode()))
            ++end;
        if (end > start)
            parseLine(text.sliced(start, end - start), out);
        // CR LF is one break; any other newline character is one on its own.
        start = end + ((end + 1 < n && text[end] == u'\r' && text[end + 1] == u'\n') ? 2 : 1);
    }
    return out;
}

bool plannerIsInstalled(const PlannerWorkspace& workspace)
{
    return workspace.isPlannerInstalled();
}

std::optional<QUrl> plannerUrl(const std::optional<QString>& day)
{
    QUrl url;
    url.setScheme(QStringLiteral("vornplanner"));
    url.setHost(QStringLiteral("add"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("handoff"), QStringLiteral("1"));
    if (day)
        query.addQueryItem(QStringLiteral("day"), *day);
    url.setQuery(query);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

SendResult sendToPlanner(const std::vector<TransferThing>& things, const std::optional<QString>& day,
                         PlannerWorkspace& workspace, Pasteboard& handoff)
{
    if (things.empty())
        return SendResult::nothingToSend;
    if (!workspace.isPlannerInstalled())
        return SendResult::plannerMissing;
    const QString type(kThingsPasteboardType);
    // A batch the planner hasn't taken yet stays: this one joins it. Taking it first means that either
    // the planner got it already or we did, never both and never neither.
    const std::optional<QByteArray> unread = handoff.take(type);
    std::vector<TransferThing> batch;
    if (unread) {
        if (std::optional<std::vector<TransferThing>> earlier = decode(*unread))
            batch = std::move(*earlier);
    }
    batch.insert(batch.end(), things.begin(), things.end());
    // On any failure the unread batch goes back as it was; the things of this one stay here.
    const auto giveBack = [&](SendResult why) {
        handoff.clear();
        if (unread)
            handoff.setData(type, *unread);
        return why;
    };
    const std::optional<QByteArray> json = encode(batch);
    const std::optional<QUrl> url = plannerUrl(day);
    if (!json || !url)
        return giveBack(SendResult::notWritten);
    handoff.clear();
    // Without the records there the planner would open to nothing while we delete the things here.
    if (!handoff.setData(type, *json))
        return giveBack(SendResult::notWritten);
    if (!workspace.openUrl(*url))
        return giveBack(SendResult::notOpened);
    return SendResult::sent;
}

} // namespace vorn::Transfer
