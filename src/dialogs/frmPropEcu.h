#pragma once

#include "commands/EcuPropertiesEdit.h"

#include <QDialog>

#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class QTableWidget;

namespace zep {

class ZEPEcu;

/**
 * The ECU properties: delays, erase and repeat patterns, write granularity, maximum download size,
 * upload mode and comment of one ECU for editing, its identification type and supplier code for
 * reference, and three views of its memory map. The record changes only when the user confirms.
 */
class frmPropEcu : public QDialog {
    Q_OBJECT
public:
    /** fills the controls from ecu and localises them; shows nothing yet */
    explicit frmPropEcu(ZEPEcu& ecu, QWidget* parent = nullptr);

    /**
     * Shows the dialog modally and returns Changed: true when the user confirmed with OK, after the
     * edited values have been written into the record.
     */
    bool run();
    /** run() on a new dialog for ecu */
    static bool edit(ZEPEcu& ecu, QWidget* parent = nullptr);

    /** Changed: true after OK (or a click on the upload check box while the dialog is open) */
    bool changed() const { return changed_; }

public slots:
    void accept() override;
    /** Cancel and every other way of closing: Changed is false */
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fill();
    void fillIdentificationTypes();
    void showMapTab();
    void showWriteMap(bool tuning);
    void showErasingMap();
    void writeBack();
    /** the boxes whose texts follow the rules */
    std::vector<std::pair<EcuPropertiesEdit::Box, QLineEdit*>> boxes() const;
    void showTexts();

    ZEPEcu& ecu_;
    EcuPropertiesEdit edit_;
    bool changed_ = false;

    QComboBox* cbIdentificationType_;
    QLineEdit* txtSupplierCode_;
    QLineEdit* txtInterByteDelay_;
    QLineEdit* txtReplyToRequestDelay_;
    QPlainTextEdit* txtComment_;
    QLineEdit* txtWriteGranularity_;
    QLineEdit* txtFillPattern_;
    QLineEdit* txtMaxDownload_;
    QLineEdit* txtRepeatPattern_;
    QCheckBox* chkUploadwCRC_;
    QTabWidget* tsMapping_;
    QTableWidget* gridMapping_;
};

} // namespace zep
