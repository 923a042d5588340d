#include "lib/analytics/TrkPersistentHitStore.h"

#include <cstdlib>

#include "lib/analytics/TrkUtils.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

namespace {

const char* const kCreateSession =
    "CREATE TABLE IF NOT EXISTS session ( 'timestamp_first' INTEGER PRIMARY KEY, 'timestamp_previous' INTEGER NOT "
    "NULL, 'timestamp_current' INTEGER NOT NULL, 'visits' INTEGER NOT NULL, 'store_id' INTEGER NOT NULL);";
const char* const kCreateHits =
    "CREATE TABLE IF NOT EXISTS hits ( 'hit_id' INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL, 'hit_string' TEXT NOT "
    "NULL);";
const char* const kCreateEvents =
    "CREATE TABLE IF NOT EXISTS events ( 'event_id' INTEGER PRIMARY KEY, 'random_val' INTEGER NOT NULL, "
    "'timestamp_first' INTEGER NOT NULL, 'timestamp_previous' INTEGER NOT NULL, 'timestamp_current' INTEGER NOT "
    "NULL, 'visits' INTEGER NOT NULL, 'category' CHAR(256) NOT NULL, 'action' CHAR(256) NOT NULL, 'label' "
    "CHAR(256), 'value' INTEGER);";
const char* const kCreateCustomVarCache =
    "CREATE TABLE IF NOT EXISTS custom_var_cache ( 'cv_id' INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL, 'cv_scope' "
    "INTEGER NOT NULL, 'cv_index' INTEGER NOT NULL, 'cv_name' CHAR(64) NOT NULL, 'cv_value' CHAR(64) NOT NULL);";
const char* const kCreateReferrer =
    "CREATE TABLE IF NOT EXISTS referrer ( 'referrer' TEXT NOT NULL, 'referrer_timestamp' INTEGER NOT NULL, "
    "'referrer_visit' INTEGER NOT NULL, 'referrer_index' INTEGER NOT NULL);";

const char* const kInsertHit = "INSERT INTO hits (hit_string) VALUES (?);";
const char* const kSelectHits = "SELECT * FROM hits ORDER BY hit_id LIMIT ?;";
const char* const kDeleteHit = "DELETE FROM hits WHERE hit_id = ?;";
const char* const kCountHits = "SELECT COUNT(*) FROM hits;";
const char* const kSelectSession = "SELECT * FROM session;";
const char* const kInsertSession =
    "INSERT INTO session (timestamp_first, timestamp_previous, timestamp_current, visits, store_id) VALUES (?, ?, "
    "?, ?, ?);";
const char* const kDeleteSession = "DELETE from session;";
const char* const kBegin = "BEGIN TRANSACTION;";
const char* const kEnd = "END TRANSACTION;";
const char* const kRollback = "ROLLBACK;";
const char* const kSelectCustomVarByIndex = "SELECT * FROM custom_var_cache WHERE cv_index=?;";
const char* const kInsertCustomVar =
    "INSERT INTO custom_var_cache (cv_scope,cv_index,cv_name,cv_value) VALUES (?, ?, ?, ?);";
const char* const kUpdateCustomVar = "UPDATE custom_var_cache SET cv_scope=?,cv_name=?,cv_value=? WHERE cv_index=?;";
const char* const kSelectCustomVarValue = "SELECT cv_value FROM custom_var_cache WHERE cv_scope=? AND cv_index=?;";
const char* const kSelectCustomVarsByScope =
    "SELECT cv_index, cv_name, cv_value, cv_scope  FROM custom_var_cache WHERE cv_scope=?;";
const char* const kSelectReferrer = "SELECT * FROM referrer;";
const char* const kDeleteReferrer = "DELETE FROM referrer;";
const char* const kInsertReferrer =
    "INSERT INTO referrer (referrer,referrer_timestamp,referrer_visit,referrer_index) VALUES (?, ?, ?, ?);";
const char* const kTableExists = "SELECT name FROM sqlite_master WHERE type='table' AND name=?";
const char* const kSelectEvents = "SELECT * FROM events ORDER BY event_id LIMIT ?;";
const char* const kSelectCustomVarsOfEvent = "SELECT * FROM custom_variables WHERE event_id=?;";
const char* const kSelectTransactionOfEvent = "SELECT * FROM transactions WHERE event_id = ?;";
const char* const kSelectItemOfEvent = "SELECT * FROM items WHERE event_id = ?;";

// The only tables ever dropped; their names are fixed, never taken from input.
const char* const kLegacyTables[] = {"events", "items", "transactions", "custom_variables"};

void bindText(sqlite3_stmt* s, int i, const std::string& text) {
    sqlite3_bind_text(s, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

int bindLimit(int limit) { return limit < 0 ? static_cast<int>(kTrkMaxStoredHits) : limit; }

std::string columnText(sqlite3_stmt* s, int i) {
    const unsigned char* t = sqlite3_column_text(s, i);
    return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_column_bytes(s, i)))
             : std::string();
}

TrkText columnOptionalText(sqlite3_stmt* s, int i) {
    if (sqlite3_column_type(s, i) == SQLITE_NULL) return std::nullopt;
    return columnText(s, i);
}

// Numbers the legacy layout kept as text.
double columnDouble(sqlite3_stmt* s, int i) { return std::strtod(columnText(s, i).c_str(), nullptr); }
int columnIntFromText(sqlite3_stmt* s, int i) {
    return static_cast<int>(std::strtol(columnText(s, i).c_str(), nullptr, 10));
}

void done(sqlite3_stmt* s) {
    if (!s) return;
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
}

}  // namespace

