#include "Command.h"

#include "Arguments.h"
#include "CliInteraction.h"
#include "TerminalText.h"

#include "commands/Compaction.h"
#include "commands/Compare.h"
#include "commands/Copy.h"
#include "commands/DataSet.h"
#include "commands/DemoDatabase.h"
#include "commands/ItemEdit.h"
#include "commands/OpenCommand.h"
#include "commands/SaveCommand.h"
#include "commands/XmlExport.h"
#include "commands/XmlImport.h"
#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/ImageStore.h"
#include "database/ItemKey.h"
#include "flash/FileKind.h"
#include "flash/FlashFile.h"
#include "maps/MemoryMapPicture.h"
#include "memory/ZepError.h"
#include "navigation/Listing.h"
#include "navigation/TreeSource.h"
#include "text/Interaction.h"
#include "text/TextCatalog.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QSqlQuery>

#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <unistd.h>

namespace zep::cli {

const char* const dbHelp =
    "\n"
    "  DB is a database file path or any connection string (see the README).\n"
    "  Keys name items as the viewer does: r the root, g<address> a function (decimal, as the tree\n"
    "  prints it: g112; or hexadecimal: g0x70, g70H), h<Ecu Id> an ECU, a<App Id> an application,\n"
    "  c<Calib Id> a tuning.\n";

namespace {

/** how a kind of key is written, for the messages that say which keys a command takes */
std::string keyForm(char kind) {
    switch (kind) {
    case ItemKey::Root:
        return "r";
    case ItemKey::Function:
        return "gADDRESS (g112, g0x70 or g70H)";
    case ItemKey::Ecu:
        return "hID";
    case ItemKey::Application:
        return "aID";
    case ItemKey::Tuning:
        return "cID";
    }
    return {};
}

} // namespace

ItemKey keyArgument(const std::string& text, std::initializer_list<char> kinds) {
    std::optional<ItemKey> key = ItemKey::parse(text);
    if (!key && text.size() > 1 && text[0] == ItemKey::Function) {
        std::string digits = text.substr(1);
        const bool prefixed = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
        const bool suffixed = digits.size() > 1 && (digits.back() == 'H' || digits.back() == 'h');
        digits = prefixed ? digits.substr(2) : suffixed ? digits.substr(0, digits.size() - 1) : std::string();
        if (const auto address = parseNumber("0x" + digits); address && !digits.empty())
            key = ItemKey::parse("g" + std::to_string(*address));
    }
    if (!key || std::find(kinds.begin(), kinds.end(), key->kind) == kinds.end()) {
        std::string forms;
        for (const char k : kinds)
            forms += (forms.empty() ? "" : ", ") + keyForm(k);
        throw UsageError("\"" + text + "\" is not a key of the form " + forms);
    }
    return *key;
}

namespace {

std::unique_ptr<Connection> openDatabase(const std::string& text, Interaction& ui, Access access) {
    return Connection::open(text, &ui, access);
}

int create(const std::vector<std::string>& args, Interaction&) {
    const Arguments a(args, {}, {});
    a.expectPositional(1);
    Connection::create(a.positional()[0]);
    return 0;
}

int demo(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {}, {});
    a.expectPositional(1);
    makeDemoDatabase(a.positional()[0], ui);
    return 0;
}

int open(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {"into"}, {});
    a.expectPositional(2);
    if (!a.value("into"))
        throw UsageError("--into names the ECU hID or the application aID");
    const ItemKey into = keyArgument(*a.value("into"), {ItemKey::Ecu, ItemKey::Application});
    const std::string& file = a.positional()[1];
    // The viewer offers only files that exist and ignores other kinds; here each says why it is refused.
    ::close(openRegularFile(file));
    const FileKind kind = fileKind(file);
    if (kind == FileKind::Xml)
        throw ZepError(errors::File, tr("zep/Messages/openXml/text",
                                        "{0} is an XML file: import it with zep db import", file));
    if (kind == FileKind::None)
        throw ZepError(errors::File, tr("zep/Messages/notAFlashFile/text",
                                        "{0} is not an S-record, H86 or KWP file", file));
    auto db = openDatabase(a.positional()[0], ui, Access::Write);
    qint64 ecuId = into.id;
    std::optional<qint64> application;
    if (into.kind == ItemKey::Application) {
        QSqlQuery q = db->execute("SELECT [Ecu Id] FROM [Applications] WHERE [App Id] = ?", {into.id});
        if (!q.next())
            throw ZepError(errors::File, tr("database/Messages/noSuchApplication/text",
                                            "Application {0} does not exist", into.id));
        ecuId = q.value(0).toLongLong();
        application = into.id;
    }
    const OpenResult result = OpenFlashFile(*db, ecuId, application, file, ui);
    if (result.application)
        std::cout << result.application->text() << '\n';
    if (result.tuning)
        std::cout << result.tuning->text() << '\n';
    return result.opened() ? 0 : 1;
}

