#include "frmPropAppli.h"

#include "MapGrid.h"
#include "MemoryMapStrip.h"
#include "NamedControls.h"

#include "commands/ApprovalCheck.h"
#include "commands/MapRows.h"
#include "flash/ChecksumText.h"
#include "flash/EcuApplication.h"
#include "text/Interaction.h"
#include "views/ControlTexts.h"
#include "views/QtText.h"

#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace zep {

frmPropAppli::frmPropAppli(const QString& caption, QString& comment, EcuApplication& image, Interaction& ui,
                           QWidget* parent)
    : QDialog(parent), comment_(comment), image_(image), ui_(ui),
      writeMap_(image.Ecu().WriteMap(image.EstCalibration())), imageMap_(image.value().map()),
      rangeChecksums_(rangeChecksumsOf(image.value())),
      lblApprovalNumber_(new QLabel(QStringLiteral("Approval number"), this)),
      txtApprovalNumber_(new QLineEdit(this)), lblComment_(new QLabel(QStringLiteral("Comment"), this)),
      txtComment_(new QPlainTextEdit(this)), tsMapping_(new QTabWidget(this)),
      gridMapping_(new QTableWidget(this)), total_(new QLineEdit(this)), txtChecksums_(new QLineEdit(this)) {
    setObjectName("frmPropAppli");
    lblApprovalNumber_->setObjectName("lblApprovalNumber");
    txtApprovalNumber_->setObjectName("txtApprovalNumber");
    lblComment_->setObjectName("lblComment");
    txtComment_->setObjectName("txtComment");
    tsMapping_->setObjectName("tsMapping");
    gridMapping_->setObjectName("gridMapping");
    total_->setObjectName("Total");
    txtChecksums_->setObjectName("txtChecksums");

    lblApprovalNumber_->setBuddy(txtApprovalNumber_);
    lblComment_->setBuddy(txtComment_);
    txtApprovalNumber_->installEventFilter(this);
    txtApprovalNumber_->setMinimumWidth(
        txtApprovalNumber_->fontMetrics().horizontalAdvance(QString(16, '0')));
    makeCommentBox(*txtComment_);
    total_->setReadOnly(true);
    txtChecksums_->setReadOnly(true);
    txtChecksums_->setText(qs(checksumsText(checksumsOf(image.value()))));
    gridMapping_->setToolTip(
        qtr("frmPropAppli/Controls/gridMapping/toolTip", "Description of ECU addresses ranges."));

    for (const char* key : {"Mapping", "Missing", "Exceed"})
        addTabPage(*tsMapping_, key);
    tsMapping_->widget(0)->layout()->addWidget(gridMapping_);

    const OkCancel buttons = okCancelButtons(*this);
    connect(buttons.ok, &QPushButton::clicked, this, &frmPropAppli::accept);
    connect(buttons.cancel, &QPushButton::clicked, this, &frmPropAppli::cancel);

    auto* approval = new QHBoxLayout;
    approval->setSpacing(4);
    approval->addWidget(lblApprovalNumber_);
    approval->addWidget(txtApprovalNumber_);
    approval->addStretch();
    auto* grid = new QGridLayout(this);
    grid->addLayout(approval, 0, 0, 1, 2);
    grid->addWidget(lblComment_, 1, 0, Qt::AlignTop);
    grid->addWidget(txtComment_, 1, 1);
    grid->addWidget(tsMapping_, 2, 0, 1, 2);
    grid->addWidget(total_, 3, 0, 1, 2);
    grid->addWidget(txtChecksums_, 4, 0, 1, 2);
    auto* picMemoryMap = new MemoryMapStrip(image.Ecu(), image.value(), image.EstCalibration(), this);
    picMemoryMap->setObjectName("picMemoryMap");
    grid->addWidget(picMemoryMap, 5, 0, 1, 2);
    grid->addWidget(buttons.box, 6, 0, 1, 2);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(1, 1);

    connect(tsMapping_, &QTabWidget::currentChanged, this, &frmPropAppli::showTab);

    applyControlTexts(*this, "frmPropAppli/Controls");
    setWindowTitle(caption);
    txtApprovalNumber_->setText(qs(image_.Homologation));
    txtApprovalNumber_->setModified(false);
    txtComment_->setPlainText(comment_);
    txtComment_->document()->setModified(false);
    showTab();
    setMinimumSize(MinimumWidth, MinimumHeight);
    setSizeGripEnabled(true);
}

