#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace vorn {

// A title, a step or a name as one line: each line break (CR LF counts as one) and tab becomes a space,
// every other control character goes, and the ends are trimmed.
QString oneLine(QStringView text);
QString oneLine(const QString& text); // shares `text` when it is one line already

// What comes of a title, step or name given to us: the one line we keep, or why there is none.
struct TitleInput {
    enum class Problem { none, blank, tooLong };
    QString text;
    Problem problem = Problem::none;
    bool ok() const { return problem == Problem::none; }
};
TitleInput titleInput(QStringView text);

// "That's an essay, not a thing. Titles stop at 4,000 characters.": what the user is told.
QString titleTooLongMessage();

// A stored title as an editor starts with it: one line, at most kTitleLimit characters, however long
// the title is (another program may have written any length).
QString editableTitle(const QString& title);
// The same as a row shows it: with "…" after a title that was cut.
QString shownTitle(const QString& title);
// A name as a menu item's text: an "&" in it is shown, not taken as the item's mnemonic.
QString menuItemText(const QString& name);

} // namespace vorn
