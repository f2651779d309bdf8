// The registry functions on our own store: one SQLite database per root key.
//
// Why SQLite: every write is a transaction, so a crash mid-write leaves the
// previous state, and several processes (two browser windows closing at once)
// can save without losing each other's values. WAL keeps readers from waiting
// on writers; the busy timeout makes a writer wait for another one.
//
// Connections are kept per root and reused (a key handle is only a key id),
// but re-checked on every use: a database file that was replaced, removed or
// inherited across fork() is opened afresh.
//
// A damaged database reads as missing keys. A write to it fails, and the
// damaged file is moved aside (name.damaged[.n]) so that the next write starts
// a fresh database and nothing is ever written over it.
#include "registry/RegistryApi.h"

#include "platform/Utf8.h"

#include <sqlite3.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pw::reg {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxKeyNameChars = 255;
constexpr std::size_t kMaxValueNameChars = 16383;

// Names are compared by the one folding rule (platform/Utf8.h): fixed, so
// every process folds a name the same way or one key would become two.
using pw::utf8::fold;

// ---- Roots and connections -----------------------------------------------------

struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const FileId&) const = default;
};

struct Connection {
    sqlite3* db = nullptr;
    bool writable = false;
    pid_t pid = 0;
    FileId file;
    std::unordered_map<const char*, sqlite3_stmt*> statements;
};

struct Root {
    HKEY handle;
    const char* name;
    bool machine;
    std::string folderOverride;
    bool readOnly = false;
    Connection conn;
};

Root g_roots[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", false, {}, false, {}},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", false, {}, false, {}},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", true, {}, false, {}},
};

struct OpenKey {
    Root* root;
    sqlite3_int64 id;
    std::string path;  // folded, parts joined by "\"
    FileId file;
    DWORD access;
};

std::mutex g_mutex;

// getpid() is a system call; the process id only changes in a fork() child.
pid_t g_pid = getpid();
[[maybe_unused]] const int g_atfork = pthread_atfork(nullptr, nullptr, [] { g_pid = getpid(); });
std::map<HKEY, OpenKey> g_keys;
HKEY g_nextHandle = 0x1000;

Root* findRoot(HKEY h) {
    for (Root& r : g_roots)
        if (r.handle == h) return &r;
    return nullptr;
}

std::string envOr(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string folderOf(const Root& r) {
    if (!r.folderOverride.empty()) return r.folderOverride;
    std::string dir = envOr("PACKWELL_REGISTRY_DIR");
    if (!dir.empty()) return dir;
    if (r.machine) {
        std::string dirs = envOr("XDG_CONFIG_DIRS");
        std::string first = dirs.substr(0, dirs.find(':'));
        if (first.empty() || first[0] != '/') first = "/etc/xdg";
        return first + "/packwell/registry";
    }
    std::string home = envOr("XDG_CONFIG_HOME");
    if (home.empty() || home[0] != '/') {
        std::string h = envOr("HOME");
        home = (h.empty() ? std::string("/tmp") : h) + "/.config";
    }
    return home + "/packwell/registry";
}

std::string fileOf(const Root& r) { return folderOf(r) + "/" + r.name + ".db"; }

void closeConnection(Connection& c) {
    if (c.db && c.pid == g_pid) {
        for (auto& [sql, st] : c.statements) sqlite3_finalize(st);
        sqlite3_close_v2(c.db);
    }
    // A connection inherited through fork() is abandoned, never closed: closing
    // it here could disturb the parent's locks and files.
    c.statements.clear();
    c.db = nullptr;
    c.writable = false;
}

bool isDamage(int rc) {
    int primary = rc & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

LONG mapError(int rc, bool write) {
    switch (rc & 0xFF) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW: return ERROR_SUCCESS;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB: return write ? ERROR_REGISTRY_CORRUPT : ERROR_FILE_NOT_FOUND;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH: return ERROR_ACCESS_DENIED;
        case SQLITE_CANTOPEN: return write ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
        case SQLITE_FULL: return ERROR_DISK_FULL;
        case SQLITE_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return ERROR_BUSY;
        default: return write ? ERROR_CANTWRITE : ERROR_CANTREAD;
    }
}

// Moves a damaged database and its log aside, unless it was replaced in the
// meantime (another process may already have done this and started afresh).
void setAside(Root& r, const FileId& damaged) {
    std::string path = fileOf(r);
    closeConnection(r.conn);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || FileId{st.st_dev, st.st_ino} != damaged) return;
    std::string target = path + ".damaged";
    for (int n = 1; fs::exists(target) && n < 1000; ++n) target = path + ".damaged." + std::to_string(n);
    if (::rename(path.c_str(), target.c_str()) != 0) return;
    ::rename((path + "-wal").c_str(), (target + "-wal").c_str());
    ::unlink((path + "-shm").c_str());
}

int exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

// Some set-up statements take a lock without consulting the busy handler on
// every path; retry them for a while when another process holds it.
int execRetry(sqlite3* db, const char* sql) {
    int rc = SQLITE_BUSY;
    for (int attempt = 0; attempt < 200; ++attempt) {
        rc = exec(db, sql);
        if ((rc & 0xFF) != SQLITE_BUSY && (rc & 0xFF) != SQLITE_LOCKED) break;
        usleep(10000);
    }
    return rc;
}

const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER NOT NULL, name TEXT NOT NULL, fold TEXT NOT NULL,"
    // The whole folded path, so that opening a key is one look-up.
    " path TEXT NOT NULL UNIQUE,"
    " UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS vals("
    " key INTEGER NOT NULL, name TEXT NOT NULL, fold TEXT NOT NULL,"
    " type INTEGER NOT NULL, data BLOB NOT NULL,"
    " PRIMARY KEY(key, fold));"
    // Values enumerate in the order they were made: rowid order within a key.
    "CREATE INDEX IF NOT EXISTS vals_order ON vals(key);";

// The connection of a root, opened (or re-opened) as needed. `write` asks for
// a connection that may write, creating the folder and file when missing.
LONG connect(Root& r, bool write, Connection*& out) {
    out = nullptr;
    std::string path = fileOf(r);
    struct stat st {};
    bool present = ::stat(path.c_str(), &st) == 0;
    Connection& c = r.conn;
    if (c.db) {
        bool same = present && c.pid == g_pid && FileId{st.st_dev, st.st_ino} == c.file;
        if (same && (c.writable || !write)) { out = &c; return ERROR_SUCCESS; }
        closeConnection(c);
    }
    if (!present) {
        if (!write) return ERROR_FILE_NOT_FOUND;
        if (r.readOnly) return ERROR_ACCESS_DENIED;
        std::error_code ec;
        fs::create_directories(folderOf(r), ec);
        if (ec) return ec.value() == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
    } else if (!S_ISREG(st.st_mode)) {
        return write ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    }
    bool canWrite = !r.readOnly && (write || ::access(path.c_str(), W_OK) == 0);
    if (write && !canWrite) return ERROR_ACCESS_DENIED;

    int flags = (canWrite ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY) |
                SQLITE_OPEN_NOMUTEX;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return mapError(rc, write);
    }
    sqlite3_busy_timeout(db, 10000);
    sqlite3_extended_result_codes(db, 1);
    if (::stat(path.c_str(), &st) != 0) {
        sqlite3_close_v2(db);
        return write ? ERROR_CANTWRITE : ERROR_FILE_NOT_FOUND;
    }
    FileId id{st.st_dev, st.st_ino};

    // The first read of the header tells a damaged file.
    bool haveSchema = false;
    sqlite3_stmt* st2 = nullptr;
    rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master WHERE name IN ('keys','vals','vals_order')", -1, &st2, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(st2);
        if (rc == SQLITE_ROW) { haveSchema = sqlite3_column_int(st2, 0) == 3; rc = SQLITE_OK; }
    }
    sqlite3_finalize(st2);
    if (rc == SQLITE_OK && canWrite) {
        rc = execRetry(db, "PRAGMA journal_mode=WAL");
        if (rc == SQLITE_OK) rc = exec(db, "PRAGMA synchronous=NORMAL");
        if (rc == SQLITE_OK && !haveSchema) rc = execRetry(db, kSchema);
        if (rc == SQLITE_OK) {
            // Keeps the log files after the last writer closes, so that users
            // who may only read a machine-wide root can still open it.
            int persist = 1;
            sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
        }
    }
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        if (isDamage(rc) && write) setAside(r, id);
        return mapError(rc, write);
    }
    if (!haveSchema && !canWrite) {
        sqlite3_close_v2(db);
        return ERROR_FILE_NOT_FOUND;
    }
    c.db = db;
    c.writable = canWrite;
    c.pid = g_pid;
    c.file = id;
    out = &c;
    return ERROR_SUCCESS;
}

