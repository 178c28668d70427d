#include "notes/NoteFormatting.h"

#include "notes/Bidi.h"
#include "notes/NoteText.h"
#include "notes/ParagraphMarkers.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <algorithm>
#include <optional>
#include <vector>

namespace vorn::notes::NoteFormatting {

using namespace Qt::StringLiterals;

namespace {

// The paragraph holding the selection's start and every later one that starts before its end.
std::vector<QTextBlock> coveringParagraphs(const QTextDocument& document, int start, int end)
{
    std::vector<QTextBlock> out;
    QTextBlock block = document.findBlock(std::min(start, textLength(document)));
    if (!block.isValid())
        return out;
    out.push_back(block);
    for (block = block.next(); block.isValid() && block.position() < end; block = block.next())
        out.push_back(block);
    return out;
}

// The whole command, its restyle included, is one undo step.
class UndoStep {
public:
    explicit UndoStep(QTextDocument& document) : m_cursor(&document) { m_cursor.beginEditBlock(); }
    ~UndoStep() { m_cursor.endEditBlock(); }
    UndoStep(const UndoStep&) = delete;
    UndoStep& operator=(const UndoStep&) = delete;

private:
    QTextCursor m_cursor;
};

struct Run {
    int position;
    int length;
    QTextCharFormat format;
};

// The runs of one character format inside [from, to), cut to that range. Paragraph separators are not
// runs: in QTextDocument a separator's format is the next paragraph's own format, which a text command
// must not change.
std::vector<Run> runsIn(const QTextDocument& document, int from, int to)
{
    std::vector<Run> out;
    if (from >= to)
        return out;
    for (QTextBlock block = document.findBlock(from); block.isValid() && block.position() < to;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int start = std::max(from, fragment.position());
            const int end = std::min(to, fragment.position() + fragment.length());
            if (start < end)
                out.push_back({start, end - start, fragment.charFormat()});
        }
    }
    return out;
}

QTextCursor selecting(QTextDocument& document, int position, int length)
{
    QTextCursor cursor(&document);
    cursor.setPosition(position);
    cursor.setPosition(position + length, QTextCursor::KeepAnchor);
    return cursor;
}

void merge(QTextDocument& document, const Run& run, const QTextCharFormat& change)
{
    selecting(document, run.position, run.length).mergeCharFormat(change);
}

bool hasFont(const QTextCharFormat& format)
{
    return Typography::hasSize(format);
}

enum class Trait { bold, italic };

bool hasTrait(const QTextCharFormat& format, Trait trait)
{
    return trait == Trait::bold ? Typography::isBold(format) : Typography::isItalic(format);
}

// The change that gives a format the trait or takes it away. Bold is the weight of the format's own role:
// semibold for headings.
QTextCharFormat traitChange(const QTextCharFormat& format, Trait trait, bool on)
{
    QTextCharFormat change;
    if (trait == Trait::italic) {
        change.setFontItalic(on);
    } else if (on) {
        change.setFontWeight(
            Typography::font(Typography::role(format), true, Typography::isItalic(format)).weight());
    } else {
        change.setFontWeight(QFont::Normal);
    }
    return change;
}

void toggleTrait(NoteEditing& editing, QTextCursor& cursor, Trait trait)
{
    if (!editing.isEditable())
        return;
    if (!cursor.hasSelection()) {
        QTextCharFormat typing = editing.typingFormat();
        if (!hasFont(typing))
            Typography::setFont(typing, Typography::font(TextRole::body, false, false));
        typing.merge(traitChange(typing, trait, !hasTrait(typing, trait)));
        editing.setTypingFormat(typing);
        return;
    }
    QTextDocument& document = editing.document();
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    const std::vector<Run> runs = runsIn(document, start, end);
    const bool everyRunHasIt = std::all_of(runs.begin(), runs.end(), [trait](const Run& run) {
        return !hasFont(run.format) || hasTrait(run.format, trait);
    });
    UndoStep step(document);
    if (!editing.shouldChange(start, end - start))
        return;
    for (const Run& run : runs) {
        if (hasFont(run.format))
            merge(document, run, traitChange(run.format, trait, !everyRunHasIt));
    }
    editing.afterEdit();
}

// Qt keeps two underline properties; the style wins when present.
bool isUnderlined(const QTextCharFormat& format)
{
    if (format.hasProperty(QTextFormat::TextUnderlineStyle))
        return format.underlineStyle() != QTextCharFormat::NoUnderline;
    return format.boolProperty(QTextFormat::FontUnderline);
}

void clearUnderline(QTextCharFormat& format)
{
    format.clearProperty(QTextFormat::TextUnderlineStyle);
    format.clearProperty(QTextFormat::FontUnderline);
}

ParagraphKind listKind(ParagraphKind::Case kase)
{
    switch (kase) {
    case ParagraphKind::Case::bullet:
        return ParagraphKind::bullet();
    case ParagraphKind::Case::number:
        return ParagraphKind::numbered(1);
    case ParagraphKind::Case::checkbox:
        return ParagraphKind::checkbox(false);
    default:
        break;
    }
    return ParagraphKind::plain();
}

} // namespace

