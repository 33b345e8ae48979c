#pragma once

#include "database/Connection.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace zep::test {

/**
 * A fresh, empty place for one test's database: a file name in a new folder (SQLite), or a new
 * schema on the test server named by ZEP_TEST_PG (PostgreSQL). The place is removed with the object;
 * close the test's connections first.
 */
class TestDatabase {
public:
    explicit TestDatabase(DatabaseEngine engine);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    /** the connection string of the test server, when ZEP_TEST_PG is set */
    static std::optional<std::string> server();

    DatabaseEngine engine() const { return engine_; }
    /** names the database (for SQLite a file that does not exist until create()) */
    const std::string& connectionString() const { return connectionString_; }
    /** the SQLite file */
    std::string path() const { return folder_.file("test.zdb"); }

    std::unique_ptr<Connection> create(SchemaVersion version = SchemaVersion::Current);
    std::unique_ptr<Connection> open(Interaction* interaction = nullptr, Access access = Access::Write);

private:
    DatabaseEngine engine_;
    TempDir folder_;
    std::string schema_;
    std::string connectionString_;
};

/** The suites that must hold on both engines derive from this and are instantiated with ZEP_ENGINES. */
class EngineTest : public ::testing::TestWithParam<DatabaseEngine> {
protected:
    void SetUp() override;
    TestDatabase& database() { return *database_; }

private:
    std::unique_ptr<TestDatabase> database_;
};

std::string engineName(const ::testing::TestParamInfo<DatabaseEngine>& info);

} // namespace zep::test

namespace zep {
/** names the engine in test listings instead of its bytes */
inline void PrintTo(DatabaseEngine engine, std::ostream* out) {
    *out << (engine == DatabaseEngine::PostgreSQL ? "PostgreSQL" : "SQLite");
}
} // namespace zep

#define ZEP_ENGINES(suite)                                                                                   \
    INSTANTIATE_TEST_SUITE_P(                                                                                \
        Engines, suite, ::testing::Values(::zep::DatabaseEngine::SQLite, ::zep::DatabaseEngine::PostgreSQL), \
        ::zep::test::engineName)