// A prepared statement, reset and ready for binding.
sqlite3_stmt* stmt(Connection& c, const char* sql, int& rc) {
    auto it = c.statements.find(sql);
    if (it != c.statements.end()) {
        sqlite3_reset(it->second);
        sqlite3_clear_bindings(it->second);
        rc = SQLITE_OK;
        return it->second;
    }
    sqlite3_stmt* s = nullptr;
    rc = sqlite3_prepare_v3(c.db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
    if (rc != SQLITE_OK) return nullptr;
    c.statements.emplace(sql, s);
    return s;
}

void bindText(sqlite3_stmt* s, int i, std::string_view t) {
    sqlite3_bind_text(s, i, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
}

std::string columnText(sqlite3_stmt* s, int i) {
    const void* p = sqlite3_column_blob(s, i);
    int n = sqlite3_column_bytes(s, i);
    return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
}

LONG finish(Root& r, int rc, bool write) {
    if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return ERROR_SUCCESS;
    if (isDamage(rc)) {
        FileId id = r.conn.file;
        if (write) setAside(r, id);
        else closeConnection(r.conn);
    }
    return mapError(rc, write);
}

std::vector<std::string_view> splitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool validPath(const std::vector<std::string_view>& parts) {
    for (auto p : parts) {
        std::size_t n = 0;
        fold(p, &n);
        if (n > kMaxKeyNameChars) return false;
    }
    return true;
}

std::string joinPath(const std::string& base, const std::vector<std::string_view>& parts, std::size_t count) {
    std::string path = base;
    for (std::size_t i = 0; i < count; ++i) {
        if (!path.empty()) path += '\\';
        path += fold(parts[i]);
    }
    return path;
}

int findPath(Connection& c, const std::string& path, sqlite3_int64& out, bool& found) {
    found = false;
    if (path.empty()) { out = 0; found = true; return SQLITE_OK; }
    int rc = SQLITE_OK;
    sqlite3_stmt* s = stmt(c, "SELECT id FROM keys WHERE path=?1", rc);
    if (!s) return rc;
    bindText(s, 1, path);
    rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) {
        out = sqlite3_column_int64(s, 0);
        found = true;
        rc = SQLITE_OK;
    } else if (rc == SQLITE_DONE) {
        rc = SQLITE_OK;
    }
    sqlite3_reset(s);
    return rc;
}

bool keyAlive(Connection& c, sqlite3_int64 id, int& rc);

// Follows `parts` from the key `id` at `basePath`; `found` false when the
// key (or the base key itself) is missing.
int resolve(Connection& c, sqlite3_int64 id, const std::string& basePath, const std::vector<std::string_view>& parts,
            sqlite3_int64& out, bool& found) {
    found = false;
    int rc = SQLITE_OK;
    if (id != 0 || parts.empty()) {
        // A key deleted since it was opened has no sub-keys, even when a new
        // key of the same name was made meanwhile.
        if (!keyAlive(c, id, rc)) return rc;
        if (parts.empty()) { out = id; found = true; return SQLITE_OK; }
    }
    return findPath(c, joinPath(basePath, parts, parts.size()), out, found);
}

bool keyAlive(Connection& c, sqlite3_int64 id, int& rc) {
    if (id == 0) { rc = SQLITE_OK; return true; }
    sqlite3_stmt* s = stmt(c, "SELECT 1 FROM keys WHERE id=?1", rc);
    if (!s) return false;
    sqlite3_bind_int64(s, 1, id);
    rc = sqlite3_step(s);
    bool alive = rc == SQLITE_ROW;
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) rc = SQLITE_OK;
    sqlite3_reset(s);
    return alive;
}