void applyRole(NoteEditing& editing, QTextCursor& cursor, TextRole role)
{
    if (!editing.isEditable())
        return;
    QTextDocument& document = editing.document();
    // Choosing a role resets bold to the role's own: regular body, bold or semibold headings.
    const std::optional<bool> bold = role == TextRole::body ? std::optional<bool>(false) : std::nullopt;

    std::vector<QTextBlock> kept;
    for (const QTextBlock& block :
         coveringParagraphs(document, cursor.selectionStart(), cursor.selectionEnd()))
        if (!isDivider(block))
            kept.push_back(block);

    if (!kept.empty()) {
        const int from = kept.front().position();
        const int to = paragraphEnd(kept.back());
        if (to > from) {
            UndoStep step(document);
            if (editing.shouldChange(from, to - from)) {
                for (const QTextBlock& block : kept) {
                    const int start = block.position();
                    for (const Run& run : runsIn(document, start, start + block.length() - 1)) {
                        QTextCharFormat change;
                        Typography::setFont(change,
                                            Typography::font(role, bold, Typography::isItalic(run.format)));
                        Typography::setKern(change, Typography::kern(role));
                        merge(document, run, change);
                    }
                }
                editing.afterEdit();
            }
        }
    }

    if (!cursor.hasSelection()) {
        QTextCharFormat typing = editing.typingFormat();
        Typography::setFont(typing, Typography::font(role, bold, Typography::isItalic(typing)));
        Typography::setKern(typing, Typography::kern(role));
        editing.setTypingFormat(typing);
    }
}

void toggleBold(NoteEditing& editing, QTextCursor& cursor)
{
    toggleTrait(editing, cursor, Trait::bold);
}

void toggleItalic(NoteEditing& editing, QTextCursor& cursor)
{
    toggleTrait(editing, cursor, Trait::italic);
}

void toggleUnderline(NoteEditing& editing, QTextCursor& cursor)
{
    if (!editing.isEditable())
        return;
    if (!cursor.hasSelection()) {
        QTextCharFormat typing = editing.typingFormat();
        if (isUnderlined(typing))
            clearUnderline(typing);
        else
            typing.setUnderlineStyle(QTextCharFormat::SingleUnderline);
        editing.setTypingFormat(typing);
        return;
    }
    QTextDocument& document = editing.document();
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    const std::vector<Run> runs = runsIn(document, start, end);
    const bool everyRunIs =
        std::all_of(runs.begin(), runs.end(), [](const Run& run) { return isUnderlined(run.format); });
    UndoStep step(document);
    if (!editing.shouldChange(start, end - start))
        return;
    if (everyRunIs) {
        // Cleared rather than set to "none", so the runs join their neighbours' formats again.
        for (const Run& run : runs) {
            QTextCharFormat format = run.format;
            clearUnderline(format);
            selecting(document, run.position, run.length).setCharFormat(format);
        }
    } else {
        QTextCharFormat change;
        change.setUnderlineStyle(QTextCharFormat::SingleUnderline);
        for (const Run& run : runs)
            merge(document, run, change);
    }
    editing.afterEdit();
}

