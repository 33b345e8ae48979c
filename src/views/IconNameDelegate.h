#pragma once

#include <QHash>
#include <QStyledItemDelegate>

class QListView;

namespace zep {

/**
 * Names under the large icons: wrapped on up to three lines within the grid, and cut in the middle
 * when they are longer, so that their endings (which tell tunings apart) stay visible.
 */
class IconNameDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int Lines = 3;

    explicit IconNameDelegate(QListView& view);

    /** the grid that holds an icon of iconSize and three lines of names in the view's font */
    static QSize gridSize(const QFontMetrics& metrics, QSize iconSize);
    /** sizes the view's grid anew from its font */
    void fitGrid();

    /** the name as shown: its lines joined by line separators, which the drawing keeps */
    QString displayText(const QVariant& value, const QLocale& locale) const override;
    /** every item takes its whole cell, whatever the length of its name */
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    int textWidth() const;

    QListView& view_;
    mutable QHash<QString, QString> shown_;
    mutable int shownWidth_ = 0;
};

} // namespace zep
