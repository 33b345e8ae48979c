#include "frmPropEcu.h"

#include "MapGrid.h"
#include "NamedControls.h"

#include "commands/MapRows.h"
#include "flash/ZEPEcu.h"
#include "navigation/Listing.h"
#include "text/TextCatalog.h"
#include "views/ControlTexts.h"
#include "views/QtText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
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

frmPropEcu::frmPropEcu(ZEPEcu& ecu, QWidget* parent)
    : QDialog(parent), ecu_(ecu), edit_(ecu), cbIdentificationType_(new QComboBox(this)),
      txtSupplierCode_(namedLineEdit("txtSupplierCode", this)),
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

    // Shown for reference only: the dialog never writes them back.
    cbIdentificationType_->setEnabled(false);
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

    auto* grid = new QGridLayout(this);
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

    setWindowTitle(qs(ecu_.Nom));
    applyControlTexts(*this, "frmPropEcu/Controls");
    fill();
    showMapTab();
    changed_ = false;
    txtInterByteDelay_->setFocus(); // the first box that can be edited
    setSizeGripEnabled(true);
    resize(600, 560);
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

bool frmPropEcu::edit(ZEPEcu& ecu, QWidget* parent) {
    frmPropEcu dialog(ecu, parent);
    return dialog.run();
}

void frmPropEcu::writeBack() {
    edit_.comment = ss(txtComment_->toPlainText());
    edit_.uploadWithCrc = chkUploadwCRC_->isChecked();
    edit_.writeTo(ecu_);
}

void frmPropEcu::accept() {
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
        current->layout()->addWidget(gridMapping_);
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
    for (const MemRange& range : ecu_.WriteMap(tuning))
        MapGrid::addRow(*gridMapping_, range, {}, colour);
    gridMapping_->setUpdatesEnabled(true);
}

void frmPropEcu::showErasingMap() {
    gridMapping_->setUpdatesEnabled(false);
    MapGrid::reset(*gridMapping_, headers(true));
    gridMapping_->setPalette(QPalette());
    const QString yes = qtr("common/yes/text", "yes");
    for (const MapRows::ErasingRow& row : MapRows::erasing(ecu_))
        MapGrid::addRow(*gridMapping_, row.range, {classText(row.erasing), row.excluded ? yes : QString()},
                        classColour(row.erasing));
    gridMapping_->setUpdatesEnabled(true);
}

} // namespace zep
