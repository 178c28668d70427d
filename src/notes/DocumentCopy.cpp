#include "notes/DocumentCopy.h"

#include <QTextBlock>
#include <QTextDocument>

namespace vorn::notes {

DocumentCopy::DocumentCopy(QTextDocument& document) : QObject(&document), m_document(document)
{
    // A document tells its changes only once it has a layout; a view gives it one, and so does this.
    document.documentLayout();
    rebuild();
    connect(&document, &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { changed(position, added); });
}

void DocumentCopy::rebuild()
{
    m_blocks = RichTextRtf::snapshot(m_document).blocks;
}

void DocumentCopy::changed(int position, int added)
{
    // What changed now spans the paragraphs from the one holding its start to the one holding its end;
    // the paragraph count says how many of the old ones they stand for. (What was removed is not needed,
    // which is as well: Qt counts the last paragraph's separator in it or not, depending on the edit.)
    const auto blockAt = [this](int at) {
        const QTextBlock block = m_document.findBlock(at);
        return block.isValid() ? block : m_document.lastBlock();
    };
    const QTextBlock first = blockAt(position), last = blockAt(position + added);
    const int from = first.blockNumber(), to = last.blockNumber();
    const int oldTo = to - (m_document.blockCount() - int(m_blocks.size()));
    if (from < 0 || to < from || oldTo < from - 1 || oldTo >= int(m_blocks.size())) {
        rebuild(); // a change that does not add up: copy it all rather than guess
        return;
    }
    const int fresh = to - from + 1, stale = oldTo - from + 1;
    const auto at = m_blocks.begin() + from;
    if (fresh > stale)
        m_blocks.insert(at + stale, std::size_t(fresh - stale), nullptr);
    else if (fresh < stale)
        m_blocks.erase(at + fresh, at + stale);
    auto slot = m_blocks.begin() + from;
    for (QTextBlock block = first;; block = block.next()) {
        *slot++ = RichTextRtf::copyOf(block);
        if (block == last)
            break;
    }
}

RichTextRtf::Snapshot DocumentCopy::snapshot() const
{
    return {m_document.allFormats(), m_blocks};
}

std::vector<Sections::Heading> DocumentCopy::headings() const
{
    std::vector<Sections::Heading> out;
    int position = 0;
    for (std::size_t i = 0; i < m_blocks.size(); ++i) {
        const RichTextRtf::Snapshot::Block& block = *m_blocks[i];
        const int length = int(block.text.size()) + (i + 1 < m_blocks.size() ? 1 : 0);
        if (block.headingRank)
            out.push_back({position, length, *block.headingRank});
        position += int(block.text.size()) + 1;
    }
    return out;
}

QString plainText(const RichTextRtf::Snapshot& snapshot)
{
    qsizetype size = 0;
    for (const auto& block : snapshot.blocks)
        size += block->text.size() + 1;
    QString out;
    out.reserve(size);
    for (std::size_t i = 0; i < snapshot.blocks.size(); ++i) {
        if (i > 0)
            out += u'\n';
        out += snapshot.blocks[i]->text;
    }
    return out;
}

} // namespace vorn::notes
