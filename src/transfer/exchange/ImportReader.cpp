#include "transfer/exchange/ImportReader.h"

#include "text/InputLimits.h"
#include "text/Printable.h"
#include "text/TitleText.h"
#include "transfer/Transfer.h"
#include "transfer/exchange/MarkdownExport.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

namespace vorn {

namespace {

constexpr int kProblemsShown = 10;

bool isIndented(QStringView line)
{
    return !line.isEmpty() && (line[0] == u' ' || line[0] == u'\t');
}

// "- [ ] title", "* [x] title": the box and what follows it; nothing for any other line.
std::optional<std::pair<bool, QString>> checkbox(QStringView line)
{
    static const QRegularExpression box(QStringLiteral("^[-*+] \\[([ xX])\\](?: (.*))?$"));
    const QRegularExpressionMatch m = box.match(line.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    return std::pair(m.capturedView(1) != u" ", m.captured(2).trimmed());
}

// A heading: its level and text.
std::optional<std::pair<int, QString>> heading(QStringView line)
{
    static const QRegularExpression h(QStringLiteral("^(#{1,6})[ \\t]+(.*?)(?:[ \\t]+#+)?[ \\t]*$"));
    const QRegularExpressionMatch m = h.match(line);
    if (!m.hasMatch() || m.capturedView(2).trimmed().isEmpty())
        return std::nullopt;
    return std::pair(int(m.capturedLength(1)), m.captured(2).trimmed());
}

// A line holding a control character other than a tab is not text someone wrote: it is told, not
// guessed at. (U+FFFD is text: our own notes hold it where a file had half a character.)
bool hasControlCharacters(QStringView line)
{
    for (const QChar c : line) {
        if (isControlCharacter(c.unicode()) && c != u'\t')
            return true;
    }
    return false;
}

// "a title over 4,000 characters"
QString tooLong(const char* what)
{
    return QStringLiteral("%1 over %2 characters").arg(QLatin1String(what), limitText(kTitleLimit));
}

ImportList listNamed(const QString& name, int line, bool create)
{
    ImportList list;
    list.line = line;
    list.name = name;
    list.create = create;
    for (ExchangeListKind kind :
         {ExchangeListKind::today, ExchangeListKind::later, ExchangeListKind::doneIsh}) {
        if (name.compare(exchangeHeading(kind), Qt::CaseInsensitive) == 0) {
            list.kind = kind;
            list.name = exchangeHeading(kind);
            return list;
        }
    }
    list.kind = ExchangeListKind::pile;
    return list;
}

std::vector<QStringView> splitLines(QStringView text)
{
    std::vector<QStringView> lines;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = text.size();
        QStringView line = text.sliced(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        lines.push_back(line);
        start = end + 1;
    }
    if (!lines.empty() && lines.back().isEmpty())
        lines.pop_back();
    return lines;
}

void readMarkdown(const std::vector<QStringView>& lines, ImportText& out)
{
    out.lists.push_back(listNamed(exchangeHeading(ExchangeListKind::today), 0, true));
    ExchangeThing* last = nullptr;
    bool lastHasNote = false;
    // The last thing's note is read up to what the editor can open; the rest is left out, once said.
    qsizetype noteLines = 0;
    bool noteCut = false;
    const auto problem = [&](int line, const QString& what) { out.problems.push_back({line, what}); };
    const auto took = [&](ExchangeThing* thing) {
        last = thing;
        lastHasNote = false;
        noteLines = 0;
        noteCut = false;
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int number = int(i) + 1;
        const QStringView line = lines[i];
        if (line.trimmed().isEmpty())
            continue;
        if (hasControlCharacters(line)) {
            problem(number, QStringLiteral("characters that aren't text"));
            continue;
        }
        if (const auto h = heading(line)) {
            // Later's sections are the export's own grouping; the wake days say where things go.
            if (h->first > 1 && out.lists.back().kind == ExchangeListKind::later)
                continue;
            // A list whose name is too long to keep leaves its things in Today, not in the list before.
            const TitleInput name = titleInput(h->second);
            if (!name.ok())
                problem(number, tooLong("a list name"));
            out.lists.push_back(listNamed(name.ok() ? name.text : exchangeHeading(ExchangeListKind::today),
                                          number, h->first == 1));
            took(nullptr);
            continue;
        }
        ImportList& list = out.lists.back();
        if (isIndented(line) && line.trimmed().startsWith(u'>')) {
            if (!last) {
                problem(number, QStringLiteral("a note line with no thing above it"));
                continue;
            }
            // The quote's own space goes; the note's indentation after it is kept.
            QStringView raw = line.sliced(line.indexOf(u'>') + 1);
            raw = raw.startsWith(u' ') ? raw.sliced(1) : raw;
            if (noteCut)
                continue;
            if (noteLines == kNoteParagraphLimit ||
                last->note.size() + raw.size() + 1 > kNoteCharacterLimit) {
                problem(number, QStringLiteral("a note too long to open: the rest of it was left out"));
                noteCut = true;
                continue;
            }
            ++noteLines;
            if (lastHasNote)
                last->note += u'\n';
            last->note += raw.toString();
            lastHasNote = true;
            continue;
        }
        if (const auto box = checkbox(line)) {
            if (isIndented(line)) {
                if (!last) {
                    problem(number, QStringLiteral("a step with no thing above it"));
                    continue;
                }
                const TitleInput step = titleInput(box->second);
                if (!step.ok()) {
                    problem(number, step.problem == TitleInput::Problem::tooLong
                                        ? tooLong("a step")
                                        : QStringLiteral("a step without a title"));
                    continue;
                }
                last->steps.push_back({step.text, box->first});
                continue;
            }
            ExchangeThing thing;
            thing.title = box->second;
            const ThingMarks marks = takeThingMarks(thing.title);
            const TitleInput title = titleInput(thing.title);
            if (!title.ok()) {
                problem(number, title.problem == TitleInput::Problem::tooLong
                                    ? tooLong("a title")
                                    : QStringLiteral("a thing without a title"));
                took(nullptr);
                continue;
            }
            thing.title = title.text;
            thing.done = box->first;
            thing.until = marks.until;
            thing.someday = marks.someday;
            thing.doneOn = marks.doneOn;
            thing.zs = marks.zs.value_or(0);
            list.things.push_back(std::move(thing));
            took(&list.things.back());
            continue;
        }
        // Anything else is read the way a paste reads it: bullets, numbers, one thing a line.
        const std::vector<TransferThing> pasted = Transfer::parse(line);
        for (const TransferThing& t : pasted) {
            const TitleInput title = titleInput(t.title);
            if (!title.ok()) {
                problem(number, tooLong("a title")); // a parsed line is never blank
                took(nullptr);
                continue;
            }
            ExchangeThing thing;
            thing.title = title.text;
            thing.done = t.done;
            for (const TransferStep& step : t.steps) {
                if (const TitleInput stepTitle = titleInput(step.title); stepTitle.ok())
                    thing.steps.push_back({stepTitle.text, step.done});
            }
            list.things.push_back(std::move(thing));
            took(&list.things.back());
        }
    }
}

void readTodoTxt(const std::vector<QStringView>& lines, ImportText& out)
{
    static const QRegularExpression date(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    static const QRegularExpression priority(QStringLiteral("^\\([A-Z]\\)$"));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int number = int(i) + 1;
        const QStringView line = lines[i];
        if (line.trimmed().isEmpty())
            continue;
        if (hasControlCharacters(line)) {
            out.problems.push_back({number, QStringLiteral("characters that aren't text")});
            continue;
        }
        QStringList words = line.toString().split(u' ', Qt::SkipEmptyParts);
        ExchangeThing thing;
        qsizetype at = 0;
        if (at < words.size() && words[at] == u"x") {
            thing.done = true;
            ++at;
            // The day it was done, then the day it was made.
            if (at < words.size() && date.match(words[at]).hasMatch()) {
                const QDate day = QDate::fromString(words[at], QStringLiteral("yyyy-MM-dd"));
                if (day.isValid())
                    thing.doneOn = day;
                ++at;
            }
        } else if (at < words.size() && priority.match(words[at]).hasMatch()) {
            ++at;
        }
        if (at < words.size() && date.match(words[at]).hasMatch())
            ++at;
        QString project;
        QStringList title;
        bool bad = false;
        for (; at < words.size(); ++at) {
            const QString& word = words[at];
            if (word.startsWith(u'+') && word.size() > 1) {
                if (project.isEmpty()) {
                    const TitleInput name = titleInput(QStringView(word).sliced(1));
                    if (name.ok())
                        project = name.text;
                    else
                        out.problems.push_back({number, tooLong("a project name")});
                }
                continue;
            }
            if (word.startsWith(QLatin1String("due:"))) {
                const QDate day = QDate::fromString(word.sliced(4), QStringLiteral("yyyy-MM-dd"));
                if (!day.isValid()) {
                    out.problems.push_back(
                        {number, QStringLiteral("a due day that isn't a day: ") + word.sliced(4)});
                    bad = true;
                    break;
                }
                thing.until = QDateTime(day, QTime(0, 0));
                continue;
            }
            if (word.startsWith(QLatin1String("pri:")))
                continue;
            title << word;
        }
        if (bad)
            continue;
        const TitleInput clean = titleInput(title.join(u' '));
        if (!clean.ok()) {
            out.problems.push_back({number, clean.problem == TitleInput::Problem::tooLong
                                                ? tooLong("a title")
                                                : QStringLiteral("a task without a title")});
            continue;
        }
        thing.title = clean.text;
        ImportList* list = nullptr;
        const QString target = project.isEmpty() ? exchangeHeading(ExchangeListKind::today) : project;
        for (ImportList& l : out.lists) {
            if (l.name.compare(target, Qt::CaseInsensitive) == 0)
                list = &l;
        }
        if (!list) {
            out.lists.push_back(listNamed(target, number, true));
            list = &out.lists.back();
        }
        list->things.push_back(std::move(thing));
    }
}

bool looksLikeTodoTxt(const std::vector<QStringView>& lines)
{
    static const QRegularExpression mark(
        QStringLiteral("^x |^\\([A-Z]\\) |(^| )\\+\\S|(^| )due:\\d{4}-\\d{2}-\\d{2}(\\s|$)"));
    bool marked = false;
    for (const QStringView line : lines) {
        if (heading(line) || checkbox(line))
            return false;
        marked = marked || mark.match(line).hasMatch();
    }
    return marked;
}

} // namespace

int ImportText::thingCount() const
{
    int n = 0;
    for (const ImportList& list : lists)
        n += int(list.things.size());
    return n;
}

ImportText readImport(QStringView text, bool todoTxt)
{
    ImportText out;
    const std::vector<QStringView> lines = splitLines(text);
    if (todoTxt || looksLikeTodoTxt(lines)) {
        out.format = ImportText::Format::todoTxt;
        readTodoTxt(lines, out);
    } else {
        readMarkdown(lines, out);
    }
    return out;
}

ImportFile readImportBytes(const QByteArray& bytes, const QString& name)
{
    ImportFile file;
    if (bytes.size() > kImportFileLimit) {
        file.error = tooBigToImport(name, bytes.size());
        return file;
    }
    if (bytes.contains('\0')) {
        file.error = QStringLiteral("%1 isn't a text file.").arg(name);
        return file;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError()) {
        file.error = QStringLiteral("%1 isn't UTF-8 text. Save it as UTF-8 and try again.").arg(name);
        return file;
    }
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    file.content = text;
    file.text = readImport(text, name.endsWith(QLatin1String("todo.txt"), Qt::CaseInsensitive));
    return file;
}

QString tooBigToImport(const QString& name, qint64 bytes)
{
    return QStringLiteral("%1 is too big to be a list (%2 MB; the most is %3 MB).")
        .arg(name)
        .arg(bytes / (1024 * 1024))
        .arg(kImportFileLimit / (1024 * 1024));
}

ImportFile readImportFile(const QString& path)
{
    const QFileInfo info(path);
    const QString name = info.fileName().isEmpty() ? path : info.fileName();
    ImportFile file;
    if (!info.exists()) {
        file.error = QStringLiteral("There's no file %1.").arg(path);
        return file;
    }
    if (info.isDir()) {
        file.error = QStringLiteral("%1 is a folder, not a file.").arg(path);
        return file;
    }
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        file.error = QStringLiteral("Couldn't read %1: %2.").arg(path, in.errorString());
        return file;
    }
    // One byte over the limit is enough to know; a device that never ends stops there too.
    const QByteArray bytes = in.read(kImportFileLimit + 1);
    if (in.error() != QFileDevice::NoError) {
        file.error = QStringLiteral("Couldn't read %1: %2.").arg(path, in.errorString());
        return file;
    }
    return readImportBytes(bytes, name);
}

QString describeProblems(const std::vector<ImportProblem>& problems, ImportUnit unit)
{
    if (problems.empty())
        return {};
    const bool one = problems.size() == 1;
    QString out = unit == ImportUnit::line
                      ? (one ? QStringLiteral("1 line couldn't be read: ")
                             : QString::number(problems.size()) + QStringLiteral(" lines couldn't be read: "))
                      : (one ? QStringLiteral("1 item was left out: ")
                             : QString::number(problems.size()) + QStringLiteral(" items were left out: "));
    QStringList shown;
    for (std::size_t i = 0; i < problems.size() && int(i) < kProblemsShown; ++i)
        shown << QStringLiteral("line %1 (%2)").arg(problems[i].line).arg(problems[i].what);
    out += shown.join(QLatin1String(", "));
    if (problems.size() > std::size_t(kProblemsShown))
        out += QStringLiteral(", …");
    return out + u'.';
}

} // namespace vorn
