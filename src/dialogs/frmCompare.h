#pragma once

#include "commands/Compare.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;

namespace zep {

class HexView;
class Interaction;

/**
 * A comparison seen side by side: the target's bytes and the source's in one hex view, the differing
 * bytes highlighted, buttons to the next and previous difference, and a summary line. The listing of
 * the comparison stays available as text: shown, or saved to a file as it is.
 */
class frmCompare : public QDialog {
    Q_OBJECT
public:
    /** result holds both records; detail is Compare::Details of them */
    frmCompare(const CompareResult& result, CompareDetail detail, Interaction& ui, QWidget* parent = nullptr);

    HexView& view() { return *hexBytes_; }
    QString summary() const;
    /** asks where to save the listing; tests replace it */
    std::function<QString()> askPath;

public slots:
    /** the cursor to the first difference after it (before it); false when there is none */
    bool nextDifference();
    bool previousDifference();
    void showText();
    /** false when nothing was written (no path chosen, or the file could not be written: then said) */
    bool saveText();

private:
    CompareResult result_;
    CompareDetail detail_;
    Interaction& ui_;
    HexView* hexBytes_;
    QLabel* lblSummary_;
    QPushButton* cmdPrevious_;
    QPushButton* cmdNext_;
    QPushButton* cmdShowText_;
    QPushButton* cmdSaveText_;
};

} // namespace zep
