#include "tmaudiomanager/DriverDatabase.h"

#include "tmaudiomanager/HardwareIds.h"
#include "tmaudiomanager/ModaliasPattern.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tmaudiomanager {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE info(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE HDAUDIO(prefilter TEXT NOT NULL, pattern TEXT NOT NULL, module TEXT NOT NULL);
CREATE TABLE OTHER(prefilter TEXT NOT NULL, pattern TEXT NOT NULL, module TEXT NOT NULL);
CREATE TABLE PCI(prefilter TEXT NOT NULL, pattern TEXT NOT NULL, module TEXT NOT NULL);
CREATE TABLE USB(prefilter TEXT NOT NULL, pattern TEXT NOT NULL, module TEXT NOT NULL);
)sql";

constexpr const char* kIndexes = R"sql(
CREATE INDEX HDAUDIO_prefilter ON HDAUDIO(prefilter);
CREATE INDEX OTHER_prefilter ON OTHER(prefilter);
CREATE INDEX PCI_prefilter ON PCI(prefilter);
CREATE INDEX USB_prefilter ON USB(prefilter);
)sql";

// Fixed statement texts, one per table, in the order of kDriverTables. Nothing from a query
// text ever becomes part of a statement; the key is bound.
constexpr const char* kSelects[] = {
    "SELECT pattern FROM HDAUDIO WHERE prefilter = ?1",
    "SELECT pattern FROM OTHER WHERE prefilter = ?1",
    "SELECT pattern FROM PCI WHERE prefilter = ?1",
    "SELECT pattern FROM USB WHERE prefilter = ?1",
};
constexpr const char* kInserts[] = {
    "INSERT INTO HDAUDIO(prefilter, pattern, module) VALUES(?1, ?2, ?3)",
    "INSERT INTO OTHER(prefilter, pattern, module) VALUES(?1, ?2, ?3)",
    "INSERT INTO PCI(prefilter, pattern, module) VALUES(?1, ?2, ?3)",
    "INSERT INTO USB(prefilter, pattern, module) VALUES(?1, ?2, ?3)",
};

std::size_t IndexOf(DriverTable table) {
    return static_cast<std::size_t>(table);
}

// Owns a prepared statement for the length of one block.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

bool BindText(sqlite3_stmt* stmt, int index, std::string_view text) {
    return sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()),
                             SQLITE_TRANSIENT) == SQLITE_OK;
}

bool Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Fills a fresh, empty database. One transaction; no journal, since a half-built file is thrown
// away rather than recovered.
bool Fill(sqlite3* db, const std::vector<AliasRow>& rows, const std::string& identity) {
    if (!Exec(db, "PRAGMA journal_mode=OFF") || !Exec(db, "PRAGMA synchronous=OFF") ||
        !Exec(db, "BEGIN") || !Exec(db, kSchema)) {
        return false;
    }
    {
        std::vector<std::unique_ptr<Statement>> inserts;
        for (const char* sql : kInserts) {
            inserts.push_back(std::make_unique<Statement>(db, sql));
            if (inserts.back()->get() == nullptr) {
                return false;
            }
        }
        for (const AliasRow& row : rows) {
            sqlite3_stmt* insert = inserts[IndexOf(row.table)]->get();
            if (!BindText(insert, 1, row.prefilter) || !BindText(insert, 2, row.pattern) ||
                !BindText(insert, 3, row.module) || sqlite3_step(insert) != SQLITE_DONE) {
                return false;
            }
            sqlite3_reset(insert);
        }
        Statement info(db, "INSERT INTO info(key, value) VALUES('identity', ?1)");
        if (info.get() == nullptr || !BindText(info.get(), 1, identity) ||
            sqlite3_step(info.get()) != SQLITE_DONE) {
            return false;
        }
    }
    return Exec(db, kIndexes) && Exec(db, "COMMIT");
}

bool MakeFolders(const std::string& folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode);
    }
    const std::size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash))) {
        return false;
    }
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool SyncPath(const std::string& path, int flags) {
    const int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = fsync(fd) == 0;
    close(fd);
    return synced;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return home;
    }
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return {};
}

} // namespace

std::optional<std::string> DriverCacheFile() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else if (std::string home = HomeFolder(); !home.empty()) {
        base = home + "/.cache";
    } else {
        return std::nullopt;
    }
    return base + "/tonemender/tmaudiomanager-drivers.sqlite";
}

