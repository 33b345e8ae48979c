#pragma once

#include <QColor>
#include <QSplitter>

namespace zep {

/**
 * The bar between two panes (the tree and the list of the main window): it takes the drag colour
 * BackColor, grey unless told otherwise, from the press on the bar to the release, and its own
 * colours otherwise.
 */
class ctlSplitterEx : public QSplitter {
    Q_OBJECT
public:
    explicit ctlSplitterEx(Qt::Orientation orientation, QWidget* parent = nullptr);

    QColor BackColor() const { return backColor_; }
    void setBackColor(const QColor& colour);

protected:
    QSplitterHandle* createHandle() override;

private:
    QColor backColor_{0x80, 0x80, 0x80};
};

} // namespace zep
