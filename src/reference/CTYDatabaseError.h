#pragma once

#include <QString>

namespace varnello {

// Why a country file could not be turned into a database.
struct CTYDatabaseError {
    enum class Kind { unreadableFile, malformedHeader, entryWithoutPrefixes, emptyFile };

    Kind kind = Kind::emptyFile;
    QString path; // unreadableFile: the file that could not be read
    int line = 0; // malformedHeader, entryWithoutPrefixes: 1-based line number
    QString text; // malformedHeader: the offending text; entryWithoutPrefixes: the entity name

    static CTYDatabaseError unreadableFile(const QString &path);
    static CTYDatabaseError malformedHeader(int line, const QString &text);
    static CTYDatabaseError entryWithoutPrefixes(int line, const QString &entity);
    static CTYDatabaseError emptyFile();

    // The sentence shown to the user.
    QString description() const;

    friend bool operator==(const CTYDatabaseError &, const CTYDatabaseError &) = default;
};

} // namespace varnello