TrkPersistentHitStore::TrkPersistentHitStore(std::shared_ptr<TrkHitBuilder> hitBuilder)
    : hitBuilder_(std::move(hitBuilder)) {
    init(std::nullopt);
}

TrkPersistentHitStore::TrkPersistentHitStore(std::shared_ptr<TrkHitBuilder> hitBuilder, const std::string& path)
    : hitBuilder_(std::move(hitBuilder)) {
    init(path);
}

TrkPersistentHitStore::~TrkPersistentHitStore() { closeDatabase(); }

std::string TrkPersistentHitStore::defaultPath() {
    return foundation::joinPath(foundation::joinPath(foundation::homeDir(), "Library"), kTrkDatabaseFileName);
}

void TrkPersistentHitStore::init(const std::optional<std::string>& path) {
    if (!hitBuilder_) hitBuilder_ = std::make_shared<TrkHitBuilder>();
    openDatabase(path);
    // The kept statements are prepared on first use (see kept()).
}

const char* TrkPersistentHitStore::errmsg() const { return db_ ? sqlite3_errmsg(db_) : "no database"; }

sqlite3_stmt* TrkPersistentHitStore::prepareSql(const char* sql, const char* description) {
    if (!db_) return nullptr;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        foundation::log("Error: Failed to prepare ", description, " statement: ", rc);
        sqlite3_finalize(stmt);
        return nullptr;
    }
    return stmt;
}

sqlite3_stmt* TrkPersistentHitStore::kept(sqlite3_stmt*& slot, const char* sql, const char* description) {
    if (!slot) slot = prepareSql(sql, description);
    return slot;
}

int TrkPersistentHitStore::executeSql(const char* sql, const char* description) {
    sqlite3_stmt* stmt = prepareSql(sql, description);
    if (!stmt) return SQLITE_ERROR;
    int rc = sqlite3_step(stmt);
    sqlite3_finalize(stmt);
    return rc;
}

