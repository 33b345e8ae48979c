#include "frmPropEcu.h"

#include "MapGrid.h"
#include "NamedControls.h"

#include "commands/MapRows.h"
#include "flash/ZEPEcu.h"
#include "memory/Hex.h"
#include "navigation/Listing.h"
#include "text/TextCatalog.h"
#include "views/ControlTexts.h"
#include "views/QtText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace zep {

namespace {

// Colours of the map grids (light green, yellow, red and blue).
const QColor TuningColour(0xC0, 0xFF, 0xC0);
const QColor GlobalColour(0xFF, 0xFF, 0xC0);
const QColor GlobalOnlyColour(0xFF, 0xC0, 0xC0);
const QColor NeverColour(0xC0, 0xC0, 0xFF);

using MapRows::Erasing;

QString classText(Erasing erasing) {
    switch (erasing) {
    case Erasing::Tuning:
        return qtr("frmPropEcu/Messages/tuning/text", "tuning");
    case Erasing::GlobalOnly:
        return qtr("frmPropEcu/Messages/globalOnly/text", "global only");
    case Erasing::Never:
        break;
    }
    return qtr("frmPropEcu/Messages/never/text", "never");
}

QColor classColour(Erasing erasing) {
    switch (erasing) {
    case Erasing::Tuning:
        return TuningColour;
    case Erasing::GlobalOnly:
        return GlobalOnlyColour;
    case Erasing::Never:
        break;
    }
    return NeverColour;
}

QStringList headers(bool withErasing) {
    QStringList texts{
        qtr("frmPropEcu/Controls/gridMapping/columnNames/Start/text", "Start"),
        qtr("frmPropEcu/Controls/gridMapping/columnNames/End/text", "End"),
        qtr("frmPropEcu/Controls/gridMapping/columnNames/Length/text", "Length"),
        qtr("frmPropEcu/Controls/gridMapping/columnNames/Size/text", "Size (KB)"),
    };
    if (withErasing)
        texts << qtr("frmPropEcu/Controls/gridMapping/columnNames/Erasing/text", "Erasing")
              << qtr("frmPropEcu/Controls/gridMapping/columnNames/Excluded/text", "Excluded");
    return texts;
}

} // namespace