void toggleList(NoteEditing& editing, QTextCursor& cursor, ParagraphKind::Case kase)
{
    const ParagraphKind target = listKind(kase);
    if (!editing.isEditable() || !target.isList())
        return;
    QTextDocument& document = editing.document();
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();

    struct Item {
        int position;
        bool empty;
        ParagraphInfo info;
    };
    std::vector<Item> items;
    for (const QTextBlock& block : coveringParagraphs(document, start, end)) {
        const ParagraphInfo info = ParagraphMarkers::parse(block.text());
        if (!info.kind.is(ParagraphKind::Case::divider))
            items.push_back({block.position(), block.length() <= 1, info});
    }
    if (items.empty())
        return;

    // Any tick and any number count as already being that kind of list.
    const bool remove =
        std::all_of(items.begin(), items.end(), [kase](const Item& item) { return item.info.kind.is(kase); });
    const QString marker = ParagraphMarkers::marker(target);
    const int caretParagraph = document.findBlock(std::min(start, textLength(document))).position();

    UndoStep step(document);
    int delta = 0;
    int caretDelta = 0;
    // From the last paragraph back, so the positions taken before any edit still hold.
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        const int at = it->position + it->info.markerStart;
        const int length = it->info.kind.isList() ? it->info.markerLength : 0;
        const QString text = remove ? QString() : marker;
        if (length == 0 && text.isEmpty())
            continue;
        if (!remove && it->info.kind == target)
            continue; // already this very marker
        const std::optional<int> attributesFrom = it->empty ? std::nullopt : std::optional<int>(it->position);
        if (!editing.replace(at, length, text, attributesFrom))
            continue;
        const int change = int(text.size()) - length;
        delta += change;
        if (it->position == caretParagraph)
            caretDelta = change;
    }
    editing.renumber();
    editing.afterEdit();

    const int total = textLength(document);
    if (start != end) {
        const int first = items.front().position;
        const int length = std::max(0, end - first + delta);
        cursor.setPosition(std::min(first, total));
        cursor.setPosition(std::min(first + length, total), QTextCursor::KeepAnchor);
    } else {
        // A caret in front of a removed marker would otherwise land in the paragraph before.
        cursor.setPosition(std::clamp(start + caretDelta, std::min(caretParagraph, total), total));
    }
}

void insertDivider(NoteEditing& editing, QTextCursor& cursor)
{
    if (!editing.isEditable())
        return;
    QTextDocument& document = editing.document();
    const QTextBlock paragraph = document.findBlock(std::min(cursor.selectionStart(), textLength(document)));
    const QString text = paragraph.text();
    const bool hasBreak = paragraph.next().isValid();
    const bool blank = std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
    const QString rules = ParagraphMarkers::divider();
    const QTextCharFormat dividerFormat = Typography::dividerFormat();

    UndoStep step(document);
    QTextCursor edit(&document);
    int caret = 0;
    if (!blank) {
        const int at = paragraphEnd(paragraph);
        const QString inserted = (hasBreak ? QString() : u"\n"_s) + rules + u'\n';
        if (!editing.shouldChange(at, 0, inserted))
            return;
        edit.setPosition(at);
        if (!hasBreak)
            edit.insertText(u"\n"_s, editing.typingFormat());
        edit.insertText(rules + u'\n', dividerFormat);
        caret = at + int(inserted.size());
    } else {
        const int at = paragraph.position();
        const QString replacement = hasBreak ? rules : rules + u'\n';
        if (!editing.shouldChange(at, int(text.size()), replacement))
            return;
        edit = selecting(document, at, int(text.size()));
        edit.insertText(replacement, dividerFormat);
        caret = std::min(at + ParagraphMarkers::dividerLength + 1, textLength(document));
    }
    if (!hasBreak) {
        // The new last paragraph copied the style of the one it was split from, and the styler leaves an
        // empty last paragraph alone: it starts as plain left-to-right body text, like the typing format.
        QTextCursor(document.lastBlock())
            .setBlockFormat(
                Typography::paragraphStyle(TextRole::body, ParagraphKind::plain(), TextDirection::ltr));
    }
    editing.setTypingFormat(Typography::bodyTypingFormat());
    editing.afterEdit();
    cursor.setPosition(caret);
}