bool TrkPersistentHitStore::openDatabase(const std::optional<std::string>& givenPath) {
    std::string path;
    if (givenPath) {
        path = *givenPath;
    } else {
        std::string library = foundation::joinPath(foundation::homeDir(), "Library");
        if (!foundation::createDirectories(library)) return false;
        path = foundation::joinPath(library, kTrkDatabaseFileName);
        std::string old = foundation::joinPath(foundation::documentsDir(), kTrkDatabaseFileName);
        if (old != path && foundation::fileExists(old)) {
            if (foundation::fileExists(path)) {
                if (foundation::removeItem(old)) {
                    foundation::log("Deleted hit store database in Documents.");
                } else {
                    foundation::log("Failed to delete hit store database in Documents: ", old);
                }
            } else if (std::rename(old.c_str(), path.c_str()) == 0) {
                foundation::log("Moved hit store database from Documents to Library.");
            } else {
                foundation::log("Failed to move database from Documents to Library: ", old);
                foundation::removeItem(old);
            }
        }
    }

    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        foundation::log("Unable to open analytics database");
        sqlite3_close(db);
        return false;
    }
    db_ = db;

    // Whether the file has the older layout: events but no hits.
    bool legacy = !tableExists("hits") && tableExists("events");
    bool ok = executeSql(kCreateSession, "create session table") == SQLITE_DONE &&
              executeSql(kCreateHits, "create hits table") == SQLITE_DONE &&
              executeSql(kCreateEvents, "create events table") == SQLITE_DONE &&
              executeSql(kCreateCustomVarCache, "create custom var cache table") == SQLITE_DONE &&
              populateCustomVariableCache() && executeSql(kCreateReferrer, "create referrer table") == SQLITE_DONE;
    if (!ok) {
        foundation::log("Error initializing analytics database");
        closeDatabase();
        return false;
    }
    initializeSession();
    countHits();
    if (legacy) {
        migrateEventsToHits();
        // The migration drops the old tables; the events table of the current
        // layout stays (empty).
        executeSql(kCreateEvents, "create events table");
        countHits();
    }
    return true;
}

void TrkPersistentHitStore::closeDatabase() {
    if (!db_) return;
    for (sqlite3_stmt** slot :
         {&beginStmt_, &endStmt_, &rollbackStmt_, &updateCustomVarStmt_, &selectSessionStmt_, &insertSessionStmt_,
          &deleteSessionStmt_, &selectReferrerStmt_, &insertHitStmt_, &selectHitsStmt_, &deleteHitStmt_,
          &selectEventStmt_, &selectTransactionStmt_, &selectItemStmt_}) {
        sqlite3_finalize(*slot);
        *slot = nullptr;
    }
    while (sqlite3_stmt* open = sqlite3_next_stmt(db_, nullptr)) {
        foundation::log("Unfinalized statement: ", sqlite3_sql(open));
        sqlite3_finalize(open);
    }
    if (sqlite3_close(db_) != SQLITE_OK) foundation::log("Failed to close database: ", sqlite3_errmsg(db_));
    db_ = nullptr;
}

bool TrkPersistentHitStore::beginTransaction(TrkError* error) {
    sqlite3_stmt* s = kept(beginStmt_, kBegin, "begin transaction");
    int rc = s ? sqlite3_step(s) : SQLITE_ERROR;
    done(s);
    if (rc != SQLITE_DONE) {
        foundation::log("Error: Failed begin transaction from database '", errmsg(), "'");
        if (error) *error = sqliteError(rc);
        return false;
    }
    return true;
}

bool TrkPersistentHitStore::endTransaction(TrkError* error) {
    sqlite3_stmt* s = kept(endStmt_, kEnd, "end transaction");
    int rc = s ? sqlite3_step(s) : SQLITE_ERROR;
    done(s);
    if (rc != SQLITE_DONE) {
        if (error) *error = sqliteError(rc);
        return false;
    }
    return true;
}

void TrkPersistentHitStore::rollback() {
    sqlite3_stmt* s = kept(rollbackStmt_, kRollback, "rollback");
    if (s) sqlite3_step(s);
    done(s);
}

bool TrkPersistentHitStore::tableExists(const std::string& name) {
    sqlite3_stmt* s = prepareSql(kTableExists, "table exists");
    if (!s) return false;
    bindText(s, 1, name);
    bool exists = sqlite3_step(s) == SQLITE_ROW;
    sqlite3_finalize(s);
    return exists;
}

bool TrkPersistentHitStore::deleteTable(const std::string& name) {
    // Only ever called with a name from kLegacyTables.
    bool known = false;
    for (const char* t : kLegacyTables) known = known || name == t;
    if (!known) return false;
    std::string sql = "drop table " + name + ";";
    return executeSql(sql.c_str(), "delete table") == SQLITE_DONE;
}