// The root and key id behind a handle, with a connection fit for the use.
LONG locate(HKEY h, bool write, DWORD need, Root*& root, sqlite3_int64& id, Connection*& c,
            std::string* path = nullptr) {
    if (Root* r = findRoot(h)) {
        root = r;
        id = 0;
        if (path) path->clear();
        return connect(*r, write, c);
    }
    auto it = g_keys.find(h);
    if (it == g_keys.end()) return ERROR_INVALID_HANDLE;
    if (need && (it->second.access & need) != need) return ERROR_ACCESS_DENIED;
    root = it->second.root;
    id = it->second.id;
    if (path) *path = it->second.path;
    LONG rc = connect(*root, write, c);
    if (rc != ERROR_SUCCESS) return rc == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : rc;
    if (c->file != it->second.file) return ERROR_KEY_DELETED;
    return ERROR_SUCCESS;
}

// The statement `sql` on the key's connection, ?1 bound to the key's id;
// null with `rc` set when it cannot be made.
sqlite3_stmt* keyStatement(Connection& c, sqlite3_int64 id, const char* sql, int& rc) {
    sqlite3_stmt* s = stmt(c, sql, rc);
    if (s) sqlite3_bind_int64(s, 1, id);
    return s;
}

// Where a call on a key works: the key's root and id, and a connection.
struct Place {
    LONG result = ERROR_SUCCESS;
    Root* root = nullptr;
    sqlite3_int64 id = 0;
    Connection* c = nullptr;
};
// `path`, when given, gets the key's folded path.
Place locate(HKEY h, bool write, DWORD need, std::string* path = nullptr) {
    Place p;
    p.result = locate(h, write, need, p.root, p.id, p.c, path);
    return p;
}

// What opening and creating a key check first: a result pointer (cleared)
// and a valid path below the key, split into `parts`.
LONG checkSubKey(const std::string& subKey, HKEY* phkResult, std::vector<std::string_view>& parts) {
    if (phkResult) *phkResult = 0;
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    parts = splitPath(subKey);
    return validPath(parts) ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

HKEY newHandle(Root* r, sqlite3_int64 id, std::string path, FileId file, DWORD access) {
    HKEY h = g_nextHandle++;
    if (g_nextHandle <= 0 || g_nextHandle >= 0x7FFFFFFF) g_nextHandle = 0x1000;
    while (g_keys.count(h) || findRoot(h)) h = g_nextHandle++;
    g_keys[h] = OpenKey{r, id, std::move(path), file, access};
    return h;
}

struct Transaction {
    Connection& c;
    bool open = false;
    explicit Transaction(Connection& conn) : c(conn) {}
    int begin() {
        int rc = exec(c.db, "BEGIN IMMEDIATE");
        open = rc == SQLITE_OK;
        return rc;
    }
    int commit() {
        int rc = exec(c.db, "COMMIT");
        if (rc == SQLITE_OK) open = false;
        return rc;
    }
    ~Transaction() {
        if (open) exec(c.db, "ROLLBACK");
    }
};

// Hands the value in columns `col` (type) and `col + 1` (data) of the row
// to the caller: its type, its bytes when the buffer holds them
// (ERROR_MORE_DATA when it does not) and its size either way.
LONG giveValue(sqlite3_stmt* s, int col, DWORD* type, std::uint8_t* data, DWORD* cbData) {
    if (type) *type = static_cast<DWORD>(sqlite3_column_int64(s, col));
    // The blob first, then its size: sqlite's own order for reading one.
    const void* bytes = sqlite3_column_blob(s, col + 1);
    const DWORD size = static_cast<DWORD>(sqlite3_column_bytes(s, col + 1));
    LONG result = ERROR_SUCCESS;
    if (data) {
        if (*cbData < size) result = ERROR_MORE_DATA;
        else if (size) std::memcpy(data, bytes, size);
    }
    if (cbData) *cbData = size;
    return result;
}

}  // namespace

