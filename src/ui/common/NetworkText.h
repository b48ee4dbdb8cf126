#pragma once

#include <QString>
#include <QStringList>

namespace varnello {

// Text from the cluster node or another server, as every widget shows it (table cells and their
// tooltips, the console, the warning sheets). Control characters are removed, except that a tab
// or a line or paragraph break becomes one blank; the bidirectional formatting characters
// (embeddings, overrides, isolates and the direction marks) are dropped, so that no text can
// reorder what is shown after it; and a run of combining marks is cut to the first three on its
// letter, so that no text draws over the lines around it. Text that needs no change comes back as
// it is (shared, not copied).
QString networkDisplayText(const QString &text);

// Lines from the network, each shown as above, one per line.
QString networkDisplayLines(const QStringList &lines);

// Whether networkDisplayText would change `text`.
bool needsNetworkDisplayCleaning(QStringView text);

// The longest tooltip text, in characters, "…" included: a pasted page of text would otherwise
// cover the screen.
inline constexpr qsizetype maximumToolTipLength = 300;

// A tooltip that shows `text` as typed, shown as above and cut to maximumToolTipLength at a
// character boundary, ending in "…". Qt takes a tooltip that looks like markup for rich text and
// one that does not for plain text, so markup is escaped into a paragraph that keeps its blanks.
QString plainToolTip(const QString &text);

} // namespace varnello
