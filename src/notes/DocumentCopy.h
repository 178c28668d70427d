#pragma once

#include "notes/RichTextRtf.h"
#include "notes/Sections.h"

#include <QObject>

#include <memory>
#include <vector>

class QTextDocument;

namespace vorn::notes {

// A copy of a document's paragraphs kept current as it changes, paragraph by paragraph, so that a snapshot
// of a note of any size costs a walk over the copies rather than over the document: a keystroke re-copies
// the paragraphs it touched, a save only shares the copies. A child of the document it follows.
class DocumentCopy : public QObject {
    Q_OBJECT

public:
    explicit DocumentCopy(QTextDocument& document);

    RichTextRtf::Snapshot snapshot() const;
    // As Sections::headings(document), from the copies.
    std::vector<Sections::Heading> headings() const;

private:
    void changed(int position, int added);
    void rebuild();

    QTextDocument& m_document;
    std::vector<std::shared_ptr<const RichTextRtf::Snapshot::Block>> m_blocks;
};

// The note's text as the record keeps it before trimming: paragraphs joined by LF.
QString plainText(const RichTextRtf::Snapshot& snapshot);

} // namespace vorn::notes
