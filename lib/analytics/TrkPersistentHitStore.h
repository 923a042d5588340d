#pragma once
// The hit store: an SQLite file holding every hit until the collector has
// confirmed it, with the visitor and session values the hits carry, the
// visitor-scope custom variables and the campaign referrer.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lib/analytics/TrkError.h"
#include "lib/analytics/TrkHitBuilder.h"
#include "lib/analytics/TrkModels.h"

inline constexpr unsigned kTrkMaxStoredHits = 1000;
inline const std::string kTrkDatabaseFileName = "trkanalytics.sql";

class TrkPersistentHitStore {
public:
    // Opens "trkanalytics.sql" in the Library folder of the app's home
    // (moving an older copy out of Documents once).
    explicit TrkPersistentHitStore(std::shared_ptr<TrkHitBuilder> hitBuilder);
    // Opens the given file.
    TrkPersistentHitStore(std::shared_ptr<TrkHitBuilder> hitBuilder, const std::string& path);
    ~TrkPersistentHitStore();
    TrkPersistentHitStore(const TrkPersistentHitStore&) = delete;
    TrkPersistentHitStore& operator=(const TrkPersistentHitStore&) = delete;

    // The default file: <home>/Library/trkanalytics.sql.
    static std::string defaultPath();

    sqlite3* database() const { return db_; }
    unsigned sampleRate() const { return sampleRate_; }
    void setSampleRate(unsigned rate) { sampleRate_ = rate; }
    bool anonymizeIp() const { return anonymizeIp_; }
    void setAnonymizeIp(bool v) { anonymizeIp_ = v; }
    bool useStoredVisitorVars() const { return useStoredVisitorVars_; }
    bool sessionStarted() const { return sessionStarted_; }
    bool debug() const { return debug_; }
    void setDebug(bool v) { debug_ = v; }
    const std::shared_ptr<TrkHitBuilder>& hitBuilder() const { return hitBuilder_; }

    int storeID() const { return storeID_; }
    int timestampFirst() const { return timestampFirst_; }
    int timestampPrevious() const { return timestampPrevious_; }
    int timestampCurrent() const { return timestampCurrent_; }
    int visits() const { return visits_; }
    unsigned storedHits() const { return storedHits_; }

    bool persistEvent(TrkEvent& event, TrkError* error);
    bool persistEvent(TrkEvent& event, bool allowSessionUpdate, TrkError* error);
    // The oldest hits by id, at most `limit` (a negative limit means 1000).
    std::vector<TrkHit> peekHits(int limit);
    bool deleteHit(uint64_t hitId);
    bool countHits();
    bool storeHit(const std::string& hitString, TrkError* error);
    // The next stored event opens a new visit.
    void startNewSession();

    bool setReferrer(const TrkText& referrer, TrkError* error);
    std::optional<TrkReferrer> getReferrer();
    std::optional<TrkReferrer> getAndUpdateReferrer(TrkError* error);
    bool setReferrer(const TrkText& referrer, int timestamp, int visit, int index, TrkError* error);
    // The stored form of a campaign query, or nullopt when it names no campaign.
    static TrkText formatReferrer(const TrkText& referrer);

    TrkText visitorCustomVarAtIndex(unsigned index);
    TrkText visitorIDForAds() const;
    TrkText sessionIDForAds() const;

private:
    void init(const std::optional<std::string>& path);
    bool openDatabase(const std::optional<std::string>& path);
    void closeDatabase();
    sqlite3_stmt* prepareSql(const char* sql, const char* description);
    sqlite3_stmt* kept(sqlite3_stmt*& slot, const char* sql, const char* description);
    int executeSql(const char* sql, const char* description);
    bool beginTransaction(TrkError* error);
    bool endTransaction(TrkError* error);
    void rollback();
    bool tableExists(const std::string& name);
    bool deleteTable(const std::string& name);
    bool populateCustomVariableCache();
    bool initializeSession();
    bool updateSession();
    void putCustomVariables(TrkEvent& event);
    std::shared_ptr<TrkCustomVariableBuffer> getVisitorVarBuffer();
    void migrateEventsToHits();
    std::vector<TrkEvent> readEventsToMigrate(int limit);
    std::shared_ptr<TrkCustomVariableBuffer> getCustomVariables(int64_t eventId);
    std::optional<TrkTransaction> getTransactionForEvent(int64_t eventId);
    std::optional<TrkItem> getItemForEvent(int64_t eventId);
    TrkError sqliteError(int code) const { return TrkError{kTrkPersistentEventStoreErrorDomain, code}; }
    const char* errmsg() const;

    sqlite3* db_ = nullptr;
    unsigned sampleRate_ = 100;
    bool anonymizeIp_ = false;
    bool useStoredVisitorVars_ = true;
    bool sessionStarted_ = false;
    bool debug_ = false;
    std::shared_ptr<TrkHitBuilder> hitBuilder_;

    sqlite3_stmt* beginStmt_ = nullptr;
    sqlite3_stmt* endStmt_ = nullptr;
    sqlite3_stmt* rollbackStmt_ = nullptr;
    sqlite3_stmt* updateCustomVarStmt_ = nullptr;
    sqlite3_stmt* selectSessionStmt_ = nullptr;
    sqlite3_stmt* insertSessionStmt_ = nullptr;
    sqlite3_stmt* deleteSessionStmt_ = nullptr;
    sqlite3_stmt* selectReferrerStmt_ = nullptr;
    sqlite3_stmt* insertHitStmt_ = nullptr;
    sqlite3_stmt* selectHitsStmt_ = nullptr;
    sqlite3_stmt* deleteHitStmt_ = nullptr;
    sqlite3_stmt* selectEventStmt_ = nullptr;
    sqlite3_stmt* selectTransactionStmt_ = nullptr;
    sqlite3_stmt* selectItemStmt_ = nullptr;

    int storeID_ = 0;
    int timestampFirst_ = 0;
    int timestampPrevious_ = 0;
    int timestampCurrent_ = 0;
    int visits_ = 0;
    unsigned storedHits_ = 0;
};