// ---- The functions -----------------------------------------------------------------

LONG RegOpenKeyEx(HKEY hKey, const std::string& subKey, DWORD, DWORD samDesired, HKEY* phkResult) {
    std::lock_guard lock(g_mutex);
    std::vector<std::string_view> parts;
    if (LONG bad = checkSubKey(subKey, phkResult, parts)) return bad;
    std::string base;
    auto [r, root, id, c] = locate(hKey, false, 0, &base);
    if (r != ERROR_SUCCESS) return r;
    bool found = false;
    int rc = resolve(*c, id, base, parts, id, found);
    if (rc != SQLITE_OK) return finish(*root, rc, false);
    if (!found) return ERROR_FILE_NOT_FOUND;
    *phkResult = newHandle(root, id, joinPath(base, parts, parts.size()), c->file, samDesired);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyEx(HKEY hKey, const std::string& subKey, DWORD, const char*, DWORD, DWORD samDesired, const void*,
                    HKEY* phkResult, DWORD* disposition) {
    std::lock_guard lock(g_mutex);
    std::vector<std::string_view> parts;
    if (LONG bad = checkSubKey(subKey, phkResult, parts)) return bad;
    std::string basePath;
    auto [r, root, base, c] = locate(hKey, true, parts.empty() ? 0 : KEY_CREATE_SUB_KEY, &basePath);
    if (r != ERROR_SUCCESS) return r;
    const std::string fullPath = joinPath(basePath, parts, parts.size());

    // Most calls find the key already there: no write lock needed for those.
    bool found = false;
    sqlite3_int64 id = 0;
    int rc = resolve(*c, base, basePath, parts, id, found);
    if (rc != SQLITE_OK) return finish(*root, rc, true);
    if (found) {
        if (disposition) *disposition = REG_OPENED_EXISTING_KEY;
        *phkResult = newHandle(root, id, fullPath, c->file, samDesired);
        return ERROR_SUCCESS;
    }

    Transaction tx(*c);
    if ((rc = tx.begin()) != SQLITE_OK) return finish(*root, rc, true);
    if (!keyAlive(*c, base, rc)) return rc != SQLITE_OK ? finish(*root, rc, true) : ERROR_KEY_DELETED;
    bool created = false;
    id = base;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string prefix = joinPath(basePath, parts, i + 1);
        sqlite3_int64 next = 0;
        rc = findPath(*c, prefix, next, found);
        if (rc != SQLITE_OK) return finish(*root, rc, true);
        if (!found) {
            sqlite3_stmt* s =
                keyStatement(*c, id, "INSERT INTO keys(parent, name, fold, path) VALUES(?1, ?2, ?3, ?4)", rc);
            if (!s) return finish(*root, rc, true);
            bindText(s, 2, parts[i]);
            bindText(s, 3, fold(parts[i]));
            bindText(s, 4, prefix);
            rc = sqlite3_step(s);
            sqlite3_reset(s);
            if (rc != SQLITE_DONE) return finish(*root, rc, true);
            next = sqlite3_last_insert_rowid(c->db);
            created = true;
        }
        id = next;
    }
    if ((rc = tx.commit()) != SQLITE_OK) return finish(*root, rc, true);
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = newHandle(root, id, fullPath, c->file, samDesired);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
    std::lock_guard lock(g_mutex);
    if (findRoot(hKey)) return ERROR_SUCCESS;
    return g_keys.erase(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueEx(HKEY hKey, const std::string& valueName, DWORD*, DWORD* type, std::uint8_t* data,
                     DWORD* cbData) {
    std::lock_guard lock(g_mutex);
    if (data && !cbData) return ERROR_INVALID_PARAMETER;
    auto [r, root, id, c] = locate(hKey, false, KEY_QUERY_VALUE);
    if (r != ERROR_SUCCESS) return r;
    int rc = SQLITE_OK;
    sqlite3_stmt* s = keyStatement(*c, id, "SELECT type, data FROM vals WHERE key=?1 AND fold=?2", rc);
    if (!s) return finish(*root, rc, false);
    bindText(s, 2, fold(valueName));
    rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) { sqlite3_reset(s); return ERROR_FILE_NOT_FOUND; }
    if (rc != SQLITE_ROW) { sqlite3_reset(s); return finish(*root, rc, false); }
    const LONG result = giveValue(s, 0, type, data, cbData);
    sqlite3_reset(s);
    return result;
}

LONG RegSetValueEx(HKEY hKey, const std::string& valueName, DWORD, DWORD type, const std::uint8_t* data,
                   DWORD cbData) {
    std::lock_guard lock(g_mutex);
    if (!data && cbData) return ERROR_INVALID_PARAMETER;
    std::size_t chars = 0;
    std::string folded = fold(valueName, &chars);
    if (chars > kMaxValueNameChars) return ERROR_INVALID_PARAMETER;
    auto [r, root, id, c] = locate(hKey, true, KEY_SET_VALUE);
    if (r != ERROR_SUCCESS) return r;
    int rc = SQLITE_OK;
    // One statement, so one transaction; it stores nothing when the key was
    // deleted since it was opened.
    sqlite3_stmt* s = keyStatement(*c, id,
                                   "INSERT INTO vals(key, name, fold, type, data) SELECT ?1, ?2, ?3, ?4, ?5"
                                   " WHERE ?1 = 0 OR EXISTS(SELECT 1 FROM keys WHERE id = ?1)"
                                   " ON CONFLICT(key, fold) DO UPDATE SET type = excluded.type, data = excluded.data",
                                   rc);
    if (!s) return finish(*root, rc, true);
    bindText(s, 2, valueName);
    bindText(s, 3, folded);
    sqlite3_bind_int64(s, 4, type);
    sqlite3_bind_blob(s, 5, cbData ? static_cast<const void*>(data) : "", static_cast<int>(cbData), SQLITE_TRANSIENT);
    rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) return finish(*root, rc, true);
    return sqlite3_changes(c->db) > 0 ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

LONG RegDeleteKey(HKEY hKey, const std::string& subKey) {
    std::lock_guard lock(g_mutex);
    auto parts = splitPath(subKey);
    if (!validPath(parts)) return ERROR_INVALID_PARAMETER;
    Root* root = nullptr;
    sqlite3_int64 id = 0;
    Connection* c = nullptr;
    if (Root* r0 = findRoot(hKey)) {
        // Deleting from a root that has no database yet creates none.
        struct stat st {};
        if (::stat(fileOf(*r0).c_str(), &st) != 0) return ERROR_FILE_NOT_FOUND;
    }
    std::string base;
    LONG r = locate(hKey, true, 0, root, id, c, &base);
    if (r != ERROR_SUCCESS) return r;
    Transaction tx(*c);
    int rc = tx.begin();
    if (rc != SQLITE_OK) return finish(*root, rc, true);
    bool found = false;
    rc = resolve(*c, id, base, parts, id, found);
    if (rc != SQLITE_OK) return finish(*root, rc, true);
    if (!found) return ERROR_FILE_NOT_FOUND;
    if (id == 0) return ERROR_ACCESS_DENIED;
    sqlite3_stmt* s = keyStatement(*c, id, "SELECT 1 FROM keys WHERE parent=?1 LIMIT 1", rc);
    if (!s) return finish(*root, rc, true);
    rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc == SQLITE_ROW) return ERROR_ACCESS_DENIED;
    if (rc != SQLITE_DONE) return finish(*root, rc, true);
    s = stmt(*c, "DELETE FROM vals WHERE key=?1", rc);
    if (!s) return finish(*root, rc, true);
    sqlite3_bind_int64(s, 1, id);
    rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) return finish(*root, rc, true);
    s = stmt(*c, "DELETE FROM keys WHERE id=?1", rc);
    if (!s) return finish(*root, rc, true);
    sqlite3_bind_int64(s, 1, id);
    rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) return finish(*root, rc, true);
    if ((rc = tx.commit()) != SQLITE_OK) return finish(*root, rc, true);
    return ERROR_SUCCESS;
}