bool TrkPersistentHitStore::populateCustomVariableCache() {
    sqlite3_stmt* select = prepareSql(kSelectCustomVarByIndex, "select custom variable by index");
    sqlite3_stmt* insert = prepareSql(kInsertCustomVar, "insert custom var cache");
    bool ok = select && insert;
    for (unsigned i = 1; ok && i <= kTrkMaxCustomVariables; ++i) {
        sqlite3_bind_int(select, 1, static_cast<int>(i));
        int rc = sqlite3_step(select);
        done(select);
        if (rc == SQLITE_ROW) continue;
        if (rc != SQLITE_DONE) {
            ok = false;
            break;
        }
        sqlite3_bind_int(insert, 1, 3);
        sqlite3_bind_int(insert, 2, static_cast<int>(i));
        bindText(insert, 3, "");
        bindText(insert, 4, "");
        ok = sqlite3_step(insert) == SQLITE_DONE;
        done(insert);
    }
    sqlite3_finalize(select);
    sqlite3_finalize(insert);
    return ok;
}

bool TrkPersistentHitStore::initializeSession() {
    sqlite3_stmt* s = kept(selectSessionStmt_, kSelectSession, "select session");
    if (!s) return false;
    int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) {
        timestampFirst_ = sqlite3_column_int(s, 0);
        timestampPrevious_ = sqlite3_column_int(s, 1);
        timestampCurrent_ = sqlite3_column_int(s, 2);
        visits_ = sqlite3_column_int(s, 3);
        storeID_ = sqlite3_column_int(s, 4);
        done(s);
        std::optional<TrkReferrer> referrer = getReferrer();
        sessionStarted_ = timestampFirst_ != 0 && (!referrer || referrer->timestamp() != 0);
        return true;
    }
    done(s);
    if (rc != SQLITE_DONE) {
        foundation::log("Error: Failed to read session from database '", errmsg(), "'");
        return false;
    }
    sessionStarted_ = false;
    useStoredVisitorVars_ = true;
    storeID_ = TrkUtils::random31();
    timestampFirst_ = timestampPrevious_ = timestampCurrent_ = visits_ = 0;
    sqlite3_stmt* insert = kept(insertSessionStmt_, kInsertSession, "create session");
    bool ok = false;
    if (insert) {
        for (int i = 1; i <= 4; ++i) sqlite3_bind_int(insert, i, 0);
        sqlite3_bind_int(insert, 5, storeID_);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        done(insert);
    }
    if (!ok) foundation::log("Error: Failed to set session information '", errmsg(), "'");
    return ok;
}

bool TrkPersistentHitStore::updateSession() {
    int now = static_cast<int>(foundation::clock().nowSeconds());
    if (timestampFirst_ != 0) {
        timestampPrevious_ = timestampCurrent_;
        timestampCurrent_ = now;
        if (timestampPrevious_ == now) timestampCurrent_ = timestampPrevious_ + 1;
        ++visits_;
    } else {
        timestampFirst_ = timestampPrevious_ = timestampCurrent_ = now;
        visits_ = 1;
    }
    sqlite3_stmt* del = kept(deleteSessionStmt_, kDeleteSession, "delete session");
    int rc = del ? sqlite3_step(del) : SQLITE_ERROR;
    done(del);
    if (rc != SQLITE_DONE) {
        foundation::log("Error: Failed to delete session record from database '", errmsg(), "'");
        return false;
    }
    sqlite3_stmt* insert = kept(insertSessionStmt_, kInsertSession, "create session");
    rc = SQLITE_ERROR;
    if (insert) {
        sqlite3_bind_int(insert, 1, timestampFirst_);
        sqlite3_bind_int(insert, 2, timestampPrevious_);
        sqlite3_bind_int(insert, 3, timestampCurrent_);
        sqlite3_bind_int(insert, 4, visits_);
        sqlite3_bind_int(insert, 5, storeID_);
        rc = sqlite3_step(insert);
        done(insert);
    }
    if (rc != SQLITE_DONE) {
        foundation::log("Error: Failed to insert session record into database '", errmsg(), "'");
        return false;
    }
    return true;
}

bool TrkPersistentHitStore::persistEvent(TrkEvent& event, TrkError* error) { return persistEvent(event, true, error); }

