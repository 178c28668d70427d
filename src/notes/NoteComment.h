#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace vorn::notes {

// The folded sections of a note, as its RTF document comment keeps them: ordinals of headings counted
// from 0 in text order, e.g. "collapsible=0,2;collapsed=2".
struct NoteComment {
    QList<int> collapsible;
    QList<int> collapsed;
    std::optional<qint64> created; // seconds since 1970; read, never written by the editor

    bool operator==(const NoteComment&) const = default;

    // Lenient: pieces and numbers that do not read are dropped, the rest kept. A document that records
    // only folded headings has each of them collapsible.
    static NoteComment read(QStringView comment);
    // Empty when there is nothing to record (the document then has no comment).
    QString write() const;
};

} // namespace vorn::notes
