#pragma once

#include "memory/Checksums.h"
#include "memory/MemMap.h"

#include <vector>

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class QTableWidget;

namespace zep {

class EcuApplication;
class Interaction;

/**
 * The properties of an application or a tuning: its approval number and comment for editing, and its
 * image against the write map of its ECU: the ranges it covers, the write ranges it misses and the
 * bytes it has outside them. Messages and the question on Cancel go through the given Interaction.
 */
class frmPropAppli : public QDialog {
    Q_OBJECT
public:
    /**
     * Fills the controls: caption as window title, the image's Homologation and the comment; the
     * write map is that of the image's Ecu for a tuning or a global download, by EstCalibration.
     * Nothing is written back before run() returns.
     */
    frmPropAppli(const QString& caption, QString& comment, EcuApplication& image, Interaction& ui,
                 QWidget* parent = nullptr);

    /**
     * Shows the dialog modally and returns Changed. When true, the image's Homologation and the
     * comment have been replaced by the edited texts.
     */
    bool run();
    /** run() on a new dialog */
    static bool edit(const QString& caption, QString& comment, EcuApplication& image, Interaction& ui,
                     QWidget* parent = nullptr);

    /** Changed: true after OK with edited text boxes, or Yes to the question on Cancel */
    bool changed() const { return changed_; }

    static constexpr int MinimumWidth = 481;
    // the memory-map strip and the checksums line below the grid
    static constexpr int MinimumHeight = 411 + 180;

public slots:
    /** OK: Changed is whether a text box was edited; an edited approval number must pass its check */
    void accept() override;
    /** Cancel: asks whether to save edits, if any; Cancel to that question keeps the dialog open */
    void cancel();
    /** closing the window: never saves */
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool edited() const;
    /** the approval number check; on failure the message is shown and the focus goes back into the box */
    bool checkApproval();
    void showTab();
    void approvalLeft();

    QString& comment_;
    EcuApplication& image_;
    Interaction& ui_;
    bool changed_ = false;
    bool busy_ = false;
    MemMap writeMap_;
    MemMap imageMap_;
    std::vector<RangeChecksums> rangeChecksums_;

    QLabel* lblApprovalNumber_;
    QLineEdit* txtApprovalNumber_;
    QLabel* lblComment_;
    QPlainTextEdit* txtComment_;
    QTabWidget* tsMapping_;
    QTableWidget* gridMapping_;
    QLineEdit* total_;
    QLineEdit* txtChecksums_;
};

} // namespace zep