std::optional<bool> yesNo(const Arguments& a, const std::string& option) {
    const auto value = a.value(option);
    if (!value)
        return std::nullopt;
    if (*value != "yes" && *value != "no")
        throw UsageError("--" + option + " takes yes or no");
    return *value == "yes";
}

int saveXml(const Arguments& a, Interaction& ui) {
    const ItemKey key = keyArgument(a.positional()[1], {ItemKey::Ecu, ItemKey::Application, ItemKey::Tuning});
    XmlExportChoices choices;
    if (const auto encoding = a.value("encoding")) {
        if (*encoding != "base64" && *encoding != "binhex")
            throw UsageError("--encoding takes base64 or binhex");
        choices.encoding = *encoding == "base64" ? SegmentEncoding::Base64 : SegmentEncoding::BinHex;
    }
    choices.tuningOnly = yesNo(a, "tuning-only");
    choices.onlyDefaultTuning = yesNo(a, "only-default-tuning");
    if (a.has("default-tuning") && key.kind != ItemKey::Application)
        throw UsageError("--default-tuning saves an application aID as its default tuning");
    auto db = openDatabase(a.positional()[0], ui, Access::Read);
    const bool saved =
        SaveXml(*db, key.text(), a.positional()[2], ui, choices, std::nullopt, a.has("default-tuning"));
    return saved ? 0 : 1;
}

int save(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {"format", "encoding", "tuning-only", "only-default-tuning"}, {"default-tuning"});
    a.expectPositional(3);
    const std::string& out = a.positional()[2];
    static const std::map<std::string, FileKind> named{
        {"srec", FileKind::SRecord}, {"h86", FileKind::H86}, {"kwp", FileKind::Kwp}, {"xml", FileKind::Xml}};
    FileKind kind = kindOfExtension(out);
    if (const auto name = a.value("format")) {
        const auto it = named.find(*name);
        if (it == named.end())
            throw UsageError("--format takes srec, h86, kwp or xml");
        kind = it->second;
    } else if (kind == FileKind::None) {
        throw UsageError("cannot tell the format of " + out + " from its extension: give --format");
    }
    if (kind == FileKind::Xml)
        return saveXml(a, ui);
    if (a.has("encoding") || a.has("tuning-only") || a.has("only-default-tuning"))
        throw UsageError("--encoding, --tuning-only and --only-default-tuning go with XML");
    const ItemKey key = keyArgument(a.positional()[1], {ItemKey::Application, ItemKey::Tuning});
    if (a.has("default-tuning") && key.kind != ItemKey::Application)
        throw UsageError("--default-tuning saves an application aID as its default tuning");
    const SaveFormat format = kind == FileKind::Kwp   ? SaveFormat::Kwp
                              : kind == FileKind::H86 ? SaveFormat::H86
                                                      : SaveFormat::SRecord;
    auto db = openDatabase(a.positional()[0], ui, Access::Read);
    return SaveImage(*db, key.text(), format, out, ui, a.has("default-tuning")) ? 0 : 1;
}

/** Answers "Update existing ECU?" (the import's Yes/No/Cancel question) as told; counts the refusals shown.
 */
class ImportInteraction : public Interaction {
public:
    ImportInteraction(Interaction& ui, std::optional<Answer> update) : ui_(ui), update_(update) {}

    void inform(const std::string& text) override { ui_.inform(text); }
    void warn(const std::string& text) override {
        ++errors;
        ui_.warn(text);
    }
    void critical(const std::string& text) override {
        ++errors;
        ui_.critical(text);
    }
    Answer ask(const std::string& text, Buttons buttons, Answer defaultAnswer) override {
        if (buttons == Buttons::YesNoCancel && update_)
            return CliInteraction(update_).ask(text, buttons, defaultAnswer);
        return ui_.ask(text, buttons, defaultAnswer);
    }
    void progress(std::string_view what, std::uint64_t done, std::uint64_t total) override {
        ui_.progress(what, done, total);
    }

