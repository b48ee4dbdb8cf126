#pragma once

#include <QString>
#include <optional>

namespace varnello {

// Where Varnello keeps its settings document and downloaded data files
// (~/.local/share/Varnello). The folder holds passwords in clear text, so it is private.
class AppPaths final {
public:
    // The data folder, or nullopt when the platform gives no writable location: the program then
    // keeps its settings in memory only and never writes into the working directory.
    static std::optional<QString> dataFolder();

    // Creates the data folder (mode 0700) when missing. False when there is no folder or it
    // cannot be created.
    static bool ensureDataFolder();

    // Path of a file inside the data folder, or nullopt when there is no folder.
    static std::optional<QString> filePath(const QString &fileName);

    // Where Varnello keeps files it can make again from what it carries (~/.cache/Varnello), or
    // nullopt when the platform gives no cache location. Named like the data folder, so that
    // neither depends on the application object's names.
    static std::optional<QString> cacheFolder();

    // Tests point the folder at a temporary directory (or at "no folder" with an empty
    // optional); the override lasts until the object is destroyed.
    class Override final {
    public:
        explicit Override(std::optional<QString> folder);
        ~Override();
        Override(const Override &) = delete;
        Override &operator=(const Override &) = delete;

    private:
        bool m_hadPrevious;
        std::optional<QString> m_previous;
    };
};

} // namespace varnello