LONG RegDeleteValue(HKEY hKey, const std::string& valueName) {
    std::lock_guard lock(g_mutex);
    auto [r, root, id, c] = locate(hKey, true, KEY_SET_VALUE);
    if (r != ERROR_SUCCESS) return r;
    int rc = SQLITE_OK;
    sqlite3_stmt* s = keyStatement(*c, id, "DELETE FROM vals WHERE key=?1 AND fold=?2", rc);
    if (!s) return finish(*root, rc, true);
    bindText(s, 2, fold(valueName));
    rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) return finish(*root, rc, true);
    return sqlite3_changes(c->db) > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// Steps an enumeration query of key `hKey` ("... WHERE <owner>=?1 ... LIMIT 1
// OFFSET ?2") to item `index`. On ERROR_SUCCESS `s` stands on that row and the
// caller resets it; anything else is what the enumeration returns.
static LONG enumerationRow(HKEY hKey, DWORD need, const char* sql, DWORD index, sqlite3_stmt*& s) {
    auto [r, root, id, c] = locate(hKey, false, need);
    if (r != ERROR_SUCCESS) return r == ERROR_FILE_NOT_FOUND ? ERROR_NO_MORE_ITEMS : r;
    int rc = SQLITE_OK;
    s = stmt(*c, sql, rc);
    if (!s) return finish(*root, rc, false);
    sqlite3_bind_int64(s, 1, id);
    sqlite3_bind_int64(s, 2, index);
    rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) return ERROR_SUCCESS;
    sqlite3_reset(s);
    if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
    LONG e = finish(*root, rc, false);
    return e == ERROR_FILE_NOT_FOUND ? ERROR_NO_MORE_ITEMS : e;
}

