#pragma once

#include "notes/rtf/RtfDocument.h"

#include <QStringList>

#include <string>
#include <utility>
#include <vector>

// What the RTF tests share: building properties by name, and documents in a form a failure can show.
namespace vorn::rtf::test {

// Properties built by name, so a case names only what it sets.
struct Chars {
    CharProps p;
    Chars& font(const QString& v) { return p.fontFamily = v, *this; }
    Chars& size(double v) { return p.pointSize = v, *this; }
    Chars& bold() { return p.bold = true, *this; }
    Chars& italic() { return p.italic = true, *this; }
    Chars& underline() { return p.underline = true, *this; }
    Chars& color(Rgb v) { return p.color = v, *this; }
    Chars& kern(double v) { return p.kern = v, *this; }
    operator CharProps() const { return p; }
};

struct Para {
    ParaProps p;
    Para& rtl() { return p.rightToLeft = true, *this; }
    Para& align(Alignment v) { return p.alignment = v, *this; }
    Para& before(double v) { return p.spaceBefore = v, *this; }
    Para& after(double v) { return p.spaceAfter = v, *this; }
    Para& gap(double v) { return p.lineSpacing = v, *this; }
    Para& left(double v) { return p.leftIndent = v, *this; }
    Para& right(double v) { return p.rightIndent = v, *this; }
    Para& first(double v) { return p.firstLineIndent = v, *this; }
    Para& tabs(std::vector<double> v) { return p.tabStops = std::move(v), *this; }
    operator ParaProps() const { return p; }
};

// A readable form of a document, so a failed comparison shows where two documents part.
inline std::string dump(const Document& document)
{
    QStringList lines;
    lines << u"comment: "_qs + document.comment;
    for (const Paragraph& p : document.paragraphs) {
        const ParaProps& pp = p.props;
        QStringList tabs;
        for (double t : pp.tabStops)
            tabs << QString::number(t);
        lines << QStringLiteral("para rtl=%1 align=%2 sb=%3 sa=%4 gap=%5 li=%6 ri=%7 fi=%8 tabs=[%9]")
                     .arg(pp.rightToLeft)
                     .arg(int(pp.alignment))
                     .arg(pp.spaceBefore)
                     .arg(pp.spaceAfter)
                     .arg(pp.lineSpacing)
                     .arg(pp.leftIndent)
                     .arg(pp.rightIndent)
                     .arg(pp.firstLineIndent)
                     .arg(tabs.join(u','));
        for (const Run& r : p.runs) {
            const CharProps& c = r.props;
            lines << QStringLiteral("  run [%1] font='%2' size=%3 b=%4 i=%5 u=%6 color=%7 kern=%8")
                         .arg(r.text, c.fontFamily)
                         .arg(c.pointSize)
                         .arg(c.bold)
                         .arg(c.italic)
                         .arg(c.underline)
                         .arg(c.color ? QString::number(*c.color, 16) : u"auto"_qs)
                         .arg(c.kern);
        }
    }
    return lines.join(u'\n').toStdString();
}

// Every paragraph's text, paragraphs joined by '|'.
inline QString plainText(const Document& document)
{
    QStringList paragraphs;
    for (const Paragraph& p : document.paragraphs) {
        QString text;
        for (const Run& r : p.runs)
            text += r.text;
        paragraphs << text;
    }
    return paragraphs.join(u'|');
}

} // namespace vorn::rtf::test