    int errors = 0;

private:
    Interaction& ui_;
    std::optional<Answer> update_;
};

int import(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {"update-existing"}, {});
    a.expectPositional(2);
    std::optional<Answer> update;
    if (const auto value = a.value("update-existing")) {
        update = parseAnswer(*value);
        if (!update || *update == Answer::Ok)
            throw UsageError("--update-existing takes yes, no or cancel");
    }
    auto db = openDatabase(a.positional()[0], ui, Access::Write);
    ImportInteraction importUi(ui, update);
    const XmlImportResult result = OpenXmlFile(*db, a.positional()[1], importUi);
    for (const ImportedEcu& ecu : result.ecus) {
        std::cout << ecu.ecu.text() << '\n';
        for (const ItemKey& key : ecu.applications)
            std::cout << key.text() << '\n';
        for (const ItemKey& key : ecu.tunings)
            std::cout << key.text() << '\n';
    }
    return importUi.errors == 0 ? 0 : 1;
}

int mark(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {}, {});
    a.expectPositional(2);
    const ItemKey key = keyArgument(a.positional()[1], {ItemKey::Application, ItemKey::Tuning});
    auto db = openDatabase(a.positional()[0], ui, Access::Write);
    ImageStore::Download(*db, key.text(), true); // an unknown item is an error, not a silent no-op
    ImageStore::Marquage(*db, key.text());
    return 0;
}

/** the name an item shows in the tree and the list */
std::string itemName(Connection& db, const ItemKey& key) {
    const char* statement = nullptr;
    switch (key.kind) {
    case ItemKey::Function:
        statement = "SELECT [Name] FROM [Fonctions] WHERE [Address] = ?";
        break;
    case ItemKey::Ecu:
        statement = "SELECT [Nom] FROM [Hardwares] WHERE [Ecu Id] = ?";
        break;
    case ItemKey::Application:
        statement = "SELECT [App Name] FROM [Applications] WHERE [App Id] = ?";
        break;
    case ItemKey::Tuning:
        statement = "SELECT [Calib Name] FROM [Calibrations] WHERE [Calib Id] = ?";
        break;
    default:
        return "ZEP";
    }
    QSqlQuery q = db.execute(statement, {key.id});
    if (!q.next())
        throw ZepError(errors::File, tr("zep/Messages/noSuchItem/text",
                                        "There is no item {0} in this database", key.text()));
    const std::string name = q.value(0).toString().toStdString();
    return key.kind == ItemKey::Function ? TreeSource::functionText(static_cast<int>(key.id), name) : name;
}

void printNode(const TreeNode& node, int depth) {
    std::cout << std::string(static_cast<std::size_t>(2 * depth), ' ') << node.key() << '\t'
              << printable(node.text());
    if (node.kind() == ItemKey::Function)
        std::cout << '\t' << printable(node.tag());
    std::cout << '\n';
    for (std::size_t i = 0; i < node.childCount(); ++i)
        printNode(node.child(i), depth + 1);
}

/** every key, one a line, tunings too: the words the shell completes */
void printKeys(const TreeNode& node) {
    std::cout << node.key() << '\n';
    for (std::size_t i = 0; i < node.childCount(); ++i)
        printKeys(node.child(i));
}

int tree(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {}, {"keys"});
    a.expectPositional(1);
    auto db = openDatabase(a.positional()[0], ui, Access::Read);
    TreeSource source;
    if (!source.build(*db))
        throw ZepError(errors::File, tr("frmDatabase/Messages/invalidDatabase/text",
                                        "Invalid ZEP database. Please check ! "));
    if (!a.has("keys")) {
        printNode(*source.root(), 0);
        return 0;
    }
    printKeys(*source.root());
    QSqlQuery tunings = db->execute("SELECT [Calib Id] FROM [Calibrations] ORDER BY [Calib Id]");
    while (tunings.next())
        std::cout << ItemKey{ItemKey::Tuning, tunings.value(0).toLongLong()}.text() << '\n';
    return 0;
}