bool TrkPersistentHitStore::persistEvent(TrkEvent& event, bool allowSessionUpdate, TrkError* error) {
    if (!db_) return setTrkError(error, kTrkPersistentEventStoreErrorDomain, kTrkDatabaseNotOpenError);
    if (storedHits_ >= kTrkMaxStoredHits) {
        return setTrkError(error, kTrkPersistentEventStoreErrorDomain, kTrkInvalidInputError);
    }
    if (sampleRate_ != 100) {
        int id = event.visitorId() == -1 ? storeID_ : event.visitorId();
        if (static_cast<unsigned>(id % 10000) >= sampleRate_ * 100) {
            if (debug_) foundation::log("User has been sampled out. Aborting hit.");
            return true;
        }
    }
    if (!beginTransaction(error)) return false;
    if (!sessionStarted_ && allowSessionUpdate) {
        if (!updateSession()) {
            rollback();
            endTransaction(nullptr);
            return setTrkError(error, kTrkPersistentEventStoreErrorDomain, sqlite3_errcode(db_));
        }
        sessionStarted_ = true;
    }
    if (!event.isSessionInitialized()) {
        event.setRandomVal(TrkUtils::random31());
        event.setTimestampFirst(timestampFirst_);
        event.setTimestampPrevious(timestampPrevious_);
        event.setTimestampCurrent(timestampCurrent_);
        event.setVisits(visits_);
    }
    event.setAnonymizeIp(anonymizeIp_);
    if (event.visitorId() == -1) event.setVisitorId(storeID_);
    putCustomVariables(event);

    TrkError referrerError;
    bool referrerFailed = false;
    std::optional<TrkReferrer> referrer;
    {
        TrkError e{"", 0};
        referrer = getAndUpdateReferrer(&e);
        if (e.code != 0) {
            referrerFailed = true;
            referrerError = e;
        }
    }
    if (referrerFailed) {
        endTransaction(nullptr);
        if (error) *error = referrerError;
        return false;
    }

    std::vector<std::string> hits = hitBuilder_->constructHitRequestPath(event, referrer);
    sqlite3_stmt* insert = kept(insertHitStmt_, kInsertHit, "insert hit");
    for (const std::string& hit : hits) {
        int rc = SQLITE_ERROR;
        if (insert) {
            bindText(insert, 1, hit);
            rc = sqlite3_step(insert);
            done(insert);
        }
        if (rc != SQLITE_DONE) {
            foundation::log("Error: Failed to insert hit into database '", errmsg(), "'");
            rollback();
            endTransaction(nullptr);
            return setTrkError(error, kTrkPersistentEventStoreErrorDomain, rc);
        }
    }
    if (!endTransaction(error)) {
        // The hits may or may not have been written; count them again.
        rollback();
        countHits();
        return false;
    }
    storedHits_ += static_cast<unsigned>(hits.size());
    return true;
}

std::vector<TrkHit> TrkPersistentHitStore::peekHits(int limit) {
    std::vector<TrkHit> hits;
    sqlite3_stmt* s = kept(selectHitsStmt_, kSelectHits, "select hits ordered by id");
    if (!s) return hits;
    sqlite3_bind_int(s, 1, bindLimit(limit));
    while (sqlite3_step(s) == SQLITE_ROW) {
        hits.emplace_back(columnText(s, 1), static_cast<uint64_t>(sqlite3_column_int64(s, 0)));
    }
    done(s);
    return hits;
}

bool TrkPersistentHitStore::deleteHit(uint64_t hitId) {
    sqlite3_stmt* s = kept(deleteHitStmt_, kDeleteHit, "delete hit");
    int rc = SQLITE_ERROR;
    if (s) {
        sqlite3_bind_int64(s, 1, static_cast<sqlite3_int64>(hitId));
        rc = sqlite3_step(s);
        done(s);
    }
    if (rc != SQLITE_DONE) {
        foundation::log("Error: Failed to delete hit from database '", errmsg(), "'");
        return false;
    }
    // Only a row that was really deleted lowers the count, and never below 0.
    if (sqlite3_changes(db_) == 1 && storedHits_ > 0) --storedHits_;
    return true;
}

