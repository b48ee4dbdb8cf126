#include "AlertPanelsInstaller.h"

#include "AlertEditorSheet.h"
#include "ContentView.h"
#include "MainWindow.h"
#include "SheetPresenter.h"
#include "SpotAlertsSidebar.h"

namespace varnello {

void installAlertPanels(MainWindow &window, ContentView &view)
{
    window.setRightPanelWidget(new SpotAlertsSidebar(view));
    window.presenter().setEditorSheet(
        SheetPresenter::Presentation::alertEditor,
        {[&view] { return view.alertEditorSession().has_value(); },
         [&view](QWidget *parent) -> QDialog * { return new AlertEditorSheet(view, parent); }});
}

} // namespace varnello