int list(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {}, {});
    a.expectPositional(2);
    const ItemKey key = keyArgument(a.positional()[1],
                                    {ItemKey::Root, ItemKey::Function, ItemKey::Ecu, ItemKey::Application});
    auto db = openDatabase(a.positional()[0], ui, Access::Read);
    TreeSource source;
    if (!source.build(*db))
        throw ZepError(errors::File, tr("frmDatabase/Messages/invalidDatabase/text",
                                        "Invalid ZEP database. Please check ! "));
    if (key.kind != ItemKey::Root && !source.find(key.text()))
        itemName(*db, key); // says that the item does not exist
    const Listing listing = Listing::of(*db, source, key.text());
    std::cout << "key";
    for (const ListColumn& column : listColumns(listing.level))
        std::cout << '\t' << printable(column.text());
    std::cout << '\n';
    for (const ListRow& row : listing.rows) {
        std::cout << row.key << '\t' << printable(row.text);
        for (const std::string& sub : row.subItems)
            std::cout << '\t' << printable(sub);
        std::cout << '\n';
    }
    std::cerr << printable(listing.countText()) << '\n';
    if (listing.error)
        throw ZepError(errors::File, *listing.error);
    return 0;
}

int compare(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {"source-db"}, {"summary"});
    a.expectPositional(3);
    const ItemKey target = keyArgument(a.positional()[1], {ItemKey::Application, ItemKey::Tuning});
    const ItemKey source = keyArgument(a.positional()[2], {ItemKey::Application, ItemKey::Tuning});
    auto targetDb = openDatabase(a.positional()[0], ui, Access::Read);
    std::unique_ptr<Connection> otherDb;
    if (a.value("source-db"))
        otherDb = openDatabase(*a.value("source-db"), ui, Access::Read);
    Connection& sourceDb = otherDb ? *otherDb : *targetDb;
    const auto result = Compare::CompareItems(*targetDb, target.text(), itemName(*targetDb, target), sourceDb,
                                              source.text(), itemName(sourceDb, source), &ui);
    if (!result)
        throw UsageError("an application compares with a tuning or an application; a tuning with either");
    if (result->invalid)
        throw ZepError(errors::File, result->message);
    // through the interaction: a difference (exit 1) is said, not taken for a failure
    ui.inform(result->title + ": " + result->message);
    if (a.has("summary"))
        std::cout << printable(Compare::SummaryText(Compare::Details(*result->first, *result->second)))
                  << '\n';
    else if (result->differs()) {
        std::string listing = result->listing;
        listing.erase(std::remove(listing.begin(), listing.end(), '\r'), listing.end());
        std::cout << printable(listing, true);
    }
    return result->differs() ? 1 : 0;
}

int info(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {}, {});
    a.expectPositional(2);
    const ItemKey key = keyArgument(a.positional()[1], {ItemKey::Application, ItemKey::Tuning});
    auto db = openDatabase(a.positional()[0], ui, Access::Read);
    const std::string name = itemName(*db, key);
    // the bytes the properties dialog shows: a tuning alone, an application whole
    const EcuApplication image = ImageStore::Download(*db, key.text(), key.kind == ItemKey::Tuning);
    std::cout << key.text() << '\t' << printable(name) << '\n'
              << "  " << (key.kind == ItemKey::Tuning ? "tuning" : "application") << '\n';
    printRanges(image.value(), true);
    return 0;
}

int map(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {"width"}, {});
    a.expectPositional(3);
    const ItemKey key = keyArgument(a.positional()[1], {ItemKey::Application, ItemKey::Tuning});
    const double width = double(a.number("width", 400, 10000).value_or(MemoryMapPicture::DefaultWidth));
    auto db = openDatabase(a.positional()[0], ui, Access::Read);
    itemName(*db, key); // an unknown item is said as such
    const bool tuning = key.kind == ItemKey::Tuning;
    const EcuApplication image = ImageStore::Download(*db, key.text(), tuning);
    // Text needs a GUI application; zep draws without a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "zep";
    char* argv[] = {name, nullptr};
    const QGuiApplication gui(argc, argv);
    MemoryMapPicture(image.Ecu(), image.value(), tuning, QSizeF(width, MemoryMapPicture::DefaultHeight))
        .save(a.positional()[2]);
    return 0;
}

