#include "DropHandler.h"

#include "DatabaseWindows.h"

#include "ItemCommands.h"
#include "commands/Compare.h"
#include "commands/Copy.h"
#include "database/Connection.h"
#include "database/ItemKey.h"
#include "dialogs/frmCompare.h"
#include "frmDatabase.h"
#include "memory/ZepError.h"
#include "navigation/Listing.h"
#include "views/DatabaseTree.h"
#include "views/ItemList.h"
#include "views/QtText.h"
#include "views/WaitCursor.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QUrl>

namespace zep {

namespace {

int levelOf(const std::string& key) {
    switch (keyKind(key)) {
    case ItemKey::Root:
        return 1;
    case ItemKey::Function:
        return 2;
    case ItemKey::Ecu:
        return 3;
    case ItemKey::Application:
        return 4;
    case ItemKey::Tuning:
        return 5;
    default:
        return 0;
    }
}

frmDatabase* windowOf(QObject* source) {
    auto* widget = qobject_cast<QWidget*>(source);
    return widget ? qobject_cast<frmDatabase*>(widget->window()) : nullptr;
}

} // namespace

DropHandler::DropHandler(frmDatabase& window) : window_(window) {
    ItemList& list = window_.list();
    list.onDragEnter = [this](QDragEnterEvent& e) { enter(e); };
    list.onDragMove = [this](QDragMoveEvent& e) { move(e); };
    list.onDragLeave = [this] { leave(); };
    list.onDrop = [this](QDropEvent& e) { drop(e); };
    // The tree takes files only.
    DatabaseTree& tree = window_.tree();
    tree.acceptsDrop = [](const QMimeData& data) { return !singleFile(data).isEmpty(); };
    tree.dropped = [this](const QMimeData& data) {
        window_.commands().importXml(ss(singleFile(data)), true);
    };
}

QString DropHandler::singleFile(const QMimeData& data) {
    if (!data.hasUrls())
        return {};
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    return urls.first().toLocalFile();
}

frmDatabase* DropHandler::sourceOf(const QDropEvent& event) {
    if (frmDatabase* source = windowOf(event.source()))
        return source;
    // The dragged text names the source: its connection string, a tab, the key of its selected item.
    const QStringList parts = event.mimeData()->text().split('\t');
    if (parts.size() != 2)
        return nullptr;
    for (frmDatabase* w : DatabaseWindows::all()) {
        if (qs(w->connectionName()) == parts[0] && qs(w->list().selectedKey()) == parts[1])
            return w;
    }
    return nullptr;
}

bool DropHandler::begin(frmDatabase* source) {
    drag_ = Drag();
    if (!source || !source->valid() || window_.isReadOnly())
        return false;
    drag_.source = source;
    drag_.key = source->list().selectedKey();
    drag_.level = levelOf(drag_.key);
    const auto& path = window_.tree().selectionPath();
    const TreeNode* selected = path.empty() ? nullptr : path.back();
    if (selected && int(path.size()) < drag_.level) {
        const bool other = drag_.source != &window_;
        const char kind = keyKind(drag_.key);
        switch (selected->kind()) {
        case ItemKey::Root:
            drag_.refused = !(kind == ItemKey::Function && other && !window_.isCentral());
            break;
        case ItemKey::Function: {
            const auto& sourcePath = drag_.source->tree().selectionPath();
            const bool sameFunction = !sourcePath.empty() && sourcePath.back()->key() == selected->key();
            drag_.refused = !(kind == ItemKey::Ecu && other && sameFunction);
            break;
        }
        case ItemKey::Ecu:
            drag_.refused = kind != ItemKey::Application;
            break;
        case ItemKey::Application:
            drag_.refused = kind != ItemKey::Tuning;
            break;
        default:
            break;
        }
    }
    if (drag_.refused)
        drag_ = Drag();
    return !drag_.refused;
}

void DropHandler::enter(QDragEnterEvent& event) {
    begin(sourceOf(event));
    move(event);
}

void DropHandler::move(QDragMoveEvent& event) {
    if (window_.isReadOnly()) {
        event.ignore();
        return;
    }
    if (!singleFile(*event.mimeData()).isEmpty()) {
        event.setDropAction(Qt::CopyAction);
        event.accept();
        return;
    }
    if (drag_.refused || !drag_.source) {
        event.ignore();
        return;
    }
    const ListRow* over = window_.list().rowAt(event.position().toPoint());
    const bool sameWindow = drag_.source == &window_;
    if (over) {
        // A drop on an item updates or compares.
        if (sameWindow && over->key == drag_.key) {
            event.ignore();
            return;
        }
        event.setDropAction(Qt::MoveAction);
        event.accept();
    } else {
        if (sameWindow) {
            event.ignore();
            return;
        }
        event.setDropAction(Qt::CopyAction);
        event.accept();
    }
}

void DropHandler::leave() {
    drag_ = Drag();
}

void DropHandler::drop(QDropEvent& event) {
    if (window_.isReadOnly()) {
        event.ignore();
        return;
    }
    const QString file = singleFile(*event.mimeData());
    if (!file.isEmpty()) {
        event.setDropAction(Qt::CopyAction);
        event.accept();
        window_.commands().importXml(ss(file), true);
        return;
    }
    if (drag_.refused || !drag_.source) {
        event.ignore();
        return;
    }
    const ListRow* over = window_.list().rowAt(event.position().toPoint());
    event.acceptProposedAction();
    dropOn(over ? over->key : std::string());
}

void DropHandler::dropOn(const std::string& targetKey) {
    if (!drag_.source || !drag_.source->connection() || !window_.connection())
        return;
    Connection& source = *drag_.source->connection();
    Connection& target = *window_.connection();
    const std::string dragged = drag_.key;
    const std::string draggedName = [&] {
        const ListRow* row = drag_.source->list().selectedRow();
        return row ? row->text : std::string();
    }();
    const auto& path = window_.tree().selectionPath();
    const std::string selection = path.empty() ? std::string("r") : path.back()->key();
    const char kind = keyKind(dragged);
    Interaction& ui = window_.interaction();
    WaitCursor busy;
    try {
        if (kind == ItemKey::Ecu && !targetKey.empty()) {
            const auto targetId = ItemKey::parse(targetKey);
            const auto sourceId = ItemKey::parse(dragged);
            busy.restore();
            const Copy::Update outcome =
                Copy::UpdateEcuParameters(source, sourceId->id, target, targetId->id, selection, ui);
            if (outcome == Copy::Update::Done)
                window_.refreshList();
            window_.list().select(targetKey);
            drag_ = Drag();
            return;
        }
        if (!targetKey.empty()) {
            const ListRow* targetRow = nullptr;
            const int r = window_.list().listModel().rowOf(targetKey);
            if (r >= 0)
                targetRow = &window_.list().listModel().row(r);
            const auto result = Compare::CompareItems(
                target, targetKey, targetRow ? targetRow->text : std::string(), source, dragged, draggedName);
            busy.restore();
            if (result && Compare::ShowResult(*result, ui)) {
                WaitCursor counting;
                frmCompare compared(*result, Compare::Details(*result->first, *result->second), ui, &window_);
                counting.restore();
                compared.exec();
            }
            return;
        }
        const Copy::Copied copied = Copy::CopyInto(source, dragged, target, selection, &ui);
        busy.restore();
        if (copied.rebuildTree) {
            window_.buildTree();
            return;
        }
        if (kind == ItemKey::Application) {
            const auto appId = ItemKey::parse(copied.key);
            const TreeNode* ecu = window_.tree().selectedEcu();
            window_.inserted(window_.addApplicationNode(appId->id, ecu ? ecu->id() : 0));
        } else if (kind == ItemKey::Tuning) {
            const auto calibId = ItemKey::parse(copied.key);
            const TreeNode* app = window_.tree().selectedApplication();
            window_.inserted(TreeSource::insertTuning(calibId->id, app ? app->id() : 0));
        } else {
            window_.refreshList();
            window_.list().select(copied.key);
        }
        drag_ = Drag();
    } catch (const std::exception& e) {
        busy.restore();
        drag_ = Drag();
        ui.critical(e.what());
    }
}

} // namespace zep
