#include "notes/RichTextRtf.h"

#include "notes/Bidi.h"
#include "notes/ParagraphMarkers.h"
#include "notes/Sections.h"
#include "notes/Typography.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace vorn::notes::RichTextRtf {

namespace {

rtf::Alignment alignment(Qt::Alignment a)
{
    const Qt::Alignment horizontal = a & Qt::AlignHorizontal_Mask;
    if (horizontal & Qt::AlignHCenter)
        return rtf::Alignment::Center;
    if (horizontal & Qt::AlignJustify)
        return rtf::Alignment::Justify;
    if (!(horizontal & Qt::AlignAbsolute))
        return horizontal & Qt::AlignRight ? rtf::Alignment::Right : rtf::Alignment::Natural;
    return horizontal & Qt::AlignRight ? rtf::Alignment::Right : rtf::Alignment::Left;
}

Qt::Alignment alignment(rtf::Alignment a)
{
    switch (a) {
    case rtf::Alignment::Left:
        return Qt::AlignLeft | Qt::AlignAbsolute;
    case rtf::Alignment::Right:
        return Qt::AlignRight | Qt::AlignAbsolute;
    case rtf::Alignment::Center:
        return Qt::AlignHCenter;
    case rtf::Alignment::Justify:
        return Qt::AlignJustify;
    case rtf::Alignment::Natural:
        break;
    }
    return Qt::AlignLeading;
}

rtf::ParaProps paraProps(const QTextBlockFormat& f)
{
    rtf::ParaProps p;
    p.rightToLeft = f.layoutDirection() == Qt::RightToLeft;
    p.alignment = alignment(f.alignment());
    p.spaceBefore = f.topMargin();
    p.spaceAfter = f.bottomMargin();
    p.lineSpacing = f.lineHeightType() == QTextBlockFormat::LineDistanceHeight ? f.lineHeight() : 0;
    p.leftIndent = f.leftMargin();
    p.rightIndent = f.rightMargin();
    p.firstLineIndent = f.textIndent();
    for (const QTextOption::Tab& tab : f.tabPositions())
        p.tabStops.push_back(tab.position);
    return p;
}

QTextBlockFormat blockFormat(const rtf::ParaProps& p)
{
    QTextBlockFormat f;
    f.setLayoutDirection(p.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    f.setAlignment(alignment(p.alignment));
    f.setTopMargin(p.spaceBefore);
    f.setBottomMargin(p.spaceAfter);
    if (p.lineSpacing != 0)
        f.setLineHeight(p.lineSpacing, QTextBlockFormat::LineDistanceHeight);
    f.setLeftMargin(p.leftIndent);
    f.setRightMargin(p.rightIndent);
    f.setTextIndent(p.firstLineIndent);
    QList<QTextOption::Tab> tabs;
    for (double stop : p.tabStops)
        tabs << QTextOption::Tab(stop, QTextOption::LeftTab);
    if (!tabs.isEmpty())
        f.setTabPositions(tabs);
    return f;
}

QString firstFamily(const QTextCharFormat& f)
{
    const QStringList families = f.fontFamilies().toStringList();
    return families.isEmpty() ? QString() : families.first();
}

rtf::CharProps charProps(const QTextCharFormat& f)
{
    rtf::CharProps c;
    c.fontFamily = firstFamily(f);
    // The editor's pixel goes out as a point: body text (15 px) is \fs30, as other programs expect.
    c.pointSize = Typography::hasSize(f) ? f.intProperty(QTextFormat::FontPixelSize) : 0;
    c.bold = Typography::isBold(f);
    c.italic = Typography::isItalic(f);
    c.underline = f.fontUnderline();
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
        c.color = f.foreground().color().rgb();
    c.kern = Typography::kern(f);
    return c;
}

QTextCharFormat charFormat(const rtf::CharProps& c)
{
    QTextCharFormat f;
    if (!c.fontFamily.isEmpty())
        f.setFontFamilies(QStringList{c.fontFamily});
    if (c.pointSize > 0)
        f.setProperty(QTextFormat::FontPixelSize, std::max(1, qRound(c.pointSize)));
    f.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.italic);
    if (c.underline)
        f.setFontUnderline(true);
    if (c.color)
        f.setForeground(QColor::fromRgb(*c.color));
    if (c.kern != 0)
        Typography::setKern(f, c.kern);
    return f;
}

} // namespace

rtf::Document toRtf(const QTextDocument& text)
{
    rtf::Document out;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        rtf::Paragraph paragraph;
        paragraph.props = paraProps(block.blockFormat());
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            rtf::Run run{fragment.text(), charProps(fragment.charFormat())};
            // Embedded objects are not note text.
            run.text.remove(QChar::ObjectReplacementCharacter);
            if (!run.text.isEmpty())
                paragraph.runs.push_back(std::move(run));
        }
        out.paragraphs.push_back(std::move(paragraph));
    }
    return out;
}

