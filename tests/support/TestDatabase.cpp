#include "support/TestDatabase.h"

#include <atomic>
#include <cstdlib>
#include <unistd.h>

namespace zep::test {

std::optional<std::string> TestDatabase::server() {
    const char* text = std::getenv("ZEP_TEST_PG");
    if (text == nullptr || *text == '\0')
        return std::nullopt;
    return std::string(text);
}

TestDatabase::TestDatabase(DatabaseEngine engine) : engine_(engine) {
    if (engine == DatabaseEngine::SQLite) {
        connectionString_ = ConnectionString::forFile(path());
        return;
    }
    static std::atomic<int> counter{0};
    schema_ = "zep_test_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    const auto admin = Connection::openServer(*server());
    const QString name = admin->quote(QString::fromStdString(schema_));
    admin->execute(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(name));
    admin->execute(QStringLiteral("CREATE SCHEMA %1").arg(name));
    const ConnectionString at = admin->connectionString();
    connectionString_ =
        ConnectionString::forServer(at.host(), at.port(), at.database(), at.user(), at.password(), schema_);
}

TestDatabase::~TestDatabase() {
    if (schema_.empty())
        return;
    try {
        const auto admin = Connection::openServer(*server());
        admin->execute(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE")
                           .arg(admin->quote(QString::fromStdString(schema_))));
    } catch (const ZepError& error) {
        ADD_FAILURE() << "cannot drop test schema " << schema_ << ": " << error.what();
    }
}

std::unique_ptr<Connection> TestDatabase::create(SchemaVersion version) {
    return Connection::create(connectionString_, version, std::string(ZEP_SHARE_DIR) + "/schema");
}

std::unique_ptr<Connection> TestDatabase::open(Interaction* interaction, Access access) {
    return Connection::open(connectionString_, interaction, access);
}

void EngineTest::SetUp() {
    if (GetParam() == DatabaseEngine::PostgreSQL && !TestDatabase::server())
        GTEST_SKIP()
            << "PostgreSQL case skipped: ZEP_TEST_PG is not set (./test starts a server and sets it)";
    database_ = std::make_unique<TestDatabase>(GetParam());
}

std::string engineName(const ::testing::TestParamInfo<DatabaseEngine>& info) {
    return info.param == DatabaseEngine::PostgreSQL ? "PostgreSQL" : "SQLite";
}

} // namespace zep::test
