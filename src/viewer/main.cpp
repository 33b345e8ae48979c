#include "database/ConnectionString.h"
#include "flash/FileKind.h"
#include "shell/Session.h"
#include "shell/ZEPDatabaseView.h"
#include "shell/frmDatabase.h"
#include "text/Documents.h"
#include "text/TextCatalog.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include <iostream>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("ZEPViewer");
    QApplication::setApplicationVersion(QString::fromStdString(zep::programVersion()));
    QCommandLineParser options;
    options.setApplicationDescription("Views and edits ZEP reprogramming databases.");
    options.addHelpOption();
    options.addVersionOption();
    options.addOption({"base", "Folder (or http location) of the language and addressing files.", "DIR"});
    options.addOption({"lang", "Language code of the texts (en, fr, ...).", "CODE"});
    options.addOption({"check",
                       "Opens the database, prints the window's caption and quits (exit status 1 when "
                       "the database is not a valid one)."});
    options.addPositionalArgument("database", "A database file or a connection string.", "[DATABASE]");
    options.process(app);

    const std::string base =
        options.isSet("base") ? options.value("base").toStdString() : zep::defaultBaseLocation();
    const std::string language = options.isSet("lang") ? options.value("lang").toStdString() : "en";

    zep::ZEPDatabaseView view;
    view.InitUserControl(base, language);
    std::string database;
    const std::string named = options.positionalArguments().isEmpty()
                                  ? std::string()
                                  : options.positionalArguments().first().toStdString();
    // A file manager hands the viewer flash files too: they go into an ECU of a database the user chooses.
    // Named and made so: an SQLite file starts with an "S" as S-record files do.
    const zep::FileKind extensionKind = zep::kindOfExtension(named);
    const bool flashFile = extensionKind != zep::FileKind::None && extensionKind != zep::FileKind::Xml &&
                           zep::fileKind(named) == extensionKind;
    if (!named.empty() && !flashFile) {
        database = named;
    } else if (options.isSet("check")) {
        std::cerr << "zepviewer: --check needs a database\n";
        return 2;
    } else {
        if (flashFile)
            QMessageBox::information(nullptr, "ZEPViewer",
                                     QString::fromStdString(zep::tr(
                                         "zepviewer/Messages/flashFile/text",
                                         "{0} is a flash file, not a database.{crlf}Choose the database to "
                                         "open it into, select an ECU and drop the file on its list.",
                                         named)));
        // No database named: ask for one, as the open-database command does.
        database = zep::frmDatabase::chooseDatabase(nullptr, {});
        if (database.empty())
            return 0;
    }
    try {
        view.setConnectionString(database);
    } catch (const std::exception& e) {
        // No language file anywhere: nothing to show a window with.
        std::cerr << "zepviewer: " << e.what() << "\n";
        return 1;
    }
    if (options.isSet("check")) {
        const zep::frmDatabase* window = view.window();
        if (!window || !window->valid()) {
            std::cerr << "zepviewer: "
                      << zep::tr("frmDatabase/Messages/invalidDatabase/text",
                                 "Invalid ZEP database. Please check ! ")
                      << '\n';
            return 1;
        }
        std::cout << window->windowTitle().toStdString() << '\n';
        return 0;
    }
    return app.exec();
}
