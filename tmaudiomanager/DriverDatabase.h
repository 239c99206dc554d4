#pragma once
// The driver data: a SQLite database with one table per kind of hardware id, built from the
// kernel's module alias table and kept in the user's cache folder.

#include "tmaudiomanager/AliasFile.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace tmaudiomanager {

// $XDG_CACHE_HOME/tonemender/tmaudiomanager-drivers.sqlite, else the same under ~/.cache.
// nullopt when neither names an absolute folder.
std::optional<std::string> DriverCacheFile();

class DriverDatabase {
public:
    // The driver data for `source`. Uses the cached file when it was built from the same
    // source; otherwise builds it (one transaction) into a private file beside the cache file
    // and renames it into place. Without a cache file, or when writing it fails, the data is
    // built in memory. A source without a file gives empty data and writes nothing.
    // `rebuild` ignores whatever is cached. Never returns null.
    static std::unique_ptr<DriverDatabase>
    Open(const AliasSource& source, const std::optional<std::string>& cacheFile, bool rebuild);
    ~DriverDatabase();
    DriverDatabase(const DriverDatabase&) = delete;
    DriverDatabase& operator=(const DriverDatabase&) = delete;

    // Whether a pattern of the table accepts the id; nullopt when the database failed to
    // answer (for instance a cached file damaged after it was opened).
    std::optional<bool> Knows(DriverTable table, std::string_view id);

    // Where the data lives: the cache file, ":memory:", or "" when there is none.
    const std::string& Location() const { return location_; }

private:
    DriverDatabase() = default;
    bool PrepareQueries();
    void Close();

    sqlite3* db_ = nullptr;
    sqlite3_stmt* queries_[4] = {};
    std::string location_;
};

} // namespace tmaudiomanager
