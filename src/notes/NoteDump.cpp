#include "notes/NoteDump.h"

#include "notes/MarkerEdits.h"
#include "notes/ParagraphMarkers.h"
#include "notes/Typography.h"

#include <QTextBlock>
#include <QTextDocument>

namespace vorn::notes {

namespace {

QString kindName(ParagraphKind kind)
{
    switch (kind.kase) {
    case ParagraphKind::Case::checkbox:
        return kind.checked ? QStringLiteral("checkbox(checked)") : QStringLiteral("checkbox");
    case ParagraphKind::Case::number:
        return QStringLiteral("number(%1)").arg(kind.number);
    case ParagraphKind::Case::bullet:
        return QStringLiteral("bullet");
    case ParagraphKind::Case::divider:
        return QStringLiteral("divider");
    case ParagraphKind::Case::plain:
        break;
    }
    return QStringLiteral("plain");
}

QString roleName(TextRole role)
{
    switch (role) {
    case TextRole::title:
        return QStringLiteral("title");
    case TextRole::heading:
        return QStringLiteral("heading");
    case TextRole::subheading:
        return QStringLiteral("subheading");
    case TextRole::body:
        break;
    }
    return QStringLiteral("body");
}

QString traits(const QTextCharFormat& f)
{
    QString out = QStringLiteral("---");
    if (Typography::isBold(f))
        out[0] = u'b';
    if (Typography::isItalic(f))
        out[1] = u'i';
    if (f.fontUnderline())
        out[2] = u'u';
    return out;
}

// Quoted, with the characters that would break the line made visible. A divider's rule is shortened.
QString quoted(QString text)
{
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'\t', QStringLiteral("\\t"));
    text.replace(QChar::LineSeparator, QStringLiteral("\\u2028"));
    text.replace(QChar(0x200E), QStringLiteral("\\u200e"));
    text.replace(QChar(0x200F), QStringLiteral("\\u200f"));
    text.replace(u'"', QStringLiteral("\\\""));
    return u'"' + text + u'"';
}

} // namespace

QString dump(const QTextDocument& note)
{
    QString out;
    int index = 0;
    for (QTextBlock block = note.begin(); block.isValid(); block = block.next(), ++index) {
        const QString text = block.text();
        const ParagraphInfo info = ParagraphMarkers::parse(text);
        const TextRole role =
            Typography::role(charFormatAt(note, block.position()).value_or(QTextCharFormat()));
        const bool rtl = block.blockFormat().layoutDirection() == Qt::RightToLeft;
        out += QStringLiteral("#%1 %2 %3 %4\n")
                   .arg(index)
                   .arg(kindName(info.kind), roleName(role), rtl ? u"rtl" : u"ltr");
        if (info.kind.is(ParagraphKind::Case::divider)) {
            out += QStringLiteral("    %1 rule of %2\n")
                       .arg(traits(block.begin().fragment().charFormat()))
                       .arg(info.markerLength);
            continue;
        }
        // Neighbouring fragments with the same traits are one run here.
        QString runTraits, runText;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QString t = traits(fragment.charFormat());
            if (t != runTraits && !runText.isEmpty()) {
                out += QStringLiteral("    %1 %2\n").arg(runTraits, quoted(runText));
                runText.clear();
            }
            runTraits = t;
            runText += fragment.text();
        }
        if (!runText.isEmpty())
            out += QStringLiteral("    %1 %2\n").arg(runTraits, quoted(runText));
    }
    return out;
}

} // namespace vorn::notes
