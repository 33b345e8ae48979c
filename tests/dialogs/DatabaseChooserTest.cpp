#include "DialogTestSupport.h"

#include "database/Connection.h"
#include "database/ConnectionString.h"
#include "dialogs/DatabaseChooser.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <map>

using namespace zep;
using namespace zep::test;

namespace {

/** every file of the folder with its bytes */
std::map<QString, QByteArray> snapshot(const QString& folder) {
    std::map<QString, QByteArray> files;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile file(entry.filePath());
        files[entry.fileName()] =
            file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    return files;
}

void replaceTyped(QLineEdit& box, const QString& text) {
    box.selectAll();
    box.insert(text);
}

std::optional<std::string> pgServer() {
    const char* text = std::getenv("ZEP_TEST_PG");
    if (text == nullptr || *text == '\0')
        return std::nullopt;
    return std::string(text);
}

} // namespace

class DatabaseChooserTest : public QObject {
    Q_OBJECT
private slots:
    void prefilled_data();
    void prefilled();
    void result_data();
    void result();
    void testLocalFile_data();
    void testLocalFile();
    void testServer_data();
    void testServer();
};

void DatabaseChooserTest::prefilled_data() {
    QTest::addColumn<QString>("given");
    QTest::addColumn<bool>("server");
    QTest::addColumn<QStringList>("fields"); // file, or host, port, database, user, password, schema

    QTest::newRow("Jet string") << "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/old.zdb" << false
                                << QStringList{"/data/old.zdb"};
    QTest::newRow("bare path") << "/data/a b.sqlite" << false << QStringList{"/data/a b.sqlite"};
    QTest::newRow("PostgreSQL") << "Provider=PostgreSQL;Host=db.example;Port=5433;Database=zep;User ID=ann;"
                                   "Password=s3cret;Search Path=team"
                                << true << QStringList{"db.example", "5433", "zep", "ann", "s3cret", "team"};
    QTest::newRow("URI without port")
        << "postgresql://bob@central/flash" << true << QStringList{"central", "5432", "flash", "bob", "", ""};
    QTest::newRow("unreadable string") << "Provider=\"unclosed" << false << QStringList{""};
    QTest::newRow("nothing") << "" << false << QStringList{""};
}

void DatabaseChooserTest::prefilled() {
    QFETCH(QString, given);
    QFETCH(bool, server);
    QFETCH(QStringList, fields);

    DatabaseChooser chooser(given.toStdString());
    QCOMPARE(chooser.windowTitle(), QString("Open Database"));
    QCOMPARE(child<QRadioButton>(chooser, "optServer").isChecked(), server);
    if (!server) {
        QCOMPARE(child<QLineEdit>(chooser, "txtFile").text(), fields[0]);
        return;
    }
    QCOMPARE(child<QLineEdit>(chooser, "txtHost").text(), fields[0]);
    QCOMPARE(QString::number(child<QSpinBox>(chooser, "txtPort").value()), fields[1]);
    QCOMPARE(child<QLineEdit>(chooser, "txtDatabase").text(), fields[2]);
    QCOMPARE(child<QLineEdit>(chooser, "txtUser").text(), fields[3]);
    QCOMPARE(child<QLineEdit>(chooser, "txtPassword").text(), fields[4]);
    QCOMPARE(child<QLineEdit>(chooser, "txtSchema").text(), fields[5]);
    QCOMPARE(child<QLineEdit>(chooser, "txtPassword").echoMode(), QLineEdit::Password);
}

void DatabaseChooserTest::result_data() {
    QTest::addColumn<QString>("kind");      // "file" or "server"
    QTest::addColumn<QStringList>("typed"); // file, or host, database, user, password, schema
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("expected"); // empty: OK is disabled

    QTest::newRow("file") << "file" << QStringList{"/tmp/x y.zdb"} << 0
                          << QString::fromStdString(ConnectionString::forFile("/tmp/x y.zdb"));
    QTest::newRow("file with blanks around")
        << "file" << QStringList{"  /tmp/a.db "} << 0
        << QString::fromStdString(ConnectionString::forFile("/tmp/a.db"));
    QTest::newRow("no file") << "file" << QStringList{""} << 0 << "";
    QTest::newRow("server") << "server" << QStringList{"pg.example", "zep", "ann", "p;w=\"1\"", ""} << 5432
                            << QString::fromStdString(ConnectionString::forServer("pg.example", 5432, "zep",
                                                                                  "ann", "p;w=\"1\""));
    QTest::newRow("server with schema and port")
        << "server" << QStringList{"10.0.0.5", "flash", "bob", "", "team"} << 6543
        << QString::fromStdString(ConnectionString::forServer("10.0.0.5", 6543, "flash", "bob", "", "team"));
    QTest::newRow("server without database")
        << "server" << QStringList{"pg", "", "ann", "", ""} << 5432 << "";
    QTest::newRow("server without host") << "server" << QStringList{"", "zep", "ann", "", ""} << 5432 << "";
}