int copy(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {"into", "update"}, {});
    a.expectPositional(3);
    if (a.has("into") == a.has("update"))
        throw UsageError("give either --into KEY or --update hID");
    auto source = openDatabase(a.positional()[0], ui, Access::Read);
    auto target = openDatabase(a.positional()[2], ui, Access::Write);
    if (a.has("update")) {
        const ItemKey from = keyArgument(a.positional()[1], {ItemKey::Ecu});
        const ItemKey to = keyArgument(*a.value("update"), {ItemKey::Ecu});
        const ZEPEcu targetEcu = EcuStore::Read(*target, to.id);
        const Copy::Update update = Copy::UpdateEcuParameters(*source, from.id, *target, to.id,
                                                              "g" + std::to_string(targetEcu.Address), ui);
        return update == Copy::Update::Done ? 0 : 1;
    }
    const ItemKey dragged = keyArgument(
        a.positional()[1], {ItemKey::Function, ItemKey::Ecu, ItemKey::Application, ItemKey::Tuning});
    const ItemKey into =
        keyArgument(*a.value("into"), {ItemKey::Root, ItemKey::Function, ItemKey::Ecu, ItemKey::Application});
    const Copy::Copied copied = Copy::CopyInto(*source, dragged.text(), *target, into.text(), &ui);
    std::cout << copied.key << '\n';
    return 0;
}

int remove(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {}, {});
    a.expectPositional(2);
    const ItemKey key = keyArgument(a.positional()[1],
                                    {ItemKey::Function, ItemKey::Ecu, ItemKey::Application, ItemKey::Tuning});
    auto db = openDatabase(a.positional()[0], ui, Access::Write);
    return ItemEdit::DeleteItem(*db, key.text(), itemName(*db, key), ui) ? 0 : 1;
}

int rename(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {}, {});
    a.expectPositional(3);
    const ItemKey key = keyArgument(a.positional()[1], {ItemKey::Ecu, ItemKey::Application, ItemKey::Tuning});
    auto db = openDatabase(a.positional()[0], ui, Access::Write);
    itemName(*db, key); // an unknown item is an error
    // the level of the list that shows such items: ECUs at 2, applications at 3, tunings at 4
    const int level = key.kind == ItemKey::Ecu ? 2 : key.kind == ItemKey::Application ? 3 : 4;
    const ItemEdit::Rename result = ItemEdit::renameListItem(*db, level, key.text(), a.positional()[2]);
    if (result.cancel)
        throw ZepError(errors::File, tr("zep/Messages/emptyName/text", "A name cannot be blank"));
    return result.stored ? 0 : 1;
}

int dummy(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {"size", "byte"}, {"tuning"});
    a.expectPositional(2);
    if (!a.value("size") || !a.value("byte"))
        throw UsageError("--size and --byte are needed");
    const ItemKey key = keyArgument(a.positional()[1], {ItemKey::Application, ItemKey::Tuning});
    auto db = openDatabase(a.positional()[0], ui, Access::Write);
    // An application item makes a dummy tuning when it stands for its own default tuning, that is
    // when it is the selected node itself; else a global data set for its ECU.
    std::string selection = key.text();
    if (key.kind == ItemKey::Application && !a.has("tuning")) {
        QSqlQuery q = db->execute("SELECT [Ecu Id] FROM [Applications] WHERE [App Id] = ?", {key.id});
        selection = q.next() ? "h" + q.value(0).toString().toStdString() : std::string("r");
    }
    const auto target = DataSet::FindTarget(*db, key.text(), selection);
    if (!target)
        itemName(*db, key); // says that the item does not exist
    if (!target)
        return 1;
    const std::uint64_t maxSize = DataSet::MaxSize(target->ecu, target->tuning);
    const DataSet::Input input = DataSet::CheckInput(*a.value("size"), maxSize, *a.value("byte"));
    if (!input.ok())
        throw ZepError(errors::File, input.error);
    const MemImage image =
        DataSet::BuildImage(target->ecu.WriteMap(target->tuning), input.length, input.byte);
    const qint64 id = DataSet::AddDummyDataSet(*db, target->ecuId, target->appId, image, target->ecu,
                                               input.byte, target->tuning, QDateTime::currentDateTime(), &ui);
    std::cout << (target->tuning ? "c" : "a") << id << '\n';
    return 0;
}

