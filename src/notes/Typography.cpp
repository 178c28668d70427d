#include "notes/Typography.h"

#include "notes/NoteFormats.h"

#include <QFontDatabase>
#include <QTextOption>

#include <array>

namespace vorn::notes {

std::optional<TextRole> textRole(int rawValue)
{
    if (rawValue < 0 || rawValue > 3)
        return std::nullopt;
    return TextRole(rawValue);
}

std::optional<int> rank(TextRole role)
{
    if (role == TextRole::body)
        return std::nullopt;
    return int(role);
}

namespace Typography {

namespace {

constexpr double kListIndent = 24;
constexpr double kListSpacingAfter = 3;

struct Spacing {
    double line;
    double before;
    double after;
};

Spacing spacing(TextRole role)
{
    switch (role) {
    case TextRole::title:
        return {2, 0, 10};
    case TextRole::heading:
        return {2, 12, 6};
    case TextRole::subheading:
        return {2, 8, 4};
    case TextRole::body:
        break;
    }
    return {5, 0, 6};
}

} // namespace

double size(TextRole role)
{
    switch (role) {
    case TextRole::title:
        return 28;
    case TextRole::heading:
        return 21;
    case TextRole::subheading:
        return 17;
    case TextRole::body:
        break;
    }
    return bodySize;
}

double kern(TextRole role)
{
    switch (role) {
    case TextRole::title:
        return -0.5;
    case TextRole::heading:
        return -0.3;
    case TextRole::subheading:
        return -0.1;
    case TextRole::body:
        break;
    }
    return 0;
}

TextRole role(double size)
{
    if (size >= 26.5)
        return TextRole::title;
    if (size >= 19.5)
        return TextRole::heading;
    if (size >= 16.5)
        return TextRole::subheading;
    return TextRole::body;
}

bool hasSize(const QTextCharFormat& format)
{
    return format.hasProperty(QTextFormat::FontPixelSize);
}

TextRole role(const QTextCharFormat& format)
{
    if (!hasSize(format))
        return TextRole::body;
    return role(format.intProperty(QTextFormat::FontPixelSize));
}

QString family()
{
    static const QString chosen = [] {
        if (QFontDatabase::hasFamily(QStringLiteral("Inter")))
            return QStringLiteral("Inter");
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    return chosen;
}

QFont font(TextRole role, std::optional<bool> bold, bool italic)
{
    const bool isBoldFont = bold.value_or(role != TextRole::body);
    QFont f(family());
    f.setPixelSize(int(size(role)));
    if (isBoldFont)
        f.setWeight(role == TextRole::heading || role == TextRole::subheading ? QFont::DemiBold
                                                                              : QFont::Bold);
    else
        f.setWeight(QFont::Normal);
    f.setItalic(italic);
    return f;
}

bool isBold(const QTextCharFormat& format)
{
    // Semibold counts: a heading's bold is semibold.
    return format.hasProperty(QTextFormat::FontWeight) && format.fontWeight() >= QFont::DemiBold;
}

bool isItalic(const QTextCharFormat& format)
{
    return format.fontItalic();
}

void setFont(QTextCharFormat& format, const QFont& font)
{
    format.setFontFamilies(QStringList{font.family()});
    format.setProperty(QTextFormat::FontPixelSize, font.pixelSize());
    format.setFontWeight(font.weight());
    format.setFontItalic(font.italic());
}

void setKern(QTextCharFormat& format, double value)
{
    format.setFontLetterSpacingType(QFont::AbsoluteSpacing);
    format.setFontLetterSpacing(value);
}

double kern(const QTextCharFormat& format)
{
    if (format.fontLetterSpacingType() != QFont::AbsoluteSpacing)
        return 0;
    return format.fontLetterSpacing();
}

void setStandardColor(QTextCharFormat& format)
{
    format.clearForeground();
}

QColor tertiaryColor()
{
    return QColor(128, 128, 134, 120);
}

namespace {

QTextBlockFormat makeParagraphStyle(TextRole role, ParagraphKind kind, TextDirection direction)
{
    QTextBlockFormat style;
    const bool divider = kind.is(ParagraphKind::Case::divider);
    const bool rtl = direction == TextDirection::rtl && !divider;
    style.setLayoutDirection(rtl ? Qt::RightToLeft : Qt::LeftToRight);
    // Natural alignment follows the block's direction; a divider is pinned to the left.
    style.setAlignment(divider ? Qt::AlignLeft | Qt::AlignAbsolute : Qt::AlignLeading);

    const Spacing s = spacing(role);
    style.setLineHeight(s.line, QTextBlockFormat::LineDistanceHeight);
    style.setTopMargin(s.before);
    style.setBottomMargin(s.after);
    style.setLeftMargin(0);
    style.setRightMargin(0);
    style.setTextIndent(0);
    style.setNonBreakableLines(false);
    style.setTabPositions({});

    if (kind.isList()) {
        // The marker sits at the margin; its TAB carries the text to the indent, where wrapped lines start.
        // Qt's margins are physical, so the indent goes on the leading side.
        if (rtl)
            style.setRightMargin(kListIndent);
        else
            style.setLeftMargin(kListIndent);
        style.setTextIndent(-kListIndent);
        style.setTabPositions(
            {QTextOption::Tab(kListIndent, rtl ? QTextOption::RightTab : QTextOption::LeftTab)});
        style.setBottomMargin(kListSpacingAfter);
    } else if (divider) {
        // The rule is longer than any line: it never wraps, the view clips it.
        style.setNonBreakableLines(true);
        style.setLineHeight(0, QTextBlockFormat::LineDistanceHeight);
        style.setTopMargin(8);
        style.setBottomMargin(8);
    }
    return style;
}

} // namespace

QTextBlockFormat paragraphStyle(TextRole role, ParagraphKind kind, TextDirection direction)
{
    // Restyling asks for a style per paragraph on every keystroke and load: there are only 40 of them.
    // Made once each; only the GUI thread styles notes.
    static std::array<std::optional<QTextBlockFormat>, 4 * 5 * 2> made;
    auto& slot = made[std::size_t((int(role) * 5 + int(kind.kase)) * 2 + int(direction))];
    if (!slot)
        slot = makeParagraphStyle(role, kind, direction);
    return *slot;
}

bool sameParagraphStyle(const QTextBlockFormat& a, const QTextBlockFormat& b)
{
    return a.layoutDirection() == b.layoutDirection() && a.alignment() == b.alignment() &&
           a.lineHeight() == b.lineHeight() && a.lineHeightType() == b.lineHeightType() &&
           a.bottomMargin() == b.bottomMargin() && a.topMargin() == b.topMargin() &&
           a.leftMargin() == b.leftMargin() && a.rightMargin() == b.rightMargin() &&
           a.textIndent() == b.textIndent() && a.nonBreakableLines() == b.nonBreakableLines() &&
           a.tabPositions().size() == b.tabPositions().size();
}

QTextCharFormat roleFormat(TextRole role, std::optional<bool> bold, bool italic)
{
    // Normalising a loaded note asks for one per run; a QFont is costly to make, and there are 16.
    static std::array<std::optional<QTextCharFormat>, 4 * 2 * 2> made;
    const bool isBoldFont = bold.value_or(role != TextRole::body);
    auto& slot = made[std::size_t((int(role) * 2 + int(isBoldFont)) * 2 + int(italic))];
    if (!slot) {
        QTextCharFormat format;
        setFont(format, font(role, isBoldFont, italic));
        setKern(format, kern(role));
        setStandardColor(format);
        slot = format;
    }
    return *slot;
}

QTextCharFormat normalizedRun(const QTextCharFormat& run, TextRole role)
{
    const bool hasFont = hasSize(run) || run.hasProperty(QTextFormat::FontPointSize) ||
                         run.hasProperty(QTextFormat::FontFamilies) ||
                         run.hasProperty(QTextFormat::FontWeight);
    QTextCharFormat out =
        hasFont ? roleFormat(role, isBold(run), isItalic(run)) : roleFormat(role, std::nullopt, false);
    if (run.fontUnderline())
        out.setFontUnderline(true);
    if (run.hasProperty(NoteProperty::collapsible))
        out.setProperty(NoteProperty::collapsible, run.property(NoteProperty::collapsible));
    return out;
}

QTextCharFormat bodyTypingFormat()
{
    return roleFormat(TextRole::body, false, false);
}

QTextCharFormat dividerFormat()
{
    static const QTextCharFormat made = [] {
        QTextCharFormat format;
        QFont f(family());
        f.setPixelSize(int(dividerSize));
        f.setWeight(QFont::Light);
        setFont(format, f);
        setKern(format, 0);
        format.setForeground(tertiaryColor());
        return format;
    }();
    return made;
}

} // namespace Typography

} // namespace vorn::notes
