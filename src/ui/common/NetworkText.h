#pragma once

#include <QString>
#include <QStringList>

namespace varnello {

// Text from the cluster node or another server, as every widget shows it (table cells and their
// tooltips, the console, the warning sheets). Control characters are removed, except that a tab
// or a line or paragraph break becomes one blank; the bidirectional formatting characters
// (embeddings, overrides, isolates and the direction marks) are dropped, so that no text can
// reorder what is shown after it. Text that needs no change comes back as it is (shared, not
// copied).
QString networkDisplayText(const QString &text);

// Lines from the network, each shown as above, one per line.
QString networkDisplayLines(const QStringList &lines);

// Whether networkDisplayText would change `text`.
bool needsNetworkDisplayCleaning(QStringView text);

} // namespace varnello