int compact(const std::vector<std::string>& args, Interaction& ui) {
    const Arguments a(args, {}, {});
    a.expectPositional(2);
    // The viewer lets such a choice pass in silence; here it is said.
    std::error_code ec;
    if (std::filesystem::equivalent(a.positional()[0], a.positional()[1], ec))
        throw ZepError(errors::File, tr("zep/Messages/compactOntoItself/text",
                                        "The compacted copy cannot replace {0} itself: give another file",
                                        a.positional()[0]));
    const auto outcome = Compaction::Compact(a.positional()[0], a.positional()[1], ui);
    return outcome && outcome->succeeded ? 0 : 1;
}

} // namespace

const std::vector<Command>& dbCommands() {
    static const std::vector<Command> commands = {
        {"db create", "zep db create DB",
         "  Makes a new, empty local database. An existing file is never replaced.\n", create},
        {"db demo", "zep db demo DB",
         "  Makes a new local database filled with sample functions, ECUs, applications and tunings.\n",
         demo},
        {"db tree", "zep db tree DB [--keys]",
         "  Prints the tree of functions, ECUs and applications, a key and a name a line. --keys prints\n"
         "  only the keys, tunings' too, one a line (for shell completion).\n",
         tree},
        {"db list", "zep db list DB KEY",
         "  Prints the list of the node KEY (r, gADDRESS, hID, aID): its columns, then one item a line.\n",
         list},
        {"db open", "zep db open DB FILE --into hID|aID",
         "  Opens a flash file (S-record, H86, KWP) as a new application of the ECU hID. With --into aID a\n"
         "  tuning file goes under that application, and an application file beside it, under its ECU.\n"
         "  Prints the keys of the items it added.\n",
         open},
        {"db save",
         "zep db save DB KEY OUT [--format srec|h86|kwp|xml] [--default-tuning] [--encoding base64|binhex] "
         "[--tuning-only yes|no] [--only-default-tuning yes|no]",
         "  Saves an application aID or a tuning cID, clipped to its ECU's write map; as XML an ECU hID "
         "too.\n"
         "  The format is --format's, else OUT's extension's (.s .s19 .s28 .s37 .srec .mot .ulp, .h86 .hex\n"
         "  .ihex .ihx, .kwp, .xml). --default-tuning saves an application as its own default tuning; the\n"
         "  XML options answer the questions the viewer asks.\n",
         save},
        {"db import", "zep db import DB FILE.xml [--update-existing yes|no|cancel]",
         "  Imports the ECUs of an XML file; prints the keys of the ECUs, applications and tunings it "
         "added.\n",
         import},
        {"db compare", "zep db compare DB TARGET SOURCE [--source-db DB2] [--summary]",
         "  Compares two applications or tunings: exit 0 when compatible, 1 when they differ (the\n"
         "  differences are printed; with --summary, one line: every differing byte counted, the ranges\n"
         "  they make, the bytes compared and the erased-value rule).\n",
         compare},
        {"db info", "zep db info DB aID|cID",
         "  Prints the address ranges of an application or a tuning with the KWP CRC (CRC-16/CCITT-FALSE),\n"
         "  CRC-32 and byte sum of each range and of the whole image.\n",
         info},
        {"db map", "zep db map DB aID|cID OUT.png|OUT.svg [--width PIXELS]",
         "  Draws where an application or a tuning lies against its ECU's erase map, write map and\n"
         "  exclusions, as a PNG or SVG picture.\n",
         map},
        {"db copy", "zep db copy SRCDB KEY DSTDB --into KEY | --update hID",
         "  Copies a function into r, an ECU into its function gADDRESS, an application into an ECU hID, a\n"
         "  tuning into an application aID; --update hID replaces an ECU's parameters and memory map.\n",
         copy},
        {"db delete", "zep db delete DB KEY",
         "  Deletes a function, ECU, application or tuning (after a question).\n", remove},
        {"db rename", "zep db rename DB KEY NAME", "  Renames an ECU, application or tuning.\n", rename},
        {"db dummy", "zep db dummy DB aID|cID --size N --byte HH [--tuning]",
         "  Adds a dummy global data set for the ECU of application aID, or a dummy tuning (--tuning, or a\n"
         "  tuning key cID) for it: N bytes of HH, for performance tests.\n",
         dummy},
        {"db compact", "zep db compact SRC DST", "  Writes a compacted copy of a local database.\n", compact},
        {"db mark", "zep db mark DB aID|cID",
         "  Marks the identification of an application or tuning as checked.\n", mark},
        findCommand(),
        newEcuCommand(),
    };
    return commands;
}

} // namespace zep::cli
