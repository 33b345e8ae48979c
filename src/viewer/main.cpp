#include "database/ConnectionString.h"
#include "shell/Session.h"
#include "shell/ZEPDatabaseView.h"
#include "shell/frmDatabase.h"
#include "text/Documents.h"

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
    return app.exec();
}