LONG RegEnumValue(HKEY hKey, DWORD index, char* name, DWORD* cchName, DWORD*, DWORD* type, std::uint8_t* data,
                  DWORD* cbData) {
    std::lock_guard lock(g_mutex);
    if (!name || !cchName || (data && !cbData)) return ERROR_INVALID_PARAMETER;
    sqlite3_stmt* s = nullptr;
    LONG r = enumerationRow(hKey, KEY_QUERY_VALUE,
                            "SELECT name, type, data FROM vals WHERE key=?1 ORDER BY rowid LIMIT 1 OFFSET ?2", index, s);
    if (r != ERROR_SUCCESS) return r;
    std::string n = columnText(s, 0);
    LONG result = ERROR_SUCCESS;
    if (n.size() + 1 > *cchName) {
        result = ERROR_MORE_DATA;
    } else {
        std::memcpy(name, n.data(), n.size());
        name[n.size()] = '\0';
        *cchName = static_cast<DWORD>(n.size());
        result = giveValue(s, 1, type, data, cbData);
    }
    sqlite3_reset(s);
    return result;
}

LONG RegEnumKey(HKEY hKey, DWORD index, char* name, DWORD cchName) {
    std::lock_guard lock(g_mutex);
    if (!name) return ERROR_INVALID_PARAMETER;
    sqlite3_stmt* s = nullptr;
    LONG r = enumerationRow(hKey, KEY_ENUMERATE_SUB_KEYS,
                            "SELECT name FROM keys WHERE parent=?1 ORDER BY fold, name LIMIT 1 OFFSET ?2", index, s);
    if (r != ERROR_SUCCESS) return r;
    std::string n = columnText(s, 0);
    sqlite3_reset(s);
    if (n.size() + 1 > cchName) return ERROR_MORE_DATA;
    std::memcpy(name, n.data(), n.size());
    name[n.size()] = '\0';
    return ERROR_SUCCESS;
}