frmPropEcu::frmPropEcu(ZEPEcu& ecu, QWidget* parent, Mode mode)
    : QDialog(parent), ecu_(ecu), edit_(ecu), mode_(mode), mapEcu_(ecu),
      cbIdentificationType_(new QComboBox(this)), txtSupplierCode_(namedLineEdit("txtSupplierCode", this)),
      txtInterByteDelay_(namedLineEdit("txtInterByteDelay", this)),
      txtReplyToRequestDelay_(namedLineEdit("txtReplyToRequestDelay", this)),
      txtComment_(new QPlainTextEdit(this)), txtWriteGranularity_(namedLineEdit("txtWriteGranularity", this)),
      txtFillPattern_(namedLineEdit("txtFillPattern", this)),
      txtMaxDownload_(namedLineEdit("txtMaxDownload", this)),
      txtRepeatPattern_(namedLineEdit("txtRepeatPattern", this)),
      chkUploadwCRC_(new QCheckBox(QStringLiteral("Upload with CRC"), this)),
      tsMapping_(new QTabWidget(this)), gridMapping_(new QTableWidget(this)) {
    setObjectName("frmPropEcu");
    cbIdentificationType_->setObjectName("cbIdentificationType");
    txtComment_->setObjectName("txtComment");
    chkUploadwCRC_->setObjectName("chkUploadwCRC");
    tsMapping_->setObjectName("tsMapping");
    gridMapping_->setObjectName("gridMapping");

    // Shown for reference only: the dialog never writes them back (but for a new ECU's type).
    cbIdentificationType_->setEnabled(mode == Mode::New);
    txtSupplierCode_->setReadOnly(true);

    const auto* hexDigits = new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]*"), this);
    for (QLineEdit* pattern : {txtFillPattern_, txtRepeatPattern_}) {
        pattern->setValidator(hexDigits);
        pattern->setMaxLength(EcuPropertiesEdit::MaxPatternDigits);
        pattern->installEventFilter(this);
    }
    makeCommentBox(*txtComment_);

    for (const char* key : {"Calibration", "Global", "Mapping"})
        addTabPage(*tsMapping_, key);
    tsMapping_->widget(0)->layout()->addWidget(gridMapping_);

    const OkCancel buttons = okCancelButtons(*this);
    connect(buttons.box, &QDialogButtonBox::accepted, this, &frmPropEcu::accept);
    connect(buttons.box, &QDialogButtonBox::rejected, this, &frmPropEcu::reject);

    auto* outer = new QVBoxLayout(this);
    if (mode == Mode::New) {
        txtName_ = namedLineEdit("txtName", this);
        txtName_->setMaxLength(255);
        auto* nameRow = new QHBoxLayout;
        nameRow->addWidget(namedLabel("lblName", "Name", txtName_, this));
        nameRow->addWidget(txtName_, 1);
        outer->addLayout(nameRow);
    }
    auto* grid = new QGridLayout;
    outer->addLayout(grid, 1);
    grid->addWidget(namedLabel("lblIdentificationType", "Identification type", cbIdentificationType_, this),
                    0, 0);
    grid->addWidget(cbIdentificationType_, 0, 1, 1, 3);
    grid->addWidget(namedLabel("lblSupplierCode", "Supplier code", txtSupplierCode_, this), 1, 0);
    grid->addWidget(txtSupplierCode_, 1, 1);
    grid->addWidget(chkUploadwCRC_, 1, 2, 1, 2);
    grid->addWidget(namedLabel("lblInterByteDelay", "Inter-byte delay (ms)", txtInterByteDelay_, this), 2, 0);
    grid->addWidget(txtInterByteDelay_, 2, 1);
    grid->addWidget(
        namedLabel("lblReplyToRequestDelay", "Reply to request delay (ms)", txtReplyToRequestDelay_, this), 2,
        2);
    grid->addWidget(txtReplyToRequestDelay_, 2, 3);
    grid->addWidget(
        namedLabel("lblWriteGranularity", "Write granularity (bytes)", txtWriteGranularity_, this), 3, 0);
    grid->addWidget(txtWriteGranularity_, 3, 1);
    grid->addWidget(namedLabel("lblMaxDownload", "Max download (bytes)", txtMaxDownload_, this), 3, 2);
    grid->addWidget(txtMaxDownload_, 3, 3);
    grid->addWidget(namedLabel("lblFillPattern", "Erased state (hex)", txtFillPattern_, this), 4, 0);
    grid->addWidget(txtFillPattern_, 4, 1, 1, 3);
    grid->addWidget(namedLabel("lblRepeatPattern", "Repeat pattern (hex)", txtRepeatPattern_, this), 5, 0);
    grid->addWidget(txtRepeatPattern_, 5, 1, 1, 3);
    auto* lblComment = namedLabel("lblComment", "Comment", txtComment_, this);
    grid->addWidget(lblComment, 6, 0, Qt::AlignTop);
    grid->addWidget(txtComment_, 6, 1, 1, 3);
    grid->addWidget(tsMapping_, 7, 0, 1, 4);
    grid->addWidget(buttons.box, 8, 0, 1, 4);
    grid->setRowStretch(7, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    for (const auto& [box, line] : boxes())
        connect(line, &QLineEdit::textChanged, this, [this, box](const QString& text) {
            edit_.type(box, text);
            showTexts();
        });
    connect(chkUploadwCRC_, &QCheckBox::clicked, this, [this] { changed_ = true; });
    connect(tsMapping_, &QTabWidget::currentChanged, this, &frmPropEcu::showMapTab);

    if (mode != Mode::View)
        createMapEditor();
    setWindowTitle(mode == Mode::New ? qtr("frmPropEcu/Messages/newCaption/text", "New ECU") : qs(ecu_.Nom));
    applyControlTexts(*this, "frmPropEcu/Controls");
    fill();
    showMapTab();
    changed_ = false;
    if (txtName_)
        txtName_->setFocus();
    else
        txtInterByteDelay_->setFocus(); // the first box that can be edited
    setSizeGripEnabled(true);
    resize(600, mode == Mode::View ? 560 : 720);
}

void frmPropEcu::fillIdentificationTypes() {
    const pugi::xpath_node_set items = TextCatalog::instance().select("Parameters/identificationTypes/item");
    for (const pugi::xpath_node& item : items) {
        const pugi::xml_node node = item.node();
        const auto value = parseInteger(node.attribute("value").value()).value_or(0);
        cbIdentificationType_->addItem(qs(textContent(node.child("text"))),
                                       QVariant::fromValue<qint64>(value));
    }
    cbIdentificationType_->setCurrentIndex(-1);
    const int unknown = cbIdentificationType_->findData(QVariant::fromValue<qint64>(-1));
    if (unknown >= 0)
        cbIdentificationType_->setCurrentIndex(unknown);
    const int own = cbIdentificationType_->findData(QVariant::fromValue<qint64>(ecu_.IdentificationType));
    if (own >= 0)
        cbIdentificationType_->setCurrentIndex(own);
}

