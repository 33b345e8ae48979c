#include "IconNameDelegate.h"

#include <QListView>
#include <QStyle>
#include <QTextLayout>

namespace zep {

namespace {

// Room for the focus frame on both sides of the text and the gap between two cells.
constexpr int CellMargin = 8;

constexpr QChar Ellipsis(0x2026), Breakable(0x200B);

/** the lines of text wrapped at width: at blanks, hyphens and underscores, inside a word only when it must */
QStringList wrapped(QString text, const QFont& font, int width) {
    text.replace(QChar('_'), QString(QChar('_')) + Breakable);
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength()).remove(Breakable).trimmed();
    }
    layout.endLayout();
    return lines;
}

} // namespace

IconNameDelegate::IconNameDelegate(QListView& view) : QStyledItemDelegate(&view), view_(view) {}

QSize IconNameDelegate::gridSize(const QFontMetrics& metrics, QSize iconSize) {
    const int width = std::max(iconSize.width() * 3, metrics.averageCharWidth() * 18) + CellMargin;
    return {width, iconSize.height() + Lines * metrics.lineSpacing() + 3 * CellMargin};
}

void IconNameDelegate::fitGrid() {
    view_.setGridSize(gridSize(view_.fontMetrics(), view_.iconSize()));
}

int IconNameDelegate::textWidth() const {
    const int frame = view_.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view_) + 1;
    return view_.gridSize().width() - CellMargin - 2 * frame;
}

QString IconNameDelegate::displayText(const QVariant& value, const QLocale&) const {
    const QString name = value.toString();
    const int width = textWidth();
    if (width != shownWidth_) {
        shown_.clear();
        shownWidth_ = width;
    }
    if (const auto it = shown_.constFind(name); it != shown_.constEnd())
        return *it;
    const QFont font = view_.font();
    QStringList lines = wrapped(name, font, width);
    if (lines.size() > Lines) {
        // Keep as much of both ends as the lines hold, the ending as much as the beginning.
        int kept = 0, tooMany = int(name.size());
        lines = wrapped(QString(Ellipsis), font, width);
        while (kept + 1 < tooMany) {
            const int keep = (kept + tooMany) / 2;
            const QStringList tried =
                wrapped(name.left(keep - keep / 2) + Ellipsis + name.right(keep / 2), font, width);
            if (tried.size() <= Lines) {
                kept = keep;
                lines = tried;
            } else {
                tooMany = keep;
            }
        }
    }
    return *shown_.insert(name, lines.join(QChar::LineSeparator));
}

void IconNameDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    // Names of one, two or three lines all start right under their icons.
    option->displayAlignment = Qt::AlignHCenter | Qt::AlignTop;
}

QSize IconNameDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return view_.gridSize() - QSize(CellMargin, CellMargin);
}

} // namespace zep
