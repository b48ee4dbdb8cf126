#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace varnello {

// The read-only data built into the program (country file, grid tables, alert sounds).
class BundledResources final {
public:
    // Path of a built-in resource ("cty_wt", "dat"), readable with QFile, or nullopt when the
    // program carries no such resource.
    static std::optional<QString> url(const QString &name, const QString &ext);

    // Tests replace the lookup, for example to model a missing resource or to supply a
    // generated one. Pass an empty function to restore the built-in lookup.
    using Resolver = std::function<std::optional<QString>(const QString &name, const QString &ext)>;
    static void setResolverForTesting(Resolver resolver);
};

} // namespace varnello
