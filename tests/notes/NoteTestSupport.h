#pragma once

#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>

namespace vorn::notes::test {

// The paragraphs of a document as strings, without their separators.
inline QStringList paragraphs(const QTextDocument& document)
{
    QStringList out;
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next())
        out << b.text();
    return out;
}

inline QString tab()
{
    return QStringLiteral("\t");
}

} // namespace vorn::notes::test
