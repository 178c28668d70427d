#include "notes/rtf/CodePages.h"
#include "notes/rtf/RtfDocument.h"
#include "notes/rtf/RtfLexer.h"

#include <QHash>

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <utility>

// One pass over the tokens with an explicit stack of group states, so neither nesting nor length of
// the input can grow the call stack, and every token costs a bounded amount of work.
//
// Choices where RTF leaves room:
// - A file that ends inside its groups (truncated) still yields the text read so far: losing a note's
//   last words is better than losing the whole note.
// - Paragraph properties belong to the document, not to groups: \pard starts every paragraph that
//   matters, and keeping them out of the group stack keeps a group cheap to open.
// - \sl (a line height) cannot say how much space lies *between* lines without the font's metrics, so
//   it is read past; our own {\*\vornlinegap N} carries ParaProps::lineSpacing in twips.
// - The paragraph after the last \par is dropped when it holds no text.
namespace vorn::rtf {

namespace {

constexpr std::size_t maxDepth = 1024;
constexpr char16_t replacement = 0xFFFD;

// ListText: the label another program wrote in front of a list item ("1.", a bullet), kept as text.
enum class Dest { Body, ListText, FontTable, ColorTable, Info, Comment, Skip };

struct GroupState {
    Dest dest = Dest::Body;
    int font = -1; // -1: the document's default font (\deff)
    int halfPoints = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int color = 0;
    double kern = 0;
    int unicodeSkip = 1; // \ucN: how many fallback characters follow each \uN

    void plain()
    {
        font = -1;
        halfPoints = 0;
        bold = italic = underline = false;
        color = 0;
        kern = 0;
    }
};

struct Font {
    QString name;
    int codePage = 0;   // 0: the document's
    bool named = false; // its name ended with ';'
    // The name trimmed (an entry may lack its ';'), made once: every run of text asks for it.
    mutable std::optional<QString> family;
};

// What each word we know does. One hash lookup per word keeps the cost of a word flat however many
// words we know.
enum class Action {
    Skip, // a destination whose content is no text of the note
    Unicode,
    UnicodeSkip,
    FontTable,
    ColorTable,
    Info,
    DocComment,
    DefaultFont,
    Font,
    Charset,
    CodePage,
    Red,
    Green,
    Blue,
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCodePage,
    Par,
    ListText,
    Char, // Char: a character of its own, in Word::c
    Plain,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    FontSize,
    Color,
    Expand,
    ExpandTwips,
    Pard,
    AlignLeft,
    AlignRight,
    AlignCenter,
    AlignJustify,
    RightToLeft,
    LeftToRight,
    SpaceBefore,
    SpaceAfter,
    LeftIndent,
    RightIndent,
    FirstIndent,
    TabStop,
};

struct WordInfo {
    Action action;
    char16_t c = 0;
};

const std::unordered_map<std::string_view, WordInfo>& words()
{
    static const std::unordered_map<std::string_view, WordInfo> table = [] {
        std::unordered_map<std::string_view, WordInfo> t;
        for (std::string_view w : {"annotation",
                                   "atnauthor",
                                   "atnid",
                                   "background",
                                   "bkmkend",
                                   "bkmkstart",
                                   "colorschememapping",
                                   "datastore",
                                   "docvar",
                                   "fchars",
                                   "filetbl",
                                   "fldinst",
                                   "footer",
                                   "footerf",
                                   "footerl",
                                   "footerr",
                                   "footnote",
                                   "generator",
                                   "header",
                                   "headerf",
                                   "headerl",
                                   "headerr",
                                   "latentstyles",
                                   "lchars",
                                   "listoverridetable",
                                   "listtable",
                                   "nonshppict",
                                   "object",
                                   "pgdsctbl",
                                   "pict",
                                   "private",
                                   "revtbl",
                                   "rsidtbl",
                                   "stylesheet",
                                   "tc",
                                   "themedata",
                                   "xe",
                                   "xmlnstbl"})
            t.emplace(w, WordInfo{Action::Skip});
        // Every kind of underline reads as plain underline.
        for (std::string_view w :
             {"ul", "uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash", "ulth", "ulthd",
              "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw", "ulwave"})
            t.emplace(w, WordInfo{Action::Underline});
        const std::pair<std::string_view, char16_t> chars[] = {
            {"line", 0x2028},      {"tab", '\t'},         {"cell", '\t'},      {"emdash", 0x2014},
            {"endash", 0x2013},    {"bullet", 0x2022},    {"lquote", 0x2018},  {"rquote", 0x2019},
            {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003}, {"enspace", 0x2002},
        };
        for (const auto& [w, c] : chars)
            t.emplace(w, WordInfo{Action::Char, c});
        const std::pair<std::string_view, Action> actions[] = {
            {"u", Action::Unicode},
            {"uc", Action::UnicodeSkip},
            {"fonttbl", Action::FontTable},
            {"colortbl", Action::ColorTable},
            {"info", Action::Info},
            {"doccomm", Action::DocComment},
            {"deff", Action::DefaultFont},
            {"f", Action::Font},
            {"fcharset", Action::Charset},
            {"cpg", Action::CodePage},
            {"red", Action::Red},
            {"green", Action::Green},
            {"blue", Action::Blue},
            {"ansi", Action::Ansi},
            {"mac", Action::Mac},
            {"pc", Action::Pc},
            {"pca", Action::Pca},
            {"ansicpg", Action::AnsiCodePage},
            {"par", Action::Par},
            {"listtext", Action::ListText},
            {"pntext", Action::ListText},
            {"row", Action::Par},
            {"plain", Action::Plain},
            {"b", Action::Bold},
            {"i", Action::Italic},
            {"ulnone", Action::UnderlineNone},
            {"fs", Action::FontSize},
            {"cf", Action::Color},
            {"expnd", Action::Expand},
            {"expndtw", Action::ExpandTwips},
            {"pard", Action::Pard},
            {"ql", Action::AlignLeft},
            {"qr", Action::AlignRight},
            {"qc", Action::AlignCenter},
            {"qj", Action::AlignJustify},
            {"rtlpar", Action::RightToLeft},
            {"ltrpar", Action::LeftToRight},
            {"sb", Action::SpaceBefore},
            {"sa", Action::SpaceAfter},
            {"li", Action::LeftIndent},
            {"ri", Action::RightIndent},
            {"fi", Action::FirstIndent},
            {"tx", Action::TabStop},
        };
        for (const auto& [w, action] : actions)
            t.emplace(w, WordInfo{action});
        return t;
    }();
    return table;
}

bool isControl(QChar c)
{
    return c.unicode() < 0x20 && c.unicode() != '\t';
}

class Reader {
public:
    explicit Reader(QByteArrayView data) : lexer_(data) {}