void setDirection(NoteEditing& editing, QTextCursor& cursor, Direction direction)
{
    if (!editing.isEditable())
        return;
    QTextDocument& document = editing.document();
    const int anchor = cursor.anchor();
    const int position = cursor.position();
    const std::vector<QTextBlock> paragraphs =
        coveringParagraphs(document, cursor.selectionStart(), cursor.selectionEnd());
    const std::optional<QString> mark =
        direction == Direction::automatic
            ? std::nullopt
            : std::optional<QString>(
                  QChar(direction == Direction::leftToRight ? Bidi::leftToRightMark : Bidi::rightToLeftMark));

    // Selection ends move with the marks inserted or deleted before them, so they stay on the same text.
    int anchorShift = 0;
    int positionShift = 0;
    auto shift = [&](int at, int change) {
        // A mark goes in front of the paragraph's text, so an end at the paragraph's start moves past it.
        if (anchor > at || (change > 0 && anchor == at))
            anchorShift += change;
        if (position > at || (change > 0 && position == at))
            positionShift += change;
    };

    UndoStep step(document);
    bool edited = false;
    for (auto it = paragraphs.rbegin(); it != paragraphs.rend(); ++it) {
        const int at = it->position();
        const QString text = it->text();
        const bool marked = !text.isEmpty() &&
                            (text.front() == Bidi::leftToRightMark || text.front() == Bidi::rightToLeftMark);
        if (marked) {
            if (!mark) {
                if (editing.replace(at, 1, QString(), at)) {
                    shift(at, -1);
                    edited = true;
                }
            } else if (text.front() != mark->front()) {
                edited = editing.replace(at, 1, *mark, at) || edited;
            }
        } else if (mark) {
            const std::optional<int> attributesFrom = text.isEmpty() ? std::nullopt : std::optional<int>(at);
            if (editing.replace(at, 0, *mark, attributesFrom)) {
                shift(at, 1);
                edited = true;
            }
        }
    }
    if (edited)
        editing.afterEdit();

    const int total = textLength(document);
    cursor.setPosition(std::clamp(anchor + anchorShift, 0, total));
    cursor.setPosition(std::clamp(position + positionShift, 0, total), QTextCursor::KeepAnchor);
}

void pastePlain(NoteEditing& editing, QTextCursor& cursor, const QString& clipboardText)
{
    QString text = clipboardText;
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');

    QTextDocument& document = editing.document();
    const int start = cursor.selectionStart();
    const int length = cursor.selectionEnd() - start;
    UndoStep step(document);
    if (!editing.shouldChange(start, length, text))
        return;
    // One insert for the whole text: QTextCursor turns its line breaks into paragraphs as it goes.
    cursor.insertText(text, editing.typingFormat());
    editing.afterEdit();
}

void pasteNote(NoteEditing& editing, QTextCursor& cursor, const QTextDocument& pasted)
{
    QString text = pasted.toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    QTextDocument& document = editing.document();
    const int start = cursor.selectionStart();
    const int length = cursor.selectionEnd() - start;
    UndoStep step(document);
    if (!editing.shouldChange(start, length, text))
        return;
    cursor.insertFragment(QTextDocumentFragment(&pasted));
    editing.afterEdit();
}

} // namespace vorn::notes::NoteFormatting
