#include "FilterPanelsInstaller.h"

#include "AllowedSpotterEntitiesSheet.h"
#include "BandFiltersSidebar.h"
#include "BlockedWordsSheet.h"
#include "ContentView.h"
#include "FiltersButton.h"
#include "MainWindow.h"
#include "RBNButton.h"
#include "RegistrationMail.h"
#include "SheetPresenter.h"
#include "UrlOpener.h"

namespace varnello {

void installFilterPanels(MainWindow &window, ContentView &view,
                         SendSpotBar::RegistrationMailBuilder registrationMail)
{
    window.setLeftPanelWidget(new BandFiltersSidebar(view));
    window.setFiltersControl(new FiltersButton(view));
    window.setRBNControl(new RBNButton(view));
    if (!registrationMail)
        registrationMail = &registrationRequestMailURL;
    if (ClusterConnection *cluster = view.cluster()) {
        window.setSendSpotBar(
            new SendSpotBar(*cluster, std::move(registrationMail),
                            [](const QUrl &url) { return UrlOpener::shared().open(url); }));
    }

    SheetPresenter &presenter = window.presenter();
    presenter.setEditorSheet(
        SheetPresenter::Presentation::blockedWords,
        {[&view] { return view.customInfoFilterSession().has_value(); },
         [&view](QWidget *parent) -> QDialog * { return new BlockedWordsSheet(view, parent); }});
    presenter.setEditorSheet(SheetPresenter::Presentation::allowedSpotterEntities,
                             {[&view] { return view.customSpotterEntitySession().has_value(); },
                              [&view](QWidget *parent) -> QDialog * {
                                  return new AllowedSpotterEntitiesSheet(view, parent);
                              }});
}

} // namespace varnello