std::shared_ptr<const Snapshot::Block> copyOf(const QTextBlock& block)
{
    auto out = std::make_shared<Snapshot::Block>();
    out->format = block.blockFormatIndex();
    out->text = block.text();
    // Positions are counted along the way: asking a fragment for its own searches the tree.
    int position = 0;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int length = fragment.length();
        out->fragments.push_back({position, length, fragment.charFormatIndex()});
        position += length;
    }
    out->headingRank = Sections::headingRank(block);
    return out;
}

Snapshot snapshot(const QTextDocument& text)
{
    Snapshot out;
    out.formats = text.allFormats();
    out.blocks.reserve(std::size_t(text.blockCount()));
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next())
        out.blocks.push_back(copyOf(block));
    return out;
}

rtf::Document toRtf(const Snapshot& snapshot)
{
    // Notes use few formats and many runs: each format is read once.
    std::vector<std::optional<rtf::CharProps>> chars(std::size_t(snapshot.formats.size()));
    const auto charsOf = [&](int index) -> const rtf::CharProps& {
        std::optional<rtf::CharProps>& props = chars[std::size_t(index)];
        if (!props)
            props = charProps(snapshot.formats.at(index).toCharFormat());
        return *props;
    };
    const auto valid = [&](int index) { return index >= 0 && index < snapshot.formats.size(); };
    rtf::Document out;
    out.paragraphs.reserve(snapshot.blocks.size());
    for (const std::shared_ptr<const Snapshot::Block>& block : snapshot.blocks) {
        rtf::Paragraph paragraph;
        paragraph.props = paraProps(valid(block->format) ? snapshot.formats.at(block->format).toBlockFormat()
                                                         : QTextBlockFormat());
        for (const Snapshot::Fragment& fragment : block->fragments) {
            rtf::Run run{block->text.mid(fragment.position, fragment.length),
                         valid(fragment.format) ? charsOf(fragment.format) : charProps(QTextCharFormat())};
            // Embedded objects are not note text.
            run.text.remove(QChar::ObjectReplacementCharacter);
            if (!run.text.isEmpty())
                paragraph.runs.push_back(std::move(run));
        }
        out.paragraphs.push_back(std::move(paragraph));
    }
    return out;
}

void fromRtf(const rtf::Document& document, QTextDocument& into, Formats formats)
{
    QTextCursor cursor(&into);
    // One edit block: outside one, every insert makes Qt lay out the block to place the cursor.
    cursor.beginEditBlock();
    bool first = true;
    std::vector<QTextCharFormat> runFormats;
    TextDirection inherited = TextDirection::ltr;
    QString text;
    for (const rtf::Paragraph& paragraph : document.paragraphs) {
        runFormats.clear();
        text.clear();
        for (const rtf::Run& run : paragraph.runs)
            text += run.text;
        QTextBlockFormat format;
        if (formats == Formats::normalized) {
            const ParagraphKind kind = ParagraphMarkers::parse(text).kind;
            const bool divider = kind.is(ParagraphKind::Case::divider);
            const double firstSize = paragraph.runs.empty() ? 0 : paragraph.runs.front().props.pointSize;
            const TextRole role = firstSize > 0 ? Typography::role(firstSize) : TextRole::body;
            // What normalising makes of each run, straight from its values: the role's face with the
            // run's own bold and italic, underline kept.
            for (const rtf::Run& run : paragraph.runs) {
                if (divider) {
                    runFormats.push_back(Typography::dividerFormat());
                    continue;
                }
                QTextCharFormat normalized = Typography::roleFormat(role, run.props.bold, run.props.italic);
                if (run.props.underline)
                    normalized.setFontUnderline(true);
                runFormats.push_back(std::move(normalized));
            }
            // The styler's pass over a whole note, done on the way in: a paragraph without a strong
            // letter takes the direction before it, and a divider passes none on.
            const TextDirection direction = Bidi::direction(text).value_or(inherited);
            format = Typography::paragraphStyle(role, kind, divider ? TextDirection::ltr : direction);
            if (!divider)
                inherited = direction;
        } else {
            for (const rtf::Run& run : paragraph.runs)
                runFormats.push_back(charFormat(run.props));
            format = blockFormat(paragraph.props);
        }
        const QTextCharFormat paragraphFormat =
            runFormats.empty()
                ? (formats == Formats::normalized ? Typography::bodyTypingFormat() : QTextCharFormat())
                : runFormats.front();
        if (first) {
            cursor.setBlockFormat(format);
            cursor.setBlockCharFormat(paragraphFormat);
        } else {
            cursor.insertBlock(format, paragraphFormat);
        }
        first = false;
        // Neighbouring runs that came out alike go in as one insert.
        qsizetype offset = 0;
        for (std::size_t i = 0; i < paragraph.runs.size();) {
            std::size_t j = i + 1;
            qsizetype length = paragraph.runs[i].text.size();
            while (j < paragraph.runs.size() && runFormats[j] == runFormats[i])
                length += paragraph.runs[j++].text.size();
            cursor.insertText(text.mid(offset, length), runFormats[i]);
            offset += length;
            i = j;
        }
    }
    cursor.endEditBlock();
}

} // namespace vorn::notes::RichTextRtf
