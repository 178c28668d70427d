#pragma once

class QTextDocument;

namespace vorn::notes::ParagraphStyler {

// Gives the paragraphs around an edit the style their role, kind and direction call for. It starts at
// the edited paragraph and goes on past the edit only while the following paragraphs take their
// direction from the one before (no strong letter of their own), so an edit costs the same in a long
// note as in a short one. Paragraphs whose style already matches are left untouched. Returns how many
// paragraphs it looked at.
int apply(QTextDocument& document, int location, int length);

// The whole note: after loading, or when everything may have changed.
int applyAll(QTextDocument& document);

} // namespace vorn::notes::ParagraphStyler
