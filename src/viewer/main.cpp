#include "database/ConnectionString.h"
#include "shell/Session.h"
#include "shell/ZEPDatabaseView.h"
#include "shell/frmDatabase.h"
#include "text/Documents.h"
#include "text/TextCatalog.h"

#include <QApplication>
#include <QCommandLineParser>

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
    if (!options.positionalArguments().isEmpty()) {
        database = options.positionalArguments().first().toStdString();
    } else if (options.isSet("check")) {
        std::cerr << "zepviewer: --check needs a database\n";
        return 2;
    } else {
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
