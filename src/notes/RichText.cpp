#include "notes/RichText.h"

#include "notes/MarkerEdits.h"
#include "notes/ParagraphMarkers.h"
#include "notes/ParagraphStyler.h"
#include "notes/RichTextRtf.h"
#include "notes/Typography.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace vorn::notes::RichText {

namespace {

// A document the editor can take over; loading it is not an edit the user could undo.
std::unique_ptr<QTextDocument> newNoteDocument()
{
    auto document = std::make_unique<QTextDocument>();
    document->setUndoRedoEnabled(false);
    return document;
}

void finishLoading(QTextDocument& document)
{
    normalize(document);
    document.setUndoRedoEnabled(true);
    document.setModified(false);
}

void setFormat(QTextDocument& document, int from, int to, const QTextCharFormat& format)
{
    QTextCursor cursor(&document);
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    cursor.setCharFormat(format);
}

} // namespace

QByteArray encode(const QTextDocument& text, const NoteComment& sections)
{
    rtf::Document document = RichTextRtf::toRtf(text);
    document.comment = sections.write();
    return rtf::write(document);
}

QByteArray encode(const Snapshot& snapshot)
{
    rtf::Document document = RichTextRtf::toRtf(snapshot.text);
    document.comment = snapshot.sections.write();
    return rtf::write(document);
}

std::optional<Decoded> decode(QByteArrayView rtf)
{
    std::optional<rtf::Document> read = rtf::read(rtf);
    if (!read)
        return std::nullopt;
    Decoded decoded{newNoteDocument(), NoteComment::read(read->comment)};
    // Normalised on the way in, which is much cheaper than reformatting every run once it is in.
    RichTextRtf::fromRtf(*read, *decoded.text, RichTextRtf::Formats::normalized);
    decoded.text->setUndoRedoEnabled(true);
    decoded.text->setModified(false);
    decoded.complete = read->complete;
    return decoded;
}

std::unique_ptr<QTextDocument> plain(const QString& text)
{
    auto document = newNoteDocument();
    QTextCursor cursor(document.get());
    cursor.beginEditBlock();
    cursor.setBlockFormat(
        Typography::paragraphStyle(TextRole::body, ParagraphKind::plain(), TextDirection::ltr));
    cursor.setBlockCharFormat(Typography::bodyTypingFormat());
    QString normalizedBreaks = text;
    normalizedBreaks.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    cursor.insertText(normalizedBreaks, Typography::bodyTypingFormat());
    cursor.endEditBlock();
    finishLoading(*document);
    return document;
}

void normalize(QTextDocument& document)
{
    QTextCursor batch(&document);
    batch.beginEditBlock();
    const QTextCharFormat divider = Typography::dividerFormat();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const ParagraphInfo info = ParagraphMarkers::parse(block.text());
        if (info.kind.is(ParagraphKind::Case::divider)) {
            if (block.length() > 1)
                setFormat(document, block.position(), block.position() + block.length() - 1, divider);
            continue;
        }
        const TextRole role =
            Typography::role(charFormatAt(document, block.position()).value_or(QTextCharFormat()));
        // Collected first: changing a fragment's format may merge it with its neighbours.
        std::vector<std::pair<std::pair<int, int>, QTextCharFormat>> changes;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat current = fragment.charFormat();
            const QTextCharFormat wanted = Typography::normalizedRun(current, role);
            if (current != wanted)
                changes.push_back({{fragment.position(), fragment.position() + fragment.length()}, wanted});
        }
        for (const auto& [range, format] : changes)
            setFormat(document, range.first, range.second, format);
        // An empty paragraph types with its block's own format: give it the role's too.
        if (block.length() == 1) {
            QTextCursor(block).setBlockCharFormat(Typography::normalizedRun(block.charFormat(), role));
        }
    }
    ParagraphStyler::applyAll(document);
    batch.endEditBlock();
}

QString plainCopy(const QTextDocument& text)
{
    QString raw = text.toRawText();
    raw.replace(QChar::ParagraphSeparator, u'\n');
    raw.remove(QChar::ObjectReplacementCharacter);
    return raw.trimmed();
}

} // namespace vorn::notes::RichText