bool TrkPersistentHitStore::countHits() {
    sqlite3_stmt* s = prepareSql(kCountHits, "count hits");
    if (!s) return false;
    bool ok = sqlite3_step(s) == SQLITE_ROW;
    if (ok) {
        sqlite3_int64 n = sqlite3_column_int64(s, 0);
        storedHits_ = n < 0 ? 0u : static_cast<unsigned>(n);
    } else {
        foundation::log("Error: Failed to read from database '", errmsg(), "'");
    }
    sqlite3_finalize(s);
    return ok;
}

bool TrkPersistentHitStore::storeHit(const std::string& hitString, TrkError* error) {
    if (!db_) return setTrkError(error, kTrkPersistentEventStoreErrorDomain, kTrkDatabaseNotOpenError);
    sqlite3_stmt* s = kept(insertHitStmt_, kInsertHit, "insert hit");
    int rc = SQLITE_ERROR;
    if (s) {
        bindText(s, 1, hitString);
        rc = sqlite3_step(s);
        done(s);
    }
    if (rc != SQLITE_DONE) {
        foundation::log("Error: Failed to insert hit into database '", errmsg(), "'");
        return setTrkError(error, kTrkPersistentEventStoreErrorDomain, rc);
    }
    ++storedHits_;
    return true;
}

void TrkPersistentHitStore::startNewSession() {
    sessionStarted_ = false;
    useStoredVisitorVars_ = true;
    countHits();
}

TrkText TrkPersistentHitStore::formatReferrer(const TrkText& referrer) {
    if (!referrer) return std::nullopt;
    auto params = TrkUtils::paramsFromQuery(referrer);
    auto has = [&](const char* key) {
        auto it = params.find(key);
        return it != params.end() && it->second.has_value();
    };
    if (!has("gclid") && !(has("utm_campaign") && has("utm_medium") && has("utm_source"))) return std::nullopt;
    // A fixed order, so the stored text does not depend on hashing.
    static const std::pair<const char*, const char*> kMap[] = {
        {"utm_id", "utmcid"},     {"utm_source", "utmcsr"}, {"gclid", "utmgclid"},     {"utm_campaign", "utmccn"},
        {"utm_medium", "utmcmd"}, {"utm_term", "utmctr"},   {"utm_content", "utmcct"},
    };
    std::string out;
    for (const auto& [from, to] : kMap) {
        auto it = params.find(from);
        if (it == params.end() || !it->second || it->second->empty()) continue;
        std::string value;
        for (char c : *it->second) value += (c == '+' || c == ' ') ? std::string("%20") : std::string(1, c);
        if (!out.empty()) out += "|";
        out += std::string(to) + "=" + value;
    }
    return out;
}

bool TrkPersistentHitStore::setReferrer(const TrkText& referrer, TrkError* error) {
    TrkText formatted = formatReferrer(referrer);
    if (!formatted) return setTrkError(error, kTrkTrackerErrorDomain, kTrkInvalidInputError);
    if (!db_) return setTrkError(error, kTrkTrackerErrorDomain, kTrkNoDatabaseError);
    std::optional<TrkReferrer> stored = getReferrer();
    int index = 1;
    if (stored) index = stored->timestamp() > 0 ? stored->index() + 1 : stored->index();
    if (!beginTransaction(error)) return false;
    if (!setReferrer(formatted, 0, 0, index, error)) {
        endTransaction(nullptr);
        return false;
    }
    if (!endTransaction(error)) {
        rollback();
        return false;
    }
    sessionStarted_ = false;
    return true;
}

std::optional<TrkReferrer> TrkPersistentHitStore::getReferrer() {
    sqlite3_stmt* s = kept(selectReferrerStmt_, kSelectReferrer, "select referrer");
    if (!s) return std::nullopt;
    std::optional<TrkReferrer> result;
    if (sqlite3_step(s) == SQLITE_ROW) {
        result.emplace(columnText(s, 0), sqlite3_column_int(s, 1), sqlite3_column_int(s, 2), sqlite3_column_int(s, 3));
    }
    done(s);
    return result;
}

