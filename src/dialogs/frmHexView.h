#pragma once

#include "memory/MemImage.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zep {

class HexView;

/**
 * The bytes of an application or a tuning: the hex view with go to address, find (hexadecimal bytes,
 * or text with "Text" checked) and copy as hex, and a line with the image's size and checksums.
 * Failures to parse or find are said in the status line, without a message box to click away.
 */
class frmHexView : public QDialog {
    Q_OBJECT
public:
    frmHexView(const QString& caption, MemImage image, QWidget* parent = nullptr);

    HexView& view() { return *hexBytes_; }
    QString status() const;

public slots:
    void goToTyped();
    /** the next match after the cursor; true when found */
    bool findNext();
    void copyHex();

private:
    void showCursor();

    MemImage image_;
    HexView* hexBytes_;
    QLineEdit* txtGoTo_;
    QLineEdit* txtFind_;
    QCheckBox* chkFindText_;
    QPushButton* cmdFindNext_;
    QPushButton* cmdCopy_;
    QLabel* lblInfo_;
    QLabel* lblStatus_;
};

} // namespace zep
