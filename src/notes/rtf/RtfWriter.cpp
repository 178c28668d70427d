#include "notes/rtf/RtfDocument.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdint>

// Writes only what notes use, in a fixed order, so the same document always gives the same bytes.
//
// Lengths go out in twips (1/20 pt), rounded to the nearest; the reader divides by 20, so every length
// the reader produced comes back unchanged. Font sizes go out in half points (\fs), rounded to the
// nearest half point (10.3 → 10.5, 10.2 → 10); a size above 0 never rounds to nothing.
//
// The gap between lines is our own ignorable destination {\*\vornlinegap N} (twips): RTF's \sl is the
// whole line height, and turning a gap into a height needs the font's metrics, which the codec does not
// have. Other readers skip the destination and keep their own line spacing.
//
// Each run is its own group, so it starts from the document's defaults: a run without a size writes
// none, and nothing leaks into the next run. Runs without a font use font 0, an empty-named entry that
// reads back as "no font named"; it is only written when such a run exists.
namespace vorn::rtf {

namespace {

std::int32_t clampToInt32(double value)
{
    if (!(value == value))
        return 0; // NaN
    const double rounded = std::round(value);
    if (rounded <= double(INT32_MIN))
        return INT32_MIN;
    if (rounded >= double(INT32_MAX))
        return INT32_MAX;
    return static_cast<std::int32_t>(rounded);
}

std::int32_t twips(double points)
{
    return clampToInt32(points * 20);
}

std::int32_t halfPoints(double points)
{
    if (points <= 0)
        return 0;
    return std::max<std::int32_t>(1, clampToInt32(points * 2));
}

class Writer {
public:
    explicit Writer(const Document& document) : document_(document) {}
    QByteArray write();

private:
    void collectTables();
    void word(const char* name) { out_ += name; }
    void word(const char* name, std::int32_t value)
    {
        out_ += name;
        out_ += QByteArray::number(value);
    }
    void text(QStringView text, bool inTable);
    void paragraph(const Paragraph& paragraph);
    void run(const Run& run);

