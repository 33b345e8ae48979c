#pragma once

#include "commands/EcuPropertiesEdit.h"
#include "commands/MapRows.h"
#include "flash/ZEPEcu.h"

#include <QDialog>

#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class QTableWidget;

namespace zep {

/**
 * The ECU properties: delays, erase and repeat patterns, write granularity, maximum download size,
 * upload mode and comment of one ECU for editing, its identification type and supplier code for
 * reference, and three views of its memory map. The record changes only when the user confirms.
 */
class frmPropEcu : public QDialog {
    Q_OBJECT
public:
    /**
     * View: the memory map is shown only (a central or read-only database). EditMap: its ranges may
     * be added, removed and changed on the Mapping tab. New: a new ECU, whose name and identification
     * type are typed too.
     */
    enum class Mode { View, EditMap, New };

    /** fills the controls from ecu and localises them; shows nothing yet */
    explicit frmPropEcu(ZEPEcu& ecu, QWidget* parent = nullptr, Mode mode = Mode::View);

    /**
     * Shows the dialog modally and returns Changed: true when the user confirmed with OK, after the
     * edited values have been written into the record.
     */
    bool run();
    /** run() on a new dialog for ecu */
    static bool edit(ZEPEcu& ecu, QWidget* parent = nullptr, Mode mode = Mode::View);

    /** the map editor's rows (Mapping tab): adds one, or removes the selected one */
    void addRange();
    void removeRange();
    /** why the edited map cannot be stored; empty when it can */
    QString mapError() const;

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
    void createMapEditor();
    void addEditorRow(const MapRows::MapEntry& entry);
    /** reads the editor's rows: the maps shown follow them, or the error says why they cannot */
    void mapEdited();
    /** the boxes whose texts follow the rules */
    std::vector<std::pair<EcuPropertiesEdit::Box, QLineEdit*>> boxes() const;
    void showTexts();

    ZEPEcu& ecu_;
    EcuPropertiesEdit edit_;
    bool changed_ = false;
    Mode mode_;
    /** the record with the edited memory map, which the map tabs show */
    ZEPEcu mapEcu_;
    std::vector<MapRows::MapEntry> entries_;
    QString mapProblem_;

    QLineEdit* txtName_ = nullptr;
    QTableWidget* gridMapEdit_ = nullptr;
    QLabel* lblMapError_ = nullptr;
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
