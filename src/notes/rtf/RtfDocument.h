#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

// The part of a rich text document that notes use, as plain values: what the RTF reader produces and
// the writer consumes. It knows nothing of QTextDocument, so the codec can be tested and fuzzed without
// a GUI. Lengths are in points; RTF's twips and half-points stay inside the codec.
namespace vorn::rtf {

// The same 0xAARRGGBB value as QRgb (also an unsigned int), named here so the codec needs no Qt Gui.
using Rgb = unsigned int;

// At most this many tab stops per paragraph are kept; more are dropped when read, and not written.
inline constexpr int maxTabStops = 64;

struct CharProps {
    QString fontFamily;   // empty: no font named
    double pointSize = 0; // 0: no size given
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::optional<Rgb> color; // absent: the automatic (standard text) colour
    double kern = 0;          // extra space between characters, points

    bool operator==(const CharProps&) const = default;
};

enum class Alignment { Natural, Left, Right, Center, Justify };

struct ParaProps {
    bool rightToLeft = false;
    Alignment alignment = Alignment::Natural;
    double spaceBefore = 0;
    double spaceAfter = 0;
    double lineSpacing = 0; // extra space between the lines of the paragraph, points
    double leftIndent = 0;  // every line, from the left edge
    double rightIndent = 0;
    double firstLineIndent = 0; // the first line, relative to leftIndent (negative: hanging)
    std::vector<double> tabStops;

    bool operator==(const ParaProps&) const = default;
};

struct Run {
    QString text; // no paragraph breaks; TAB and U+2028 (line break) may occur
    CharProps props;

    bool operator==(const Run&) const = default;
};

struct Paragraph {
    ParaProps props;
    std::vector<Run> runs;

    bool operator==(const Paragraph&) const = default;
};

struct Document {
    std::vector<Paragraph> paragraphs;
    QString comment; // the document comment ({\info{\doccomm …}}); empty: none
    // The document's own group was closed; a truncated file reads as far as it goes, without it.
    bool complete = true;

    // The same content: whether it was read whole is not part of it.
    bool operator==(const Document& other) const
    {
        return paragraphs == other.paragraphs && comment == other.comment;
    }
};

// RTF for the document. Every paragraph ends with \par; text outside 7-bit ASCII is written as \uN.
QByteArray write(const Document& document);

// The document the RTF holds, or nothing when the data is not readable RTF. Never crashes, hangs or
// allocates more than a small multiple of the input, whatever the input.
std::optional<Document> read(QByteArrayView data);

} // namespace vorn::rtf
