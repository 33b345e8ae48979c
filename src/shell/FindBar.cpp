#include "FindBar.h"

#include "commands/MapRows.h"
#include "database/Connection.h"
#include "database/ItemKey.h"
#include "frmDatabase.h"
#include "navigation/ByteSearch.h"
#include "text/TextCatalog.h"
#include "views/DatabaseTree.h"
#include "views/ItemList.h"
#include "views/QtText.h"
#include "views/WaitCursor.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTimer>

namespace zep {

namespace {

// What the query box looks for: names and codes, or bytes (hexadecimal) or a text in the images.
enum FindIn { Names = 0, Bytes = 1, Text = 2 };

// The search runs as the user types from this many characters on; Enter searches any length.
constexpr int TypedAtLeast = 3;

} // namespace

FindBar::FindBar(frmDatabase& window)
    : QToolBar(&window), window_(window), txtFind_(new QLineEdit(this)), cbFindIn_(new QComboBox(this)),
      txtFindAt_(new QLineEdit(this)), cbFindKind_(new QComboBox(this)), cbFindChecked_(new QComboBox(this)),
      chkFindFunction_(new QCheckBox(this)), typing_(new QTimer(this)) {
    setObjectName("tbFind");
    setMovable(false);
    txtFind_->setObjectName("txtFind");
    txtFind_->setClearButtonEnabled(true);
    txtFind_->setMinimumWidth(220);
    cbFindIn_->setObjectName("cbFindIn");
    txtFindAt_->setObjectName("txtFindAt");
    txtFindAt_->setMaximumWidth(110);
    cbFindKind_->setObjectName("cbFindKind");
    cbFindChecked_->setObjectName("cbFindChecked");
    chkFindFunction_->setObjectName("chkFindFunction");
    addWidget(txtFind_);
    addWidget(cbFindIn_);
    addWidget(txtFindAt_);
    addSeparator();
    addWidget(cbFindKind_);
    addWidget(cbFindChecked_);
    addWidget(chkFindFunction_);
    retranslate();
    hide();

    typing_->setSingleShot(true);
    typing_->setInterval(250);
    connect(typing_, &QTimer::timeout, this, &FindBar::search);
    connect(txtFind_, &QLineEdit::textEdited, this, &FindBar::typed);
    connect(txtFind_, &QLineEdit::returnPressed, this, &FindBar::search);
    connect(txtFindAt_, &QLineEdit::returnPressed, this, &FindBar::search);
    for (QComboBox* filter : {cbFindKind_, cbFindChecked_})
        connect(filter, &QComboBox::activated, this, &FindBar::typed);
    connect(chkFindFunction_, &QCheckBox::clicked, this, &FindBar::typed);
    connect(cbFindIn_, &QComboBox::activated, this,
            [this] { txtFindAt_->setEnabled(cbFindIn_->currentIndex() != Names); });
}

void FindBar::retranslate() {
    const auto fill = [](QComboBox* box, const std::vector<QString>& texts) {
        const int current = std::max(0, box->currentIndex());
        box->clear();
        for (const QString& text : texts)
            box->addItem(text);
        box->setCurrentIndex(current);
    };
    txtFind_->setPlaceholderText(
        qtr("frmDatabase/Controls/txtFind/placeholder", "Name, code, approval number, comment or address"));
    txtFindAt_->setPlaceholderText(qtr("frmDatabase/Controls/txtFindAt/placeholder", "at address (hex)"));
    fill(cbFindIn_, {qtr("frmDatabase/Controls/cbFindIn/names", "Names and codes"),
                     qtr("frmDatabase/Controls/cbFindIn/bytes", "Bytes (hex) in images"),
                     qtr("frmDatabase/Controls/cbFindIn/text", "Text in images")});
    fill(cbFindKind_, {qtr("frmDatabase/Controls/cbFindKind/all", "All kinds"),
                       qtr("frmDatabase/Controls/cbFindKind/functions", "Functions"),
                       qtr("frmDatabase/Controls/cbFindKind/ecus", "ECUs"),
                       qtr("frmDatabase/Controls/cbFindKind/applications", "Applications"),
                       qtr("frmDatabase/Controls/cbFindKind/tunings", "Tunings")});
    fill(cbFindChecked_, {qtr("frmDatabase/Controls/cbFindChecked/any", "Checked or not"),
                          qtr("frmDatabase/Controls/cbFindChecked/checked", "Checked"),
                          qtr("frmDatabase/Controls/cbFindChecked/unchecked", "Not checked")});
    chkFindFunction_->setText(qtr("frmDatabase/Controls/chkFindFunction/caption", "Selected function only"));
    txtFindAt_->setEnabled(cbFindIn_->currentIndex() != Names);
}

void FindBar::open() {
    retranslate();
    show();
    txtFind_->setFocus();
    txtFind_->selectAll();
}

void FindBar::typed() {
    if (cbFindIn_->currentIndex() == Names && txtFind_->text().trimmed().size() >= TypedAtLeast)
        typing_->start();
}

void FindBar::search() {
    typing_->stop();
    Connection* db = window_.connection();
    if (!db)
        return;
    SearchQuery query;
    static const char kinds[] = {0, ItemKey::Function, ItemKey::Ecu, ItemKey::Application, ItemKey::Tuning};
    if (const char kind = kinds[std::max(0, cbFindKind_->currentIndex())])
        query.kinds = std::string(1, kind);
    if (cbFindChecked_->currentIndex() > 0)
        query.checked = cbFindChecked_->currentIndex() == 1;
    if (chkFindFunction_->isChecked())
        if (const TreeNode* function = window_.tree().selectedFunction())
            query.function = static_cast<int>(function->id());

    SearchResult result;
    try {
        if (cbFindIn_->currentIndex() == Names) {
            query.text = ss(txtFind_->text());
            WaitCursor busy;
            result = ItemSearch::find(*db, query);
        } else {
            result = searchBytes(query);
        }
    } catch (const std::exception& e) {
        window_.interaction().critical(e.what());
        return;
    }
    paths_.clear();
    for (const SearchHit& hit : result.hits)
        paths_[hit.row.key] = hit.pathKeys;
    window_.list().show(ItemSearch::listing(result));
    window_.setInfoText(qs(ItemSearch::countText(result)));
    window_.updateEnabledState();
}

SearchResult FindBar::searchBytes(const SearchQuery& items) {
    ByteQuery query;
    query.items = items;
    const std::string typed = ss(txtFind_->text());
    if (cbFindIn_->currentIndex() == Bytes) {
        const auto bytes = ByteSearch::parseHexBytes(typed);
        if (!bytes)
            throw ZepError(
                errors::InvalidArgument,
                zep::tr("frmDatabase/Messages/search/notHex/text",
                        "\"{0}\" is no byte string: type hexadecimal digits, two a byte (0A1B or 0x0A 0x1B).",
                        typed));
        query.bytes = *bytes;
    } else {
        query.bytes.assign(typed.begin(), typed.end());
    }
    if (query.bytes.empty())
        return {};
    if (!txtFindAt_->text().trimmed().isEmpty()) {
        query.at = MapRows::parseAddress(ss(txtFindAt_->text()));
        if (!query.at)
            throw ZepError(errors::InvalidArgument,
                           zep::tr("frmPropEcu/Messages/mapAddress/text",
                                   "\"{0}\" is no address: type up to 8 hexadecimal digits.",
                                   ss(txtFindAt_->text())));
    }
    QProgressDialog progress(qtr("frmDatabase/Messages/search/progress/text", "Searching the images..."),
                             qtr("frmDatabase/Messages/search/cancel/text", "Cancel"), 0, 100, &window_);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    return ByteSearch::find(*window_.connection(), query, [&](std::uint64_t done, std::uint64_t total) {
        progress.setValue(total ? int(done * 100 / total) : 100);
        QApplication::processEvents();
        return !progress.wasCanceled();
    });
}

void FindBar::goTo(const std::string& key) {
    const auto path = paths_.find(key);
    if (path == paths_.end())
        return;
    std::string parent = path->second.empty() ? std::string("r") : path->second.back();
    // The tree's own parent where it has the item: consecutive ECUs of one name share a node there.
    if (const TreeNode* node = window_.treeSource().find(key); node && node->parent())
        parent = node->parent()->key();
    window_.clickNode(parent);
    window_.tree().select(key); // an ECU or application node: shown, its parents expanded
    window_.list().select(key);
    window_.list().focusList();
    window_.updateEnabledState();
}

} // namespace zep
