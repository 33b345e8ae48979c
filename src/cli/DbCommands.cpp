#include "DbCommands.h"

#include "Arguments.h"

#include "commands/OpenCommand.h"
#include "commands/SaveCommand.h"
#include "database/Connection.h"
#include "database/ImageStore.h"
#include "database/ItemKey.h"
#include "memory/ZepError.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <QSqlQuery>

#include <functional>
#include <iostream>
#include <map>

namespace zep::cli {

const char* const dbUsage =
    "usage: zep db SUBCOMMAND DB ...\n"
    "  DB is a database file path or any connection string (see the README).\n"
    "\n"
    "  create DB                           make a new, empty local database\n"
    "  open DB FILE --into KEY             open a flash file under the ECU hID or the application aID\n"
    "  save DB KEY OUT [--format srec|kwp|h86] [--default-tuning]\n"
    "                                      save an application aID or a tuning cID\n"
    "  mark DB KEY                         mark the identification of aID or cID as checked\n"
    "\n"
    "  Keys name items: g<address> a function, h<Ecu Id> an ECU, a<App Id> an application,\n"
    "  c<Calib Id> a tuning.\n";

namespace {

using Subcommand = std::function<int(const std::vector<std::string>&, Interaction&)>;

ItemKey keyArgument(const std::string& text, std::initializer_list<char> kinds) {
    const auto key = ItemKey::parse(text);
    if (!key || std::find(kinds.begin(), kinds.end(), key->kind) == kinds.end()) {
        std::string names;
        for (char k : kinds)
            names += std::string(names.empty() ? "" : " or ") + k + "ID";
        throw UsageError("\"" + text + "\" is not a key of the form " + names);
    }
    return *key;
}

std::unique_ptr<Connection> openDatabase(const std::string& text, Interaction& ui) {
    return Connection::open(text, &ui);
}

int create(const std::vector<std::string>& args, Interaction&) {
    const Arguments a(args, {}, {});
    if (a.positional().size() != 1)
        throw UsageError("zep db create takes DB");
    Connection::create(a.positional()[0]);
    return 0;
}

int open(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {"into"}, {});
    if (a.positional().size() != 2 || !a.value("into"))
        throw UsageError("zep db open takes DB FILE --into KEY");
    const ItemKey into = keyArgument(*a.value("into"), {ItemKey::Ecu, ItemKey::Application});
    auto db = openDatabase(a.positional()[0], ui);
    qint64 ecuId = into.id;
    std::optional<qint64> application;
    if (into.kind == ItemKey::Application) {
        QSqlQuery q = db->execute("SELECT [Ecu Id] FROM [Applications] WHERE [App Id] = ?", {into.id});
        if (!q.next())
            throw ZepError(errors::File, tr("database/Messages/noSuchApplication/text", "Application {0} does not exist",
                                            into.id));
        ecuId = q.value(0).toLongLong();
        application = into.id;
    }
    const OpenResult result = OpenFlashFile(*db, ecuId, application, a.positional()[1], ui);
    if (result.application)
        std::cout << result.application->text() << '\n';
    if (result.tuning)
        std::cout << result.tuning->text() << '\n';
    return result.opened() ? 0 : 1;
}

int save(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {"format"}, {"default-tuning"});
    if (a.positional().size() != 3)
        throw UsageError("zep db save takes DB KEY OUT");
    const ItemKey key = keyArgument(a.positional()[1], {ItemKey::Application, ItemKey::Tuning});
    const std::string& out = a.positional()[2];
    SaveFormat format = SaveFormat::SRecord;
    const std::string name = a.value("format").value_or("");
    if (name == "kwp")
        format = SaveFormat::Kwp;
    else if (name == "h86")
        format = SaveFormat::H86;
    else if (name.empty() || name == "srec")
        format = SaveFormat::SRecord;
    else
        throw UsageError("--format takes srec, kwp or h86");
    if (a.has("default-tuning") && key.kind != ItemKey::Application)
        throw UsageError("--default-tuning saves an application aID as its default tuning");
    auto db = openDatabase(a.positional()[0], ui);
    return SaveImage(*db, key.text(), format, out, ui, a.has("default-tuning")) ? 0 : 1;
}

int mark(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {}, {});
    if (a.positional().size() != 2)
        throw UsageError("zep db mark takes DB KEY");
    const ItemKey key = keyArgument(a.positional()[1], {ItemKey::Application, ItemKey::Tuning});
    auto db = openDatabase(a.positional()[0], ui);
    ImageStore::Download(*db, key.text(), true); // an unknown item is an error, not a silent no-op
    ImageStore::Marquage(*db, key.text());
    return 0;
}

} // namespace

int db(const std::vector<std::string>& args, Interaction& ui) {
    static const std::map<std::string, Subcommand> subcommands = {
        {"create", create}, {"open", open}, {"save", save}, {"mark", mark}};
    if (args.empty())
        throw UsageError("zep db needs a subcommand");
    const auto sub = subcommands.find(args[0]);
    if (sub == subcommands.end())
        throw UsageError("unknown subcommand db " + args[0]);
    return sub->second({args.begin() + 1, args.end()}, ui);
}

} // namespace zep::cli