std::unique_ptr<DriverDatabase> DriverDatabase::Open(const AliasSource& source,
                                                     const std::optional<std::string>& cacheFile,
                                                     bool rebuild) {
    std::unique_ptr<DriverDatabase> data(new DriverDatabase);
    if (source.path.empty()) {
        return data;
    }

    // A cache built from the same source is used as it is.
    if (cacheFile && !rebuild &&
        sqlite3_open_v2(cacheFile->c_str(), &data->db_, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK) {
        Statement identity(data->db_, "SELECT value FROM info WHERE key = 'identity'");
        if (identity.get() != nullptr && sqlite3_step(identity.get()) == SQLITE_ROW) {
            const auto* text =
                reinterpret_cast<const char*>(sqlite3_column_text(identity.get(), 0));
            if (text != nullptr && source.identity == text) {
                sqlite3_reset(identity.get());
                if (data->PrepareQueries()) {
                    data->location_ = *cacheFile;
                    return data;
                }
            }
        }
    }
    data->Close();

    const std::optional<std::string> content = ReadAliasFile(source.path);
    if (!content) {
        return data; // unreadable or absurd: no driver data, and nothing cached for it
    }
    const std::vector<AliasRow> rows = ParseAliasLines(*content);

    if (cacheFile) {
        const std::string folder = cacheFile->substr(0, cacheFile->find_last_of('/'));
        std::string temporary = *cacheFile + ".XXXXXX";
        int fd = -1;
        if (MakeFolders(folder) && (fd = mkstemp(temporary.data())) >= 0) {
            close(fd);
            sqlite3* db = nullptr;
            bool built = sqlite3_open_v2(temporary.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
                             SQLITE_OK &&
                         Fill(db, rows, source.identity);
            built = sqlite3_close(db) == SQLITE_OK && built;
            built = built && SyncPath(temporary, O_RDONLY) &&
                    rename(temporary.c_str(), cacheFile->c_str()) == 0;
            if (built) {
                SyncPath(folder, O_RDONLY | O_DIRECTORY);
                if (sqlite3_open_v2(cacheFile->c_str(), &data->db_, SQLITE_OPEN_READONLY,
                                    nullptr) == SQLITE_OK &&
                    data->PrepareQueries()) {
                    data->location_ = *cacheFile;
                    return data;
                }
                data->Close();
            } else {
                unlink(temporary.c_str());
            }
        }
    }

    // No usable cache folder: keep the data for this process only.
    if (sqlite3_open_v2(":memory:", &data->db_, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        Fill(data->db_, rows, source.identity) && data->PrepareQueries()) {
        data->location_ = ":memory:";
        return data;
    }
    data->Close();
    return data;
}

DriverDatabase::~DriverDatabase() {
    Close();
}

void DriverDatabase::Close() {
    for (sqlite3_stmt*& query : queries_) {
        sqlite3_finalize(query);
        query = nullptr;
    }
    sqlite3_close(db_);
    db_ = nullptr;
}

bool DriverDatabase::PrepareQueries() {
    for (DriverTable table : kDriverTables) {
        sqlite3_stmt*& query = queries_[IndexOf(table)];
        if (sqlite3_prepare_v2(db_, kSelects[IndexOf(table)], -1, &query, nullptr) != SQLITE_OK) {
            return false;
        }
    }
    return true;
}

std::optional<bool> DriverDatabase::Knows(DriverTable table, std::string_view id) {
    if (db_ == nullptr) {
        return false;
    }
    std::optional<AliasFields> device;
    std::vector<std::string> keys;
    if (table == DriverTable::OTHER) {
        const std::optional<std::string> bus = OtherModaliasBus(id);
        if (!bus) {
            return false;
        }
        keys = QueryKeys(table, AliasFields{*bus, {}});
    } else {
        device = HardwareIdToAlias(TableName(table), id);
        if (!device) {
            return false;
        }
        keys = QueryKeys(table, *device);
    }

    sqlite3_stmt* query = queries_[IndexOf(table)];
    for (const std::string& key : keys) {
        sqlite3_reset(query);
        if (!BindText(query, 1, key)) {
            return std::nullopt;
        }
        bool known = false;
        int step = SQLITE_ROW;
        while (!known && (step = sqlite3_step(query)) == SQLITE_ROW) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(query, 0));
            const std::string_view pattern(
                text != nullptr ? text : "",
                static_cast<std::size_t>(sqlite3_column_bytes(query, 0)));
            if (device) {
                const std::optional<AliasFields> fields = SplitModalias(pattern);
                known = fields && PatternAccepts(*fields, *device);
            } else {
                known = GlobMatches(pattern, id);
            }
        }
        sqlite3_reset(query);
        if (known) {
            return true;
        }
        if (step != SQLITE_DONE) {
            return std::nullopt;
        }
    }
    return false;
}

} // namespace tmaudiomanager
