#pragma once

#include "notes/ParagraphKind.h"

#include <QColor>
#include <QFont>
#include <QTextBlockFormat>
#include <QTextCharFormat>

#include <optional>

namespace vorn::notes {

// A paragraph's role is not stored: it is read back from the point size of its first character.
enum class TextRole { title = 0, heading = 1, subheading = 2, body = 3 };

std::optional<TextRole> textRole(int rawValue);
// The role's level for sections; body has none.
std::optional<int> rank(TextRole role);

enum class TextDirection { ltr, rtl };

// Sizes, weights, letter spacing and paragraph styles of note text. Sizes are exact pixel sizes of one
// UI face, since every part of the editor reads roles back from them; they are in the same logical
// pixels as indents, tab stops and insets, so a 24 px list indent fits a 15 px body's "10." (in the RTF
// one pixel is written as one point, so files keep the sizes other programs know).
namespace Typography {

inline constexpr double bodySize = 15;
inline constexpr double dividerSize = 10;

double size(TextRole role);
double kern(TextRole role);
TextRole role(double size);
// Whether the format sets a note text size (a pixel size).
bool hasSize(const QTextCharFormat& format);
// The role of text in this format; a format without a size is body text.
TextRole role(const QTextCharFormat& format);

// The face every note is set in: Inter when installed, else the desktop's sans.
QString family();

// `bold` absent: the role's default (bold for everything but body). Headings' bold is semibold.
QFont font(TextRole role, std::optional<bool> bold, bool italic);
bool isBold(const QTextCharFormat& format);
bool isItalic(const QTextCharFormat& format);

// Puts font and kern on a character format, leaving underline, colour and our own properties alone.
void setFont(QTextCharFormat& format, const QFont& font);
void setKern(QTextCharFormat& format, double kern);
double kern(const QTextCharFormat& format);
// The standard text colour is "no colour": the view's palette draws it, light or dark.
void setStandardColor(QTextCharFormat& format);
// The faint colour of dividers: a grey that reads as faint on light and on dark backgrounds.
QColor tertiaryColor();

QTextBlockFormat paragraphStyle(TextRole role, ParagraphKind kind, TextDirection direction);
// Whether two paragraph styles agree on everything paragraphStyle() sets.
bool sameParagraphStyle(const QTextBlockFormat& a, const QTextBlockFormat& b);

// What text the user types gets wherever the editor returns the caret to plain body text.
QTextCharFormat bodyTypingFormat();
QTextCharFormat roleFormat(TextRole role, std::optional<bool> bold, bool italic);
QTextCharFormat dividerFormat();
// A run's format in a paragraph of this role once normalised: the role's face with the run's own bold and
// italic (the role's defaults when the run names no font), the role's kern, the standard colour. Only
// underline and the section properties are kept from what was there.
QTextCharFormat normalizedRun(const QTextCharFormat& run, TextRole role);

} // namespace Typography

} // namespace vorn::notes
