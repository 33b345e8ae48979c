#pragma once

#include "commands/DataSet.h"

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;

namespace zep {

class Interaction;

/**
 * The test data set generator's dialog: shows the ECU, its erase byte and the largest size its write
 * map allows, and asks for the size and the byte value of a dummy application or tuning.
 */
class frmCreateTestDataSet : public QDialog {
    Q_OBJECT
public:
    /** stores the data set; a ZepError it raises is shown and keeps the dialog open */
    using CreateAction = std::function<void(const DataSet::Input&)>;

    /**
     * Fills the dialog for target. With a create action, Create runs it on the checked input, then
     * shows "Done!" and closes; without one, Create closes with the checked input in input().
     */
    frmCreateTestDataSet(DataSet::Target target, Interaction& ui, QWidget* parent = nullptr,
                         CreateAction create = {});

    const DataSet::Target& target() const { return target_; }
    /** the largest size: the bytes of the write map */
    std::uint64_t maxSize() const { return maxSize_; }
    /** the accepted input once Create has succeeded; nullopt before, and after Cancel */
    const std::optional<DataSet::Input>& input() const { return input_; }

    /** shows the dialog modally; the accepted input, or nullopt when cancelled */
    static std::optional<DataSet::Input> ask(const DataSet::Target& target, Interaction& ui,
                                             QWidget* parent = nullptr);

public slots:
    /** checks the size and the byte value, then creates; a refused field gets the focus back */
    void create();

private:
    DataSet::Target target_;
    Interaction& ui_;
    CreateAction create_;
    std::uint64_t maxSize_;
    std::optional<DataSet::Input> input_;

    QLineEdit* txtLength_;
    QLineEdit* txtByteValue_;
};

} // namespace zep