    std::optional<Document> read();

private:
    void handleWord(std::string_view word, const Token& token);
    void handleSymbol(char symbol);
    void handleUnicode(std::int32_t value);
    void flushBytes();
    void resolveSurrogate();
    void deliver(QStringView text);
    void deliverChar(char16_t c) { deliver(QStringView(&c, 1)); }
    void appendBody(QStringView text);
    void endListLabel();
    void endParagraph();
    void finish();
    int codePage() const;
    CharProps charProps() const;
    GroupState& state() { return stack_.back(); }
    const GroupState& state() const { return stack_.back(); }

    Lexer lexer_;
    CodePages codePages_;
    std::vector<GroupState> stack_;
    Document document_;
    Paragraph paragraph_;
    ParaProps para_;
    QHash<int, Font> fonts_;
    int fontEntry_ = -1; // the font table entry being read; -1 (or any number not in fonts_): none
    std::vector<std::optional<Rgb>> colors_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorGiven_ = false;
    int defaultFont_ = 0;
    int documentCodePage_ = defaultCodePage;
    QByteArray bytes_;           // text bytes and \'hh not yet decoded, all in one code page
    QString decoded_;            // bytes_ decoded; kept to reuse its buffer
    qsizetype fallbackLeft_ = 0; // characters still to skip after a \uN
    char16_t highSurrogate_ = 0; // a \uN high surrogate waiting for its low half
    bool ignorable_ = false;     // the last token was \*
    QString listLabel_;          // the \listtext being read
    QString pendingLabel_;       // a list label waiting for its item's first text
};

std::optional<Document> Reader::read()
{
    for (;;) {
        Token token = lexer_.next();
        if (token.kind == Token::Error)
            return std::nullopt;
        if (token.kind == Token::End) {
            finish(); // truncated: keep what was read
            document_.complete = false;
            return std::move(document_);
        }

        if (fallbackLeft_ > 0) {
            if (token.kind == Token::Text) {
                const qsizetype n = std::min(fallbackLeft_, token.text.size());
                fallbackLeft_ -= n;
                token.text = token.text.sliced(n);
                if (token.text.isEmpty())
                    continue;
            } else if (token.kind == Token::GroupOpen || token.kind == Token::GroupClose) {
                fallbackLeft_ = 0; // a fallback never spans a group boundary
            } else {
                --fallbackLeft_; // \'hh, a symbol or a word: one character each
                continue;
            }
        }

        const bool wasIgnorable = ignorable_;
        ignorable_ = false;
        if (token.kind == Token::Text || token.kind == Token::Hex) {
            const Dest dest = stack_.empty() ? Dest::Skip : state().dest;
            if (dest == Dest::Skip || dest == Dest::Info)
                continue; // picture data and the like: not worth decoding
            if (highSurrogate_)
                resolveSurrogate();
            if (token.kind == Token::Text)
                bytes_.append(token.text);
            else
                bytes_.append(static_cast<char>(token.byte));
            continue;
        }
        flushBytes();
        // A pair's halves may have \ucN changes between them (LibreOffice writes one before the low half):
        // those keep the high half waiting.
        const bool keepsHalf = token.kind == Token::Word &&
                               (token.text == QByteArrayView("u") || token.text == QByteArrayView("uc"));
        if (highSurrogate_ && !keepsHalf)
            resolveSurrogate();

        switch (token.kind) {
        case Token::GroupOpen:
            if (stack_.size() >= maxDepth)
                return std::nullopt;
            stack_.push_back(stack_.empty() ? GroupState{} : stack_.back());
            break;
        case Token::GroupClose:
            if (stack_.empty())
                break;
            if (state().dest == Dest::ListText &&
                (stack_.size() < 2 || stack_[stack_.size() - 2].dest != Dest::ListText))
                endListLabel();
            stack_.pop_back();
            if (stack_.empty()) {
                finish(); // the document's own group is closed; anything after it is no RTF
                return std::move(document_);
            }
            break;
        case Token::Word: {
            if (stack_.empty())
                break;
            const std::string_view word(token.text.data(), static_cast<std::size_t>(token.text.size()));
            if (wasIgnorable) {
                if (word == "vornlinegap" && state().dest == Dest::Body)
                    para_.lineSpacing = token.param / 20.0;
                state().dest = Dest::Skip;
                break;
            }
            handleWord(word, token);
            break;
        }
        case Token::Symbol:
            if (!stack_.empty())
                handleSymbol(token.symbol);
            break;
        case Token::Binary: // picture or object data: never text
        default:
            break;
        }
    }
}

void Reader::handleWord(std::string_view word, const Token& token)
{
    GroupState& s = state();
    if (s.dest == Dest::Skip)
        return;
    const auto found = words().find(word);
    if (found == words().end())
        return; // unknown words are ignored, as RTF asks of a reader
    const std::int32_t param = token.param;
    const bool on = !token.hasParam || param != 0;
    const Action action = found->second.action;

    // Words that mean the same wherever they stand.
    switch (action) {
    case Action::Skip:
        s.dest = Dest::Skip;
        return;
    case Action::Unicode:
        handleUnicode(param);
        return;
    case Action::UnicodeSkip:
        s.unicodeSkip = std::max(0, param);
        return;
    default:
        break;
    }

    switch (s.dest) {
    case Dest::FontTable:
        if (action == Action::Font) {
            fontEntry_ = param;
            fonts_[param] = Font{};
        } else if (action == Action::Charset && fonts_.contains(fontEntry_)) {
            if (const int cp = codePageForCharset(param))
                fonts_[fontEntry_].codePage = cp;
        } else if (action == Action::CodePage && fonts_.contains(fontEntry_)) {
            fonts_[fontEntry_].codePage = param;
        }
        return;
    case Dest::ColorTable:
        if (action == Action::Red || action == Action::Green || action == Action::Blue) {
            int& component = action == Action::Red ? red_ : action == Action::Green ? green_ : blue_;
            component = std::clamp(param, 0, 255);
            colorGiven_ = true;
        }
        return;
    case Dest::Info:
        if (action == Action::DocComment)
            s.dest = Dest::Comment;
        return;
    case Dest::Skip:
        return;
    case Dest::Body:
    case Dest::ListText:
    case Dest::Comment:
        break;
    }

    switch (action) {
    // Destinations and document settings.
    case Action::FontTable:
        s.dest = Dest::FontTable;
        fontEntry_ = -1;
        break;
    case Action::ColorTable:
        s.dest = Dest::ColorTable;
        red_ = green_ = blue_ = 0;
        colorGiven_ = false;
        break;
    case Action::Info:
        s.dest = Dest::Info;
        break;
    case Action::DocComment:
        s.dest = Dest::Comment;
        break;
    case Action::DefaultFont:
        defaultFont_ = param;
        break;
    case Action::Ansi:
        documentCodePage_ = 1252;
        break;
    case Action::Mac:
        documentCodePage_ = 10000;
        break;
    case Action::Pc:
        documentCodePage_ = 437;
        break;
    case Action::Pca:
        documentCodePage_ = 850;
        break;
    case Action::AnsiCodePage:
        documentCodePage_ = param;
        break;
    // Text.
    case Action::Par:
        if (s.dest == Dest::Body)
            endParagraph();
        break;
    case Action::ListText:
        if (s.dest == Dest::Body) {
            s.dest = Dest::ListText;
            listLabel_.clear();
        }
        break;
    case Action::Char:
        deliverChar(found->second.c);
        break;
    // Character properties.
    case Action::Plain:
        s.plain();
        break;
    case Action::Bold:
        s.bold = on;
        break;
    case Action::Italic:
        s.italic = on;
        break;
    case Action::Underline:
        s.underline = on;
        break;
    case Action::UnderlineNone:
        s.underline = false;
        break;
    case Action::FontSize:
        s.halfPoints = std::max(0, param);
        break;
    case Action::Font:
        s.font = param;
        break;
    case Action::Color:
        s.color = param;
        break;
    case Action::Expand:
        s.kern = param / 4.0;
        break;
    case Action::ExpandTwips:
        s.kern = param / 20.0;
        break;
    // Paragraph properties.
    case Action::Pard:
        para_ = ParaProps{};
        break;
    case Action::AlignLeft:
        para_.alignment = Alignment::Left;
        break;
    case Action::AlignRight:
        para_.alignment = Alignment::Right;
        break;
    case Action::AlignCenter:
        para_.alignment = Alignment::Center;
        break;
    case Action::AlignJustify:
        para_.alignment = Alignment::Justify;
        break;
    case Action::RightToLeft:
        para_.rightToLeft = true;
        break;
    case Action::LeftToRight:
        para_.rightToLeft = false;
        break;
    case Action::SpaceBefore:
        para_.spaceBefore = param / 20.0;
        break;
    case Action::SpaceAfter:
        para_.spaceAfter = param / 20.0;
        break;
    case Action::LeftIndent:
        para_.leftIndent = param / 20.0;
        break;
    case Action::RightIndent:
        para_.rightIndent = param / 20.0;
        break;
    case Action::FirstIndent:
        para_.firstLineIndent = param / 20.0;
        break;
    case Action::TabStop:
        if (para_.tabStops.size() < static_cast<std::size_t>(maxTabStops))
            para_.tabStops.push_back(param / 20.0);
        break;
    default:
        break; // table words outside their table
    }
}

void Reader::handleSymbol(char symbol)
{
    if (state().dest == Dest::Skip)
        return;
    switch (symbol) {
    case '\\':
    case '{':
    case '}':
        deliverChar(static_cast<char16_t>(symbol));
        break;
    case '~':
        deliverChar(0x00A0);
        break;
    case '_':
        deliverChar(0x2011);
        break;
    case '*':
        ignorable_ = true;
        break;
    default: // \- (optional hyphen) and the rest stand for nothing visible
        break;
    }
}

void Reader::handleUnicode(std::int32_t value)
{
    fallbackLeft_ = state().unicodeSkip;
    char16_t c = replacement;
    if (value >= -32768 && value <= 65535)
        c = static_cast<char16_t>(value < 0 ? value + 65536 : value);

    if (QChar::isHighSurrogate(c)) {
        if (highSurrogate_)
            deliverChar(replacement);
        highSurrogate_ = c;
        return;
    }
    if (QChar::isLowSurrogate(c)) {
        if (!highSurrogate_) {
            deliverChar(replacement);
            return;
        }
        const char16_t pair[2] = {highSurrogate_, c};
        highSurrogate_ = 0;
        deliver(QStringView(pair, 2));
        return;
    }
    if (highSurrogate_)
        resolveSurrogate();
    deliverChar(c);
}

void Reader::resolveSurrogate()
{
    highSurrogate_ = 0;
    deliverChar(replacement); // a high surrogate with no low half after it
}

void Reader::flushBytes()
{
    if (bytes_.isEmpty())
        return;
    decoded_.clear();
    codePages_.append(decoded_, codePage(), bytes_);
    bytes_.clear();
    deliver(decoded_);
}

int Reader::codePage() const
{
    const GroupState& s = state();
    int font = s.font < 0 ? defaultFont_ : s.font;
    if (s.dest == Dest::FontTable)
        font = fontEntry_;
    else if (s.dest == Dest::Comment && s.font < 0)
        return documentCodePage_; // the comment is set in no font, so \deff does not apply to it
    const auto found = fonts_.constFind(font);
    const int cp = found != fonts_.constEnd() ? found->codePage : 0;
    return cp ? cp : documentCodePage_;
}

void Reader::deliver(QStringView text)
{
    if (text.isEmpty() || stack_.empty())
        return;
    switch (state().dest) {
    case Dest::Body:
        appendBody(text);
        break;
    case Dest::ListText:
        listLabel_.append(text);
        break;
    case Dest::Comment:
        for (const QChar c : text) {
            if (!isControl(c))
                document_.comment.append(c);
        }
        break;
    case Dest::FontTable:
        for (const QChar c : text) {
            const auto found = fonts_.find(fontEntry_);
            if (found == fonts_.end() || found->named)
                continue;
            if (c == u';') {
                found->named = true;
            } else if (c.unicode() >= 0x20) { // not even a TAB: a family name has none
                found->name.append(c);
                found->family.reset();
            }
        }
        break;
    case Dest::ColorTable:
        for (const QChar c : text) {
            if (c != u';')
                continue;
            colors_.push_back(colorGiven_ ? std::optional<Rgb>(0xFF000000u | Rgb(red_) << 16 |
                                                               Rgb(green_) << 8 | Rgb(blue_))
                                          : std::nullopt);
            red_ = green_ = blue_ = 0;
            colorGiven_ = false;
        }
        break;
    case Dest::Info:
    case Dest::Skip:
        break;
    }
}

CharProps Reader::charProps() const
{
    const GroupState& s = state();
    CharProps props;
    const auto font = fonts_.constFind(s.font < 0 ? defaultFont_ : s.font);
    if (font != fonts_.constEnd()) {
        if (!font->family)
            font->family = font->name.trimmed();
        props.fontFamily = *font->family;
    }
    props.pointSize = s.halfPoints / 2.0;
    props.bold = s.bold;
    props.italic = s.italic;
    props.underline = s.underline;
    if (s.color > 0 && static_cast<std::size_t>(s.color) < colors_.size())
        props.color = colors_[static_cast<std::size_t>(s.color)];
    props.kern = s.kern;
    return props;
}

void Reader::appendBody(QStringView text)
{
    QString clean;
    if (std::any_of(text.begin(), text.end(), isControl)) {
        for (const QChar c : text) {
            if (!isControl(c))
                clean.append(c);
        }
        text = clean;
    }
    if (text.isEmpty())
        return;
    QString labelled;
    if (!pendingLabel_.isEmpty()) {
        labelled = std::exchange(pendingLabel_, QString()) + text;
        text = labelled;
    }
    CharProps props = charProps();
    std::vector<Run>& runs = paragraph_.runs;
    if (runs.empty() || !(runs.back().props == props))
        runs.push_back(Run{QString(), std::move(props)});
    runs.back().text.append(text);
}

// A list label becomes our marker characters when it is one ("1." or a bullet and a TAB): programs pad
// it with spaces, and an outline heading's label may be nothing but a TAB, which is dropped. It takes the
// format of the item's own text, so the item's first character says the paragraph's role, not the label's
// smaller font.
void Reader::endListLabel()
{
    const QString label = listLabel_.trimmed();
    if (!label.isEmpty())
        pendingLabel_ = label + (listLabel_.endsWith(u'\t') ? QStringLiteral("\t") : QString());
    listLabel_.clear();
}

void Reader::endParagraph()
{
    if (!pendingLabel_.isEmpty()) {
        const QString label = std::exchange(pendingLabel_, QString());
        appendBody(label);
    }
    paragraph_.props = para_;
    document_.paragraphs.push_back(std::move(paragraph_));
    paragraph_ = Paragraph{};
}

void Reader::finish()
{
    flushBytes();
    if (highSurrogate_ && !stack_.empty())
        resolveSurrogate();
    // Only text keeps the last paragraph: what follows the final \par is no line of the note otherwise.
    if (!paragraph_.runs.empty()) {
        paragraph_.props = para_;
        document_.paragraphs.push_back(std::move(paragraph_));
    }
    paragraph_ = Paragraph{};
}

} // namespace

std::optional<Document> read(QByteArrayView data)
{
    qsizetype start = 0;
    if (data.startsWith("\xEF\xBB\xBF"))
        start = 3;
    while (start < data.size() &&
           (data[start] == ' ' || data[start] == '\t' || data[start] == '\r' || data[start] == '\n'))
        ++start;
    const QByteArrayView rest = data.sliced(start);
    if (!rest.startsWith("{\\rtf"))
        return std::nullopt;
    return Reader(rest).read();
}

} // namespace vorn::rtf