void DatabaseChooserTest::result() {
    QFETCH(QString, kind);
    QFETCH(QStringList, typed);
    QFETCH(int, port);
    QFETCH(QString, expected);

    DatabaseChooser chooser;
    if (kind == "file") {
        child<QRadioButton>(chooser, "optFile").setChecked(true);
        replaceTyped(child<QLineEdit>(chooser, "txtFile"), typed[0]);
    } else {
        child<QRadioButton>(chooser, "optServer").setChecked(true);
        const char* boxes[] = {"txtHost", "txtDatabase", "txtUser", "txtPassword", "txtSchema"};
        for (int i = 0; i < 5; ++i)
            replaceTyped(child<QLineEdit>(chooser, boxes[i]), typed[i]);
        child<QSpinBox>(chooser, "txtPort").setValue(port);
    }
    QCOMPARE(QString::fromStdString(chooser.connectionString()), expected);
    QCOMPARE(child<QPushButton>(chooser, "OKButton").isEnabled(), !expected.isEmpty());
    QCOMPARE(child<QPushButton>(chooser, "cmdTest").isEnabled(), !expected.isEmpty());
    if (expected.isEmpty())
        return;
    whenShown([&] { QTest::mouseClick(&child<QPushButton>(chooser, "OKButton"), Qt::LeftButton); });
    QCOMPARE(chooser.exec(), int(QDialog::Accepted));
}

void DatabaseChooserTest::testLocalFile_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QString>("shown"); // the start of the text shown

    QTest::newRow("ZEP database") << "made.zdb" << true << "Connection succeeded.";
    QTest::newRow("ZEP database of the older schema") << "legacy.zdb" << true << "Connection succeeded.";
    QTest::newRow("missing file") << "missing.zdb" << false << "Connection failed: ";
    QTest::newRow("not a database") << "notes.txt" << false << "Connection failed: ";
}

void DatabaseChooserTest::testLocalFile() {
    QFETCH(QString, file);
    QFETCH(bool, succeeds);
    QFETCH(QString, shown);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    for (const auto& [name, version] :
         {std::pair{"made.zdb", SchemaVersion::Current}, std::pair{"legacy.zdb", SchemaVersion::Legacy}})
        Connection::create(ConnectionString::forFile(folder.filePath(name).toStdString()), version,
                           std::string(ZEP_SHARE_DIR) + "/schema");
    QFile notes(folder.filePath("notes.txt"));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("Standard Jet DB, or anything else that is no SQLite file\n");
    notes.close();

    const auto before = snapshot(folder.path());
    DatabaseChooser chooser(folder.filePath(file).toStdString());
    QCOMPARE(chooser.testConnection(), succeeds);
    // Testing writes nothing: no upgrade of an older schema, no journal, no new file.
    QVERIFY(snapshot(folder.path()) == before);
    QVERIFY2(chooser.testResult().startsWith(shown), qPrintable(chooser.testResult()));
    if (!succeeds)
        QVERIFY(chooser.testResult().size() > shown.size()); // with the engine's description
    // a new input makes the outcome stale
    replaceTyped(child<QLineEdit>(chooser, "txtFile"), folder.filePath("other.zdb"));
    QCOMPARE(chooser.testResult(), QString());
}

void DatabaseChooserTest::testServer_data() {
    QTest::addColumn<bool>("wrongPassword");
    QTest::newRow("server of ZEP_TEST_PG") << false;
    QTest::newRow("wrong password") << true;
}

void DatabaseChooserTest::testServer() {
    QFETCH(bool, wrongPassword);
    const auto server = pgServer();
    if (!server)
        QSKIP("PostgreSQL case skipped: ZEP_TEST_PG is not set (./test starts a server and sets it)");

    DatabaseChooser chooser(*server);
    QVERIFY(child<QRadioButton>(chooser, "optServer").isChecked());
    QCOMPARE(ConnectionString::parse(chooser.connectionString()).dataSource(),
             ConnectionString::parse(*server).dataSource());
    const QString password = "Wr0ngPassw0rd-for-test";
    if (wrongPassword) {
        replaceTyped(child<QLineEdit>(chooser, "txtPassword"), password);
        // a server that trusts every local user takes any password: the user name is made wrong too
        replaceTyped(child<QLineEdit>(chooser, "txtUser"), "zep_no_such_user");
    }
    QCOMPARE(chooser.testConnection(), !wrongPassword);
    if (wrongPassword) {
        QVERIFY2(chooser.testResult().startsWith("Connection failed: "), qPrintable(chooser.testResult()));
        QVERIFY(!chooser.testResult().contains(password));
    } else {
        QVERIFY2(chooser.testResult().startsWith("Connection succeeded"), qPrintable(chooser.testResult()));
    }
}

int runDatabaseChooserTest(int argc, char** argv) {
    DatabaseChooserTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DatabaseChooserTest.moc"
