#pragma once

#include <QFont>

namespace varnello {

// Text styles of the window, derived from the application font so that they follow the desktop's
// size. Title 2 and 3 are the sheet titles and paragraphs; callout and caption are small texts.
enum class TextStyle { title2, title3, callout, caption };
QFont styledFont(TextStyle style, bool bold = false);

// The dimmed text colour of the palette (for secondary texts).
void makeSecondary(class QWidget *widget);

} // namespace varnello