void frmPropEcu::fill() {
    fillIdentificationTypes();
    txtSupplierCode_->setText(qs(supplierText(ecu_.SupplierHex, ecu_.IdentificationType)));
    showTexts();
    txtComment_->setPlainText(qs(edit_.comment));
    chkUploadwCRC_->setChecked(edit_.uploadWithCrc);
}

std::vector<std::pair<EcuPropertiesEdit::Box, QLineEdit*>> frmPropEcu::boxes() const {
    using Box = EcuPropertiesEdit::Box;
    return {
        {Box::InterByteDelay, txtInterByteDelay_},     {Box::ReplyToRequestDelay, txtReplyToRequestDelay_},
        {Box::WriteGranularity, txtWriteGranularity_}, {Box::FillPattern, txtFillPattern_},
        {Box::MaxDownload, txtMaxDownload_},           {Box::RepeatPattern, txtRepeatPattern_}};
}

void frmPropEcu::showTexts() {
    // The texts come from the rules already: changing them must not run the rules again.
    for (const auto& [box, line] : boxes())
        if (line->text() != edit_.text(box)) {
            const QSignalBlocker quiet(line);
            line->setText(edit_.text(box));
        }
}

bool frmPropEcu::run() {
    exec();
    if (changed_)
        writeBack();
    return changed_;
}

bool frmPropEcu::edit(ZEPEcu& ecu, QWidget* parent, Mode mode) {
    frmPropEcu dialog(ecu, parent, mode);
    return dialog.run();
}

void frmPropEcu::writeBack() {
    edit_.comment = ss(txtComment_->toPlainText());
    edit_.uploadWithCrc = chkUploadwCRC_->isChecked();
    edit_.writeTo(ecu_);
    if (mode_ == Mode::View)
        return;
    MapRows::apply(entries_, ecu_);
    if (txtName_) {
        ecu_.Nom = ss(txtName_->text().trimmed());
        if (cbIdentificationType_->currentIndex() >= 0)
            ecu_.IdentificationType = static_cast<int>(cbIdentificationType_->currentData().toLongLong());
    }
}

void frmPropEcu::accept() {
    // A map that cannot be stored, or a new ECU without a name, keeps the dialog open: the reason is shown.
    if (!mapProblem_.isEmpty()) {
        lblMapError_->setText(mapProblem_);
        tsMapping_->setCurrentIndex(2);
        gridMapEdit_->setFocus();
        return;
    }
    if (txtName_ && txtName_->text().trimmed().isEmpty()) {
        lblMapError_->setText(
            qtr("frmDatabase/Messages/newHardware/noName/text", "A new ECU needs a name: type one."));
        txtName_->setFocus();
        return;
    }
    changed_ = true;
    QDialog::accept();
}

void frmPropEcu::reject() {
    changed_ = false;
    QDialog::reject();
}

bool frmPropEcu::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut)
        for (const auto& [box, line] : boxes())
            if (watched == line) {
                edit_.leave(box);
                showTexts();
            }
    return QDialog::eventFilter(watched, event);
}

void frmPropEcu::showMapTab() {
    QWidget* current = tsMapping_->currentWidget();
    if (current == nullptr)
        return;
    if (gridMapping_->parentWidget() != current)
        static_cast<QBoxLayout*>(current->layout())->insertWidget(0, gridMapping_, 1);
    const QString key = current->objectName();
    if (key == QLatin1String("Calibration"))
        showWriteMap(true);
    else if (key == QLatin1String("Global"))
        showWriteMap(false);
    else
        showErasingMap();
}

void frmPropEcu::showWriteMap(bool tuning) {
    gridMapping_->setUpdatesEnabled(false);
    MapGrid::reset(*gridMapping_, headers(false));
    const QColor colour = tuning ? TuningColour : GlobalColour;
    QPalette palette = gridMapping_->palette();
    palette.setColor(QPalette::Base, colour);
    gridMapping_->setPalette(palette);
    for (const MemRange& range : mapEcu_.WriteMap(tuning))
        MapGrid::addRow(*gridMapping_, range, {}, colour);
    gridMapping_->setUpdatesEnabled(true);
}

void frmPropEcu::showErasingMap() {
    gridMapping_->setUpdatesEnabled(false);
    MapGrid::reset(*gridMapping_, headers(true));
    gridMapping_->setPalette(QPalette());
    const QString yes = qtr("common/yes/text", "yes");
    for (const MapRows::ErasingRow& row : MapRows::erasing(mapEcu_))
        MapGrid::addRow(*gridMapping_, row.range, {classText(row.erasing), row.excluded ? yes : QString()},
                        classColour(row.erasing));
    gridMapping_->setUpdatesEnabled(true);
}