std::optional<TrkReferrer> TrkPersistentHitStore::getAndUpdateReferrer(TrkError* error) {
    std::optional<TrkReferrer> referrer = getReferrer();
    if (!referrer || referrer->timestamp() != 0) return referrer;
    TrkReferrer bound(referrer->referrer(), timestampCurrent_, visits_, referrer->index());
    if (!setReferrer(bound.referrer(), bound.timestamp(), bound.visit(), bound.index(), error)) return std::nullopt;
    return bound;
}

bool TrkPersistentHitStore::setReferrer(const TrkText& referrer, int timestamp, int visit, int index, TrkError* error) {
    int rc = executeSql(kDeleteReferrer, "delete referrer");
    if (rc != SQLITE_DONE) {
        foundation::log("Error: Failed to delete referrer from database '", errmsg(), "'");
        return setTrkError(error, kTrkPersistentEventStoreErrorDomain, rc);
    }
    if (!referrer) return true;
    sqlite3_stmt* s = prepareSql(kInsertReferrer, "insert referrer");
    rc = SQLITE_ERROR;
    if (s) {
        bindText(s, 1, *referrer);
        sqlite3_bind_int(s, 2, timestamp);
        sqlite3_bind_int(s, 3, visit);
        sqlite3_bind_int(s, 4, index);
        rc = sqlite3_step(s);
        sqlite3_finalize(s);
    }
    if (rc != SQLITE_DONE) {
        foundation::log("Error: Failed to insert referrer from database '", errmsg(), "'");
        rollback();
        return setTrkError(error, kTrkPersistentEventStoreErrorDomain, rc);
    }
    return true;
}

void TrkPersistentHitStore::putCustomVariables(TrkEvent& event) {
    if (event.category() == kTrkTransactionCategory || event.category() == kTrkItemCategory) return;
    if (useStoredVisitorVars_) {
        if (!event.customVariableBuffer()) event.setCustomVariableBuffer(std::make_shared<TrkCustomVariableBuffer>());
        auto& buffer = event.customVariableBuffer();
        auto stored = getVisitorVarBuffer();
        for (const auto& [index, variable] : stored->dictionary()) {
            if (!buffer->customVariableAtIndex(index)) buffer->addCustomVariable(variable);
        }
        useStoredVisitorVars_ = false;
    }
    const auto& buffer = event.customVariableBuffer();
    if (!buffer) return;
    sqlite3_stmt* s = kept(updateCustomVarStmt_, kUpdateCustomVar, "update custom var cache");
    if (!s) return;
    for (const auto& [index, variable] : buffer->dictionary()) {
        sqlite3_bind_int(s, 1, variable.scope());
        bindText(s, 2, variable.name());
        bindText(s, 3, variable.value());
        sqlite3_bind_int(s, 4, static_cast<int>(index));
        int rc = sqlite3_step(s);
        done(s);
        if (rc != SQLITE_DONE)
            foundation::log("Error: Failed to update custom var cache for database '", errmsg(), "'");
    }
}

std::shared_ptr<TrkCustomVariableBuffer> TrkPersistentHitStore::getVisitorVarBuffer() {
    auto buffer = std::make_shared<TrkCustomVariableBuffer>();
    sqlite3_stmt* s = prepareSql(kSelectCustomVarsByScope, "select custom var by scope");
    if (!s) return buffer;
    sqlite3_bind_int(s, 1, 1);
    while (sqlite3_step(s) == SQLITE_ROW) {
        buffer->addCustomVariable(TrkCustomVariable(static_cast<unsigned>(sqlite3_column_int(s, 0)), columnText(s, 1),
                                                    columnText(s, 2), sqlite3_column_int(s, 3)));
    }
    sqlite3_finalize(s);
    return buffer;
}

TrkText TrkPersistentHitStore::visitorCustomVarAtIndex(unsigned index) {
    sqlite3_stmt* s = prepareSql(kSelectCustomVarValue, "select custom var value by scope and index");
    if (!s) return std::nullopt;
    sqlite3_bind_int(s, 1, 1);
    sqlite3_bind_int(s, 2, static_cast<int>(index));
    TrkText value;
    if (sqlite3_step(s) == SQLITE_ROW) value = columnText(s, 0);
    sqlite3_finalize(s);
    return value;
}