    const Document& document_;
    QByteArray out_;
    QStringList fonts_;
    bool emptyFont_ = false;  // some run names no font: font 0 is the empty entry
    std::vector<Rgb> colors_; // entry i + 1 of the colour table
};

QByteArray Writer::write()
{
    collectTables();
    out_ += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n{\\fonttbl";
    int index = 0;
    if (emptyFont_)
        out_ += "{\\f" + QByteArray::number(index++) + "\\fnil\\fcharset0 ;}";
    for (const QString& family : fonts_) {
        // Only sans families are worth telling apart from "nil" for a reader without the font.
        const bool swiss = family.contains(u"Sans", Qt::CaseInsensitive) ||
                           family.contains(u"Arial", Qt::CaseInsensitive) ||
                           family.contains(u"Helvetica", Qt::CaseInsensitive) ||
                           family.contains(u"Inter", Qt::CaseInsensitive);
        out_ += "{\\f" + QByteArray::number(index++) + (swiss ? "\\fswiss" : "\\fnil") + "\\fcharset0 ";
        text(family, true);
        out_ += ";}";
    }
    out_ += "}\n{\\colortbl;";
    for (const Rgb color : colors_) {
        word("\\red", (color >> 16) & 0xFF);
        word("\\green", (color >> 8) & 0xFF);
        word("\\blue", color & 0xFF);
        out_ += ';';
    }
    out_ += "}\n";
    if (!document_.comment.isEmpty()) {
        out_ += "{\\info{\\doccomm ";
        text(document_.comment, false);
        out_ += "}}\n";
    }
    for (const Paragraph& p : document_.paragraphs)
        paragraph(p);
    out_ += "}\n";
    return out_;
}

void Writer::collectTables()
{
    // In order of first use: deterministic, and the first font named is the document's default.
    for (const Paragraph& p : document_.paragraphs) {
        for (const Run& r : p.runs) {
            QString family = r.props.fontFamily;
            family.remove(u';'); // ends a font table entry; no family needs it
            if (family.trimmed().isEmpty())
                emptyFont_ = true;
            else if (!fonts_.contains(family.trimmed()))
                fonts_.append(family.trimmed());
            if (r.props.color) {
                const Rgb rgb = *r.props.color & 0xFFFFFF;
                if (std::find(colors_.begin(), colors_.end(), rgb) == colors_.end())
                    colors_.push_back(rgb);
            }
        }
    }
}

void Writer::paragraph(const Paragraph& paragraph)
{
    const ParaProps& props = paragraph.props;
    word("\\pard");
    word(props.rightToLeft ? "\\rtlpar" : "\\ltrpar");
    switch (props.alignment) {
    case Alignment::Natural:
        break;
    case Alignment::Left:
        word("\\ql");
        break;
    case Alignment::Right:
        word("\\qr");
        break;
    case Alignment::Center:
        word("\\qc");
        break;
    case Alignment::Justify:
        word("\\qj");
        break;
    }
    const std::pair<const char*, double> lengths[] = {
        {"\\sb", props.spaceBefore}, {"\\sa", props.spaceAfter},      {"\\li", props.leftIndent},
        {"\\ri", props.rightIndent}, {"\\fi", props.firstLineIndent},
    };
    for (const auto& [name, points] : lengths) {
        if (const std::int32_t value = twips(points))
            word(name, value);
    }
    const std::size_t tabs = std::min(props.tabStops.size(), static_cast<std::size_t>(maxTabStops));
    for (std::size_t i = 0; i < tabs; ++i)
        word("\\tx", twips(props.tabStops[i]));
    if (const std::int32_t gap = twips(props.lineSpacing)) {
        word("{\\*\\vornlinegap", gap);
        out_ += '}';
    }
    for (const Run& r : paragraph.runs)
        run(r);
    out_ += "\\par\n";
}

void Writer::run(const Run& run)
{
    if (run.text.isEmpty())
        return;
    const CharProps& props = run.props;
    out_ += '{';
    QString family = props.fontFamily;
    family = family.remove(u';').trimmed();
    const qsizetype font = family.isEmpty() ? -1 : fonts_.indexOf(family);
    word("\\f", static_cast<std::int32_t>(font < 0 ? 0 : font + (emptyFont_ ? 1 : 0)));
    if (const std::int32_t size = halfPoints(props.pointSize))
        word("\\fs", size);
    word(props.bold ? "\\b" : "\\b0");
    word(props.italic ? "\\i" : "\\i0");
    word(props.underline ? "\\ul" : "\\ulnone");
    std::int32_t color = 0;
    if (props.color) {
        const auto found = std::find(colors_.begin(), colors_.end(), *props.color & 0xFFFFFF);
        color = static_cast<std::int32_t>(found - colors_.begin()) + 1;
    }
    word("\\cf", color);
    if (const std::int32_t kern = twips(props.kern))
        word("\\expndtw", kern);
    out_ += ' ';
    text(run.text, false);
    out_ += '}';
}

void Writer::text(QStringView text, bool inTable)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out_ += '\\';
            out_ += char(u);
        } else if (u == '\t' && !inTable) {
            out_ += "\\tab ";
        } else if (u == 0x2028 && !inTable) {
            out_ += "\\line ";
        } else if (u >= 0x20 && u < 0x7F) {
            out_ += char(u);
        } else if (u < 0x20) {
            // Other control characters are no text the reader keeps.
        } else {
            // \u takes a signed 16-bit number; a character beyond the BMP goes as its two surrogates.
            word("\\u", static_cast<std::int16_t>(u));
            out_ += '?';
        }
    }
}

} // namespace

QByteArray write(const Document& document)
{
    return Writer(document).write();
}

} // namespace vorn::rtf