void frmPropEcu::createMapEditor() {
    QWidget* page = tsMapping_->widget(2);
    gridMapEdit_ = new QTableWidget(0, 3, page);
    gridMapEdit_->setObjectName("gridMapEdit");
    gridMapEdit_->setHorizontalHeaderLabels(
        {qtr("frmPropEcu/Controls/gridMapEdit/columnNames/Kind/text", "Range"),
         qtr("frmPropEcu/Controls/gridMapping/columnNames/Start/text", "Start"),
         qtr("frmPropEcu/Controls/gridMapping/columnNames/End/text", "End")});
    gridMapEdit_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    gridMapEdit_->verticalHeader()->hide();
    gridMapEdit_->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridMapEdit_->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* add = new QPushButton(QStringLiteral("Add range"), page);
    add->setObjectName("cmdAddRange");
    auto* remove = new QPushButton(QStringLiteral("Remove range"), page);
    remove->setObjectName("cmdRemoveRange");
    lblMapError_ = new QLabel(page);
    lblMapError_->setObjectName("lblMapError");
    lblMapError_->setWordWrap(true);
    QPalette red = lblMapError_->palette();
    red.setColor(QPalette::WindowText, Qt::darkRed);
    lblMapError_->setPalette(red);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addWidget(lblMapError_, 1);
    auto* layout = static_cast<QVBoxLayout*>(page->layout());
    layout->addWidget(gridMapEdit_, 1);
    layout->addLayout(buttons);
    connect(add, &QPushButton::clicked, this, &frmPropEcu::addRange);
    connect(remove, &QPushButton::clicked, this, &frmPropEcu::removeRange);
    connect(gridMapEdit_, &QTableWidget::itemChanged, this, &frmPropEcu::mapEdited);
    entries_ = MapRows::entries(ecu_);
    for (const MapRows::MapEntry& entry : entries_)
        addEditorRow(entry);
}

void frmPropEcu::addEditorRow(const MapRows::MapEntry& entry) {
    using Kind = MapRows::MapEntry::Kind;
    const QSignalBlocker quiet(gridMapEdit_);
    const int row = gridMapEdit_->rowCount();
    gridMapEdit_->insertRow(row);
    auto* kind = new QComboBox(gridMapEdit_);
    for (const Kind k : {Kind::Global, Kind::Tuning, Kind::Exclusion})
        kind->addItem(qs(MapRows::kindText(k)), static_cast<int>(k));
    kind->setCurrentIndex(static_cast<int>(entry.kind));
    connect(kind, &QComboBox::currentIndexChanged, this, &frmPropEcu::mapEdited);
    gridMapEdit_->setCellWidget(row, 0, kind);
    gridMapEdit_->setItem(row, 1, new QTableWidgetItem(qs(hex::number(entry.first))));
    gridMapEdit_->setItem(row, 2, new QTableWidgetItem(qs(hex::number(entry.last))));
}

void frmPropEcu::addRange() {
    // after the last mapping, or at 0: a range the user then edits
    std::uint32_t first = 0;
    for (const MapRows::MapEntry& entry : entries_)
        if (entry.kind != MapRows::MapEntry::Kind::Exclusion && entry.last < 0xFFFFFFFF)
            first = std::max(first, entry.last + 1);
    addEditorRow({MapRows::MapEntry::Kind::Global, first,
                  static_cast<std::uint32_t>(std::min<std::uint64_t>(first + 0xFFFF, 0xFFFFFFFF))});
    gridMapEdit_->setCurrentCell(gridMapEdit_->rowCount() - 1, 1);
    mapEdited();
}

void frmPropEcu::removeRange() {
    const int row = gridMapEdit_->currentRow();
    if (row < 0)
        return;
    gridMapEdit_->removeRow(row);
    mapEdited();
}

QString frmPropEcu::mapError() const {
    return mapProblem_;
}

void frmPropEcu::mapEdited() {
    std::vector<MapRows::MapEntryText> rows;
    for (int row = 0; row < gridMapEdit_->rowCount(); ++row) {
        const auto* kind = static_cast<QComboBox*>(gridMapEdit_->cellWidget(row, 0));
        const auto text = [&](int column) {
            const QTableWidgetItem* item = gridMapEdit_->item(row, column);
            return item ? ss(item->text()) : std::string();
        };
        rows.push_back({static_cast<MapRows::MapEntry::Kind>(kind->currentData().toInt()), text(1), text(2)});
    }
    auto parsed = MapRows::parse(rows);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        mapProblem_ = qs(*error);
        lblMapError_->setText(mapProblem_);
        return;
    }
    mapProblem_.clear();
    lblMapError_->clear();
    entries_ = std::get<std::vector<MapRows::MapEntry>>(std::move(parsed));
    MapRows::apply(entries_, mapEcu_);
    showMapTab();
}

} // namespace zep