TrkText TrkPersistentHitStore::visitorIDForAds() const {
    if (!sessionStarted_) return std::nullopt;
    return std::to_string(storeID_) + "." + std::to_string(timestampFirst_);
}

TrkText TrkPersistentHitStore::sessionIDForAds() const {
    if (!sessionStarted_) return std::nullopt;
    return std::to_string(timestampCurrent_);
}

void TrkPersistentHitStore::migrateEventsToHits() {
    std::vector<TrkEvent> events = readEventsToMigrate(-1);
    bool hasCustomVariables = tableExists("custom_variables");
    for (TrkEvent& event : events) {
        if (event.category() == kTrkTransactionCategory) {
            event.setTransaction(getTransactionForEvent(event.eventID()));
        } else if (event.category() == kTrkItemCategory) {
            event.setItem(getItemForEvent(event.eventID()));
        } else if (hasCustomVariables) {
            event.setCustomVariableBuffer(getCustomVariables(event.eventID()));
        }
        persistEvent(event, false, nullptr);
    }
    for (const char* table : kLegacyTables) {
        if (tableExists(table)) deleteTable(table);
    }
}

std::vector<TrkEvent> TrkPersistentHitStore::readEventsToMigrate(int limit) {
    std::vector<TrkEvent> events;
    sqlite3_stmt* s = kept(selectEventStmt_, kSelectEvents, "select event");
    if (!s) return events;
    sqlite3_bind_int(s, 1, bindLimit(limit));
    while (sqlite3_step(s) == SQLITE_ROW) {
        events.emplace_back(sqlite3_column_int64(s, 0), sqlite3_column_int(s, 1), sqlite3_column_int(s, 2),
                            sqlite3_column_int(s, 3), sqlite3_column_int(s, 4), sqlite3_column_int(s, 5), std::nullopt,
                            columnOptionalText(s, 6), columnOptionalText(s, 7), columnOptionalText(s, 8),
                            sqlite3_column_int(s, 9));
    }
    done(s);
    return events;
}

std::shared_ptr<TrkCustomVariableBuffer> TrkPersistentHitStore::getCustomVariables(int64_t eventId) {
    auto buffer = std::make_shared<TrkCustomVariableBuffer>();
    sqlite3_stmt* s = prepareSql(kSelectCustomVarsOfEvent, "select custom variable by event_id");
    if (!s) return buffer;
    sqlite3_bind_int64(s, 1, eventId);
    while (sqlite3_step(s) == SQLITE_ROW) {
        buffer->addCustomVariable(TrkCustomVariable(static_cast<unsigned>(sqlite3_column_int(s, 3)), columnText(s, 4),
                                                    columnText(s, 5), sqlite3_column_int(s, 2)));
    }
    sqlite3_finalize(s);
    return buffer;
}

std::optional<TrkTransaction> TrkPersistentHitStore::getTransactionForEvent(int64_t eventId) {
    sqlite3_stmt* s = kept(selectTransactionStmt_, kSelectTransactionOfEvent, "select transaction");
    if (!s) return std::nullopt;
    sqlite3_bind_int64(s, 1, eventId);
    std::optional<TrkTransaction> t;
    if (sqlite3_step(s) == SQLITE_ROW) {
        t.emplace(columnText(s, 2), columnOptionalText(s, 3), columnDouble(s, 4), columnDouble(s, 5),
                  columnDouble(s, 6));
    }
    done(s);
    return t;
}

std::optional<TrkItem> TrkPersistentHitStore::getItemForEvent(int64_t eventId) {
    sqlite3_stmt* s = kept(selectItemStmt_, kSelectItemOfEvent, "select item by event_id");
    if (!s) return std::nullopt;
    sqlite3_bind_int64(s, 1, eventId);
    std::optional<TrkItem> item;
    if (sqlite3_step(s) == SQLITE_ROW) {
        item.emplace(columnText(s, 2), columnText(s, 3), columnOptionalText(s, 4), columnOptionalText(s, 5),
                     columnDouble(s, 6), columnIntFromText(s, 7));
    }
    done(s);
    return item;
}