LONG RegQueryInfoKey(HKEY hKey, DWORD* subKeys, DWORD* maxSubKeyLen, DWORD* values, DWORD* maxValueNameLen,
                     DWORD* maxValueLen) {
    std::lock_guard lock(g_mutex);
    auto [r, root, id, c] = locate(hKey, false, KEY_QUERY_VALUE);
    if (r != ERROR_SUCCESS) return r;
    int rc = SQLITE_OK;
    sqlite3_stmt* s = keyStatement(*c, id,
                                   "SELECT (SELECT count(*) FROM keys WHERE parent=?1),"
                                   " (SELECT ifnull(max(length(CAST(name AS BLOB))), 0) FROM keys WHERE parent=?1),"
                                   " count(*), ifnull(max(length(CAST(name AS BLOB))), 0), ifnull(max(length(data)), 0)"
                                   " FROM vals WHERE key=?1",
                                   rc);
    if (!s) return finish(*root, rc, false);
    rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) { sqlite3_reset(s); return finish(*root, rc, false); }
    if (subKeys) *subKeys = static_cast<DWORD>(sqlite3_column_int64(s, 0));
    if (maxSubKeyLen) *maxSubKeyLen = static_cast<DWORD>(sqlite3_column_int64(s, 1));
    if (values) *values = static_cast<DWORD>(sqlite3_column_int64(s, 2));
    if (maxValueNameLen) *maxValueNameLen = static_cast<DWORD>(sqlite3_column_int64(s, 3));
    if (maxValueLen) *maxValueLen = static_cast<DWORD>(sqlite3_column_int64(s, 4));
    sqlite3_reset(s);
    return ERROR_SUCCESS;
}

std::string expandEnvironmentStrings(const std::string& src) {
    std::string out;
    std::size_t i = 0;
    while (i < src.size()) {
        if (src[i] != '%') { out += src[i++]; continue; }
        std::size_t close = src.find('%', i + 1);
        if (close != std::string::npos && close > i + 1) {
            std::string name = src.substr(i + 1, close - i - 1);
            if (const char* v = std::getenv(name.c_str()); v && name.find('=') == std::string::npos) {
                out += v;
                i = close + 1;
                continue;
            }
        }
        // Not a reference: the percent sign stays, and the next one may open
        // a reference of its own.
        out += '%';
        ++i;
    }
    return out;
}

DWORD ExpandEnvironmentStrings(const char* src, char* dst, DWORD nSize) {
    std::string out = expandEnvironmentStrings(src ? src : "");
    DWORD need = static_cast<DWORD>(out.size() + 1);
    if (dst && nSize >= need) std::memcpy(dst, out.c_str(), need);
    return need;
}

std::string rootFile(HKEY root) {
    std::lock_guard lock(g_mutex);
    Root* r = findRoot(root);
    return r ? fileOf(*r) : std::string();
}

void setRootFolder(HKEY root, const std::string& folder) {
    std::lock_guard lock(g_mutex);
    if (Root* r = findRoot(root)) {
        closeConnection(r->conn);
        r->folderOverride = folder;
    }
}

void setRootReadOnly(HKEY root, bool readOnly) {
    std::lock_guard lock(g_mutex);
    if (Root* r = findRoot(root)) {
        closeConnection(r->conn);
        r->readOnly = readOnly;
    }
}

void closeDatabases() {
    std::lock_guard lock(g_mutex);
    for (Root& r : g_roots) closeConnection(r.conn);
}

std::string rootName(HKEY root) {
    Root* r = findRoot(root);
    return r ? r->name : std::string();
}

HKEY rootFromName(const std::string& name) {
    std::string n = fold(name);
    if (n == "HKCR" || n == "HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
    if (n == "HKCU" || n == "HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
    if (n == "HKLM" || n == "HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
    return 0;
}

namespace {
const char* kTypeNames[] = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY",
                            "REG_DWORD", "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_MULTI_SZ"};
}

std::string typeName(DWORD type) {
    return type < std::size(kTypeNames) ? kTypeNames[type] : std::to_string(type);
}

DWORD typeFromName(const std::string& name) {
    std::string n = fold(name);
    for (DWORD t = 0; t < std::size(kTypeNames); ++t)
        if (n == kTypeNames[t]) return t;
    return 0xFFFFFFFFu;
}

}  // namespace pw::reg
