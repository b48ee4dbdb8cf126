#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace varnello {

// The addresses behind the Help menu and About, built from the maker's build-time services.
// Each is nothing when the build names no such service; its menu item is then disabled.
namespace ShellLinks {

// `path` below the root of a site, or nothing for an empty or unusable site.
std::optional<QUrl> below(const QUrl &site, const QString &path);

// "<site>/varnello": the product page.
std::optional<QUrl> productPage(const QUrl &makerSite);
// "<site>/varnello/varnello-guide.pdf": the user guide.
std::optional<QUrl> manual(const QUrl &makerSite);
// "https://<host>/g/varnello": the support group.
std::optional<QUrl> supportGroupPage(const QString &host);
// "Varnello Help via <host>…"
QString supportGroupItemTitle(const QString &host);

// "Contact from Varnello — v<version> (<build>)", "Unknown" standing in for a missing value.
QString contactSubject(const std::optional<QString> &version, const std::optional<QString> &build);
// A mailto: link to the author with that subject.
std::optional<QUrl> contactMail(const QString &address, const std::optional<QString> &version,
                                const std::optional<QString> &build);

} // namespace ShellLinks

} // namespace varnello
