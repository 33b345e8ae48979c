#include "ItemCommands.h"

#include "commands/DataSet.h"
#include "commands/EcuCreation.h"
#include "commands/ItemEdit.h"
#include "commands/OpenCommand.h"
#include "commands/SaveCommand.h"
#include "commands/XmlExport.h"
#include "commands/XmlImport.h"
#include "database/Connection.h"
#include "database/EcuStore.h"
#include "database/ImageStore.h"
#include "database/ItemKey.h"
#include "database/Sql.h"
#include "dialogs/frmCreateTestDataSet.h"
#include "dialogs/frmHexView.h"
#include "dialogs/frmPropAppli.h"
#include "dialogs/frmPropEcu.h"
#include "flash/FileKind.h"
#include "frmDatabase.h"
#include "navigation/Listing.h"
#include "views/DatabaseTree.h"
#include "views/ItemList.h"
#include "views/QtText.h"
#include "views/WaitCursor.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QSqlRecord>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>

namespace zep {

namespace {} // namespace

ItemCommands::ItemCommands(frmDatabase& window) : window_(window) {
    QObject::connect(&window_.tree().treeModel(), &DatabaseTreeModel::renameRequested, &window_,
                     [this](const QString& key, const QString& text) { rename(ss(key), ss(text), true); });
    QObject::connect(&window_.list().listModel(), &ItemListModel::renameRequested, &window_,
                     [this](const QString& key, const QString& text) { rename(ss(key), ss(text), false); });
    window_.list().listModel().setEditable([this](const ListRow& row) {
        // Functions keep their names; so does the default tuning item.
        const int level = window_.depth();
        return level >= 2 && !window_.isReadOnly() && !window_.isDefaultTuningItem(row.key);
    });
}

bool ItemCommands::connected() {
    return window_.connection() != nullptr;
}

void ItemCommands::open() {
    if (!connected())
        return;
    Connection& db = *window_.connection();
    const TreeNode* ecu = window_.tree().selectedEcu();
    if (!ecu) {
        const QString path =
            window_
                .chooseFile(frmDatabase::FileDialog::Open, {}, window_.filter("openSaveXml"), qs(lastFolder_))
                .path;
        if (path.isEmpty())
            return;
        lastFolder_ = ss(QFileInfo(path).absolutePath());
        importXml(ss(path));
        return;
    }
    const QString path =
        window_.chooseFile(frmDatabase::FileDialog::Open, {}, window_.filter("open"), qs(lastFolder_)).path;
    if (path.isEmpty())
        return;
    lastFolder_ = ss(QFileInfo(path).absolutePath());
    const TreeNode* application = window_.tree().selectedApplication();
    OpenResult result;
    {
        WaitCursor busy;
        result = OpenFlashFile(db, ecu->id(),
                               application ? std::optional<qint64>(application->id()) : std::nullopt,
                               ss(path), window_.interaction());
    }
    if (!result.opened())
        return;
    if (result.application) {
        const TreeSource::Insertion insertion =
            window_.addApplicationNode(result.application->id, result.ecuId);
        if (!result.tuning) {
            window_.inserted(insertion);
            return;
        }
    }
    if (result.tuning) {
        const qint64 appId = result.application ? result.application->id : application->id();
        window_.inserted(TreeSource::insertTuning(result.tuning->id, appId));
    }
}

void ItemCommands::importXml(const std::string& path, bool dropped) {
    if (!connected() || importing_)
        return;
    if (!dropped && !CheckXmlFile(path, window_.interaction()))
        return;
    importing_ = true;
    // the pointer stays busy while the file loads beside the window, until the import starts
    auto pointer = std::make_shared<WaitCursor>(Qt::BusyCursor);
    auto* loading = new QFutureWatcher<LoadedXml>(&window_);
    QObject::connect(loading, &QFutureWatcher<LoadedXml>::finished, &window_, [this, loading, pointer] {
        const LoadedXml loaded = loading->result();
        loading->deleteLater();
        pointer->restore();
        importing_ = false;
        if (!connected())
            return;
        XmlImportResult result;
        {
            WaitCursor busy;
            result =
                ImportLoadedXml(*window_.connection(), loaded, window_.interaction(), &window_.treeSource());
        }
        // New functions, ECUs and applications may sit anywhere in the tree: read it anew.
        if (result.imported())
            window_.buildTree();
    });
    loading->setFuture(QtConcurrent::run([path] { return LoadXmlFile(path); }));
}

void ItemCommands::save(const std::string& key, const std::string& text) {
    saveAs(key, text, false);
}

void ItemCommands::saveDefaultTuning(const std::string& key, const std::string& text) {
    saveAs(key, text, true);
}

void ItemCommands::saveAs(const std::string& key, const std::string& text, bool defaultTuning) {
    if (!connected())
        return;
    Connection& db = *window_.connection();
    const char kind = keyKind(key);
    if (kind != ItemKey::Ecu && kind != ItemKey::Application && kind != ItemKey::Tuning)
        return;
    const bool ecu = kind == ItemKey::Ecu;
    const std::string name = SuggestedFileName(text);
    const QString suggested = qs(lastFolder_.empty() ? name : lastFolder_ + "/" + name);
    const frmDatabase::FileChoice choice =
        window_.chooseFile(frmDatabase::FileDialog::Save, {}, window_.filter(ecu ? "openSaveXml" : "save"),
                           suggested, ecu ? "xml" : "");
    if (choice.path.isEmpty())
        return;
    const std::string path = ss(choice.path);
    lastFolder_ = ss(QFileInfo(choice.path).absolutePath());
    // An ECU is saved as XML whatever the filter; the others by the filter chosen, or by the extension
    // under "All files".
    const SaveFormat format = ecu ? SaveFormat::Xml : SaveFormatOf(choice.filterIndex, path);
    const TreeNode* function = window_.tree().selectedFunction();
    const std::optional<std::string> functionText =
        function ? std::optional<std::string>(function->text()) : std::nullopt;
    WaitCursor busy;
    if (format == SaveFormat::Xml)
        SaveXml(db, key, path, window_.interaction(), {}, functionText, defaultTuning);
    else
        SaveImage(db, key, format, path, window_.interaction(), defaultTuning);
}

bool ItemCommands::deleteItem(const std::string& key, const std::string& text) {
    if (!connected())
        return false;
    bool deleted = false;
    // The tree node goes with the row; the model must hear of it before the node is gone.
    const bool inTree = window_.treeSource().find(key) != nullptr;
    try {
        deleted = ItemEdit::DeleteItem(*window_.connection(), key, text, window_.interaction(), nullptr);
    } catch (const std::exception& e) {
        window_.interaction().critical(e.what());
        return false;
    }
    if (!deleted)
        return false;
    if (inTree) {
        window_.tree().resetPath(window_.treeSource().find(key));
        window_.tree().treeModel().remove(key);
    }
    window_.list().listModel().removeRow(key);
    window_.showItemCount();
    return true;
}

void ItemCommands::rename(const std::string& key, const std::string& text, bool fromTree) {
    if (!connected())
        return;
    ItemEdit::Rename outcome;
    try {
        if (fromTree) {
            const TreeNode* node = window_.treeSource().find(key);
            outcome = ItemEdit::renameTreeNode(*window_.connection(), node ? node->level() : 0, key, text);
        } else {
            outcome = ItemEdit::renameListItem(*window_.connection(), window_.depth(), key, text);
        }
    } catch (const std::exception& e) {
        window_.interaction().critical(e.what());
        return;
    }
    if (outcome.cancel || !outcome.stored)
        return;
    window_.list().listModel().setRowText(key, outcome.text);
    if (window_.treeSource().find(key))
        window_.tree().treeModel().setText(key, outcome.text);
}

void ItemCommands::properties(const std::string& key) {
    if (!connected())
        return;
    const char kind = keyKind(key);
    if (kind == ItemKey::Ecu) {
        Connection& db = *window_.connection();
        const auto id = ItemKey::parse(key);
        try {
            ZEPEcu ecu = EcuStore::Read(db, id->id);
            // A local database lets its ECUs' memory maps be edited too.
            const bool mapEditable = !db.isCentral() && !db.isReadOnly();
            if (!frmPropEcu::edit(ecu, &window_,
                                  mapEditable ? frmPropEcu::Mode::EditMap : frmPropEcu::Mode::View))
                return;
            if (mapEditable)
                EcuCreation::update(db, id->id, ecu);
            else
                db.transaction([&] { EcuStore::Update(db, id->id, ecu); });
            window_.list().listModel().setSubItems(key, ecuSubItems(ecu));
            window_.list().listModel().setTag(key, ecu.Commentaire);
        } catch (const std::exception& e) {
            window_.interaction().critical(e.what());
        }
    } else if (kind == ItemKey::Application || kind == ItemKey::Tuning) {
        itemProperties(key, false);
    }
}

void ItemCommands::newEcu() {
    const TreeNode* function = window_.tree().selectedFunction();
    if (!connected() || !function)
        return;
    Connection& db = *window_.connection();
    try {
        if (db.isCentral())
            EcuCreation::create(db, ZEPEcu()); // says why not
        ZEPEcu ecu = EcuCreation::defaults(db, static_cast<int>(function->id()));
        if (!frmPropEcu::edit(ecu, &window_, frmPropEcu::Mode::New))
            return;
        const qint64 id = EcuCreation::create(db, ecu);
        window_.inserted({nullptr, function->key(), ItemKey{ItemKey::Ecu, id}.text()});
    } catch (const std::exception& e) {
        window_.interaction().critical(e.what());
    }
}

void ItemCommands::applicationProperties(const std::string& key) {
    itemProperties(key, true);
}

void ItemCommands::viewBytes(const std::string& key, const std::string& text, bool defaultTuning) {
    if (!connected())
        return;
    try {
        WaitCursor busy;
        // the bytes the properties dialog shows for the same item
        EcuApplication image =
            ImageStore::Download(*window_.connection(), key, defaultTuning || keyKind(key) == ItemKey::Tuning,
                                 nullptr, &window_.interaction());
        if (defaultTuning)
            image.Ecu().Intersect(image.value(), true);
        auto* view = new frmHexView(qs(text), std::move(image.value()), &window_);
        view->setAttribute(Qt::WA_DeleteOnClose);
        busy.restore();
        view->show();
    } catch (const std::exception& e) {
        window_.interaction().critical(e.what());
    }
}

void ItemCommands::itemProperties(const std::string& key, bool clipToTuningArea) {
    if (!connected())
        return;
    Connection& db = *window_.connection();
    const auto id = ItemKey::parse(key);
    if (!id)
        return;
    const ImageStore::ItemTables& t = ImageStore::TablesOf(
        id->kind == ItemKey::Tuning ? ImageStore::Owner::Tuning : ImageStore::Owner::Application);
    try {
        QSqlQuery row = db.execute(
            QString("SELECT [%1], [Commentaire] FROM [%2] WHERE [%3] = ?").arg(t.name, t.items, t.id),
            {id->id});
        if (!row.next())
            return;
        const std::string name = sql::text(row.value(0));
        QString comment = qs(sql::text(row.value(1)));
        row.finish();
        // A tuning is shown alone against the tuning area; the default tuning item is the application's
        // image clipped to that area; an application is shown whole against the global write map.
        const bool tuningArea = clipToTuningArea || id->kind == ItemKey::Tuning;
        EcuApplication image = ImageStore::Download(db, key, tuningArea, nullptr, &window_.interaction());
        if (clipToTuningArea)
            image.Ecu().Intersect(image.value(), true);
        if (!frmPropAppli::edit(qs(name), comment, image, window_.interaction(), &window_))
            return;
        ImageStore::UpdateComment(db, key, ss(comment), image.Homologation);
        if (window_.list().focused() || window_.list().selectedKey() == key) {
            window_.list().listModel().setSubItem(key, 9, image.Homologation);
            window_.list().listModel().setTag(key, ss(comment));
        }
    } catch (const std::exception& e) {
        window_.interaction().critical(e.what());
    }
}

void ItemCommands::createTestDataSet() {
    if (!connected())
        return;
    Connection& db = *window_.connection();
    const std::string key = window_.list().selectedKey();
    const char kind = keyKind(key);
    if (kind != ItemKey::Application && kind != ItemKey::Tuning)
        return;
    const auto& path = window_.tree().selectionPath();
    std::optional<DataSet::Target> target;
    try {
        target = DataSet::FindTarget(db, key, path.empty() ? std::string() : path.back()->key());
    } catch (const std::exception& e) {
        window_.interaction().critical(e.what());
        return;
    }
    if (!target)
        return;
    qint64 created = 0;
    frmCreateTestDataSet dialog(*target, window_.interaction(), &window_, [&](const DataSet::Input& input) {
        const MemImage image =
            DataSet::BuildImage(target->ecu.WriteMap(target->tuning), input.length, input.byte);
        created =
            DataSet::AddDummyDataSet(db, target->ecuId, target->appId, image, target->ecu, input.byte,
                                     target->tuning, QDateTime::currentDateTime(), &window_.interaction());
    });
    dialog.exec();
    if (!created)
        return;
    if (target->tuning) {
        window_.inserted(TreeSource::insertTuning(created, target->appId));
        return;
    }
    window_.inserted(window_.addApplicationNode(created, target->ecuId));
}

} // namespace zep