bool frmPropAppli::run() {
    exec();
    if (changed_) {
        image_.Homologation = ss(txtApprovalNumber_->text());
        comment_ = txtComment_->toPlainText();
    }
    return changed_;
}

bool frmPropAppli::edit(const QString& caption, QString& comment, EcuApplication& image, Interaction& ui,
                        QWidget* parent) {
    frmPropAppli dialog(caption, comment, image, ui, parent);
    return dialog.run();
}

bool frmPropAppli::edited() const {
    return txtApprovalNumber_->isModified() || txtComment_->document()->isModified();
}

void frmPropAppli::showTab() {
    QWidget* current = tsMapping_->currentWidget();
    if (current == nullptr)
        return;
    if (gridMapping_->parentWidget() != current)
        current->layout()->addWidget(gridMapping_);
    const std::string tab = ss(current->objectName());
    const MemMap ranges = MapRows::coverage(tab, imageMap_, writeMap_);
    // the image's own ranges carry their checksums; the other tabs list bytes the image lacks or should not
    // have
    const bool withChecksums = tab == "Mapping";
    QStringList headers{qtr("frmPropAppli/Controls/gridMapping/columnNames/Start/text", "Start"),
                        qtr("frmPropAppli/Controls/gridMapping/columnNames/End/text", "End"),
                        qtr("frmPropAppli/Controls/gridMapping/columnNames/Length/text", "Length"),
                        qtr("frmPropAppli/Controls/gridMapping/columnNames/Size/text", "Size (KB)")};
    if (withChecksums)
        headers << qtr("frmPropAppli/Controls/gridMapping/columnNames/KwpCrc/text", "KWP CRC")
                << qtr("frmPropAppli/Controls/gridMapping/columnNames/Crc32/text", "CRC-32")
                << qtr("frmPropAppli/Controls/gridMapping/columnNames/Sum/text", "Byte sum");
    gridMapping_->setUpdatesEnabled(false);
    MapGrid::reset(*gridMapping_, headers);
    for (std::size_t i = 0; i < ranges.count(); ++i) {
        QStringList further;
        if (withChecksums && i < rangeChecksums_.size())
            for (const std::string& cell : checksumCells(rangeChecksums_[i].checksums))
                further << qs(cell);
        MapGrid::addRow(*gridMapping_, ranges.ranges()[i], further);
    }
    if (ranges.empty())
        MapGrid::addEmptyRow(*gridMapping_);
    total_->setText(qs(MapRows::total(ranges)));
    gridMapping_->setUpdatesEnabled(true);
}

bool frmPropAppli::checkApproval() {
    if (ApprovalCheck::passes(ss(txtApprovalNumber_->text())))
        return true;
    busy_ = true;
    ui_.warn(ApprovalCheck::refusal());
    busy_ = false;
    txtApprovalNumber_->setFocus(Qt::OtherFocusReason);
    txtApprovalNumber_->selectAll();
    return false;
}

void frmPropAppli::approvalLeft() {
    // Not while a message or question is up, nor after the dialog closed or the focus came back.
    if (busy_ || !isVisible() || txtApprovalNumber_->hasFocus())
        return;
    checkApproval();
}

bool frmPropAppli::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtApprovalNumber_) {
        if (event->type() == QEvent::FocusIn) {
            // after the click that gave the focus has placed the cursor
            QTimer::singleShot(0, txtApprovalNumber_, &QLineEdit::selectAll);
        } else if (event->type() == QEvent::FocusOut) {
            // Only when the focus moves inside the window: a message box taking it must not check again.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                QTimer::singleShot(0, this, &frmPropAppli::approvalLeft);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmPropAppli::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cancel();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmPropAppli::accept() {
    if (txtApprovalNumber_->isModified() && !checkApproval())
        return;
    changed_ = edited();
    QDialog::accept();
}

void frmPropAppli::cancel() {
    if (!edited()) {
        reject();
        return;
    }
    busy_ = true; // a box left for the Cancel button is not checked over the question
    const Answer answer = ui_.ask(
        zep::tr("frmPropAppli/Messages/warnBeforeQuit/text", "Save modifications before closing window ?"),
        Buttons::YesNoCancel, Answer::Yes);
    busy_ = false;
    if (answer == Answer::Cancel)
        return;
    if (answer == Answer::No) {
        reject();
        return;
    }
    if (txtApprovalNumber_->isModified() && !checkApproval())
        return;
    changed_ = true;
    QDialog::accept();
}

void frmPropAppli::reject() {
    changed_ = false;
    QDialog::reject();
}

} // namespace zep
