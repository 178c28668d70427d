#include "calsync/KeptText.h"

#include "notes/rtf/RtfDocument.h"

#include <QStringList>

namespace vorn::calsync {

QString keptTitleLine(const QString& title)
{
    return QStringLiteral("Also titled: ") + title;
}

QString keptNoteLines(const QString& note)
{
    return QStringLiteral("Also written in this note:\n") + note;
}

QString keptStepLine(const QString& stepTitle)
{
    return QStringLiteral("Step also titled: ") + stepTitle;
}

namespace {

// The look of the body: the run that holds the most text, so a heading or a title line is not copied.
rtf::CharProps bodyLook(const rtf::Document& document)
{
    const rtf::Run* longest = nullptr;
    for (const rtf::Paragraph& p : document.paragraphs)
        for (const rtf::Run& r : p.runs)
            if (!longest || r.text.size() > longest->text.size())
                longest = &r;
    return longest ? longest->props : rtf::CharProps{};
}

// The rich copy with the text's lines as paragraphs after an empty one; none when it can't be read, as
// a rich copy without the added text would show the note without it.
std::optional<QByteArray> appendToRich(const QByteArray& data, const QString& text)
{
    std::optional<rtf::Document> document = rtf::read(data);
    if (!document)
        return std::nullopt;
    const rtf::CharProps look = bodyLook(*document);
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!document->paragraphs.empty())
        lines.prepend(QString());
    for (const QString& line : lines) {
        rtf::Paragraph paragraph;
        if (!line.isEmpty())
            paragraph.runs.push_back({line, look});
        document->paragraphs.push_back(std::move(paragraph));
    }
    return rtf::write(*document);
}

} // namespace

void appendToNote(ical::CalendarThing& thing, const QString& text)
{
    if (text.isEmpty() || thing.note.contains(text))
        return;
    thing.note = thing.note.isEmpty() ? text : thing.note + QStringLiteral("\n\n") + text;
    if (thing.rtf && !thing.rtf->isEmpty())
        thing.rtf = appendToRich(*thing.rtf, text);
}

} // namespace vorn::calsync
