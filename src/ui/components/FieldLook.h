#pragma once

class QLineEdit;

namespace vorn {

// A text field that reads as one on the window's own colour, in light and dark: a slightly inset
// fill, a hairline edge and the snooze accent while it has the keys. It follows appearance flips.
void giveFieldLook(QLineEdit& field);

} // namespace vorn
