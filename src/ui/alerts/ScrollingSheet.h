#pragma once

class QFrame;
class QWidget;

namespace varnello {

// The thin line between two columns of a sheet. The sheet's scroll area and pinned button row
// are sheetframe::pinFooter's (ui/common).
QFrame *verticalDivider(QWidget *parent);

} // namespace varnello
