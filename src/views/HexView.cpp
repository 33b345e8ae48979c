#include "HexView.h"

#include "QtText.h"
#include "memory/Hex.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace zep {

namespace {
constexpr int AddressChars = 10; // 8 digits and 2 blanks
constexpr int HexChars = HexRows::Width * 3 + 1;
constexpr int ColumnChars = HexChars + 1 + HexRows::Width + 3;

const QColor differenceColour(255, 196, 196);
const QColor differenceText(150, 0, 0);
const QColor gapColour(240, 240, 240);
} // namespace

HexView::HexView(QWidget* parent) : QAbstractScrollArea(parent) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    setFont(font);
    viewport()->setFont(font);
    charWidth_ = std::max(1, QFontMetrics(font).horizontalAdvance(QLatin1Char('0')));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setSingleStep(1);
}

void HexView::setImages(std::vector<const MemImage*> images, const QStringList& headings) {
    images_ = std::move(images);
    headings_ = headings;
    covered_.clear();
    for (const MemImage* image : images_)
        for (const MemRange& r : image->map())
            covered_.add(r);
    rows_ = HexRows(covered_);
    cursor_ = anchor_ = covered_.empty() ? 0 : covered_.merged().item(1).address;
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void HexView::setHighlighted(const std::vector<MemRange>* ranges) {
    highlighted_ = ranges;
    viewport()->update();
}

int HexView::lineHeight() const {
    return QFontMetrics(font()).height() + 2;
}

int HexView::headerHeight() const {
    return headings_.isEmpty() ? 0 : lineHeight() + 2;
}

int HexView::columnWidth() const {
    return ColumnChars;
}

int HexView::hexColumn(int c, int k) const {
    return AddressChars + c * ColumnChars + k * 3 + (k >= HexRows::Width / 2 ? 1 : 0);
}

int HexView::textColumn(int c, int k) const {
    return AddressChars + c * ColumnChars + HexChars + 1 + k;
}

std::size_t HexView::firstVisibleRow() const {
    return static_cast<std::size_t>(verticalScrollBar()->value());
}

void HexView::updateScrollBars() {
    const int visible = std::max(1, (viewport()->height() - headerHeight()) / lineHeight());
    const auto count = static_cast<int>(std::min<std::size_t>(rows_.count(), INT32_MAX));
    verticalScrollBar()->setRange(0, std::max(0, count - visible));
    verticalScrollBar()->setPageStep(visible);
    const int width =
        (AddressChars + int(std::max<std::size_t>(images_.size(), 1)) * ColumnChars) * charWidth_;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void HexView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

bool HexView::highlighted(std::uint64_t address) const {
    if (!highlighted_ || highlighted_->empty())
        return false;
    auto it = std::upper_bound(highlighted_->begin(), highlighted_->end(), address,
                               [](std::uint64_t a, const MemRange& r) { return a < r.address; });
    return it != highlighted_->begin() && address < std::prev(it)->end();
}

std::pair<std::uint64_t, std::uint64_t> HexView::selection() const {
    return {std::min(anchor_, cursor_), std::max(anchor_, cursor_)};
}

void HexView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const QPalette& pal = palette();
    p.fillRect(viewport()->rect(), pal.base());
    const int lh = lineHeight(), cw = charWidth_, ascent = QFontMetrics(font()).ascent() + 1;
    const int x0 = -horizontalScrollBar()->value();
    const auto [selFirst, selLast] = selection();
    const bool hasSelection = selFirst != selLast;

    const int top = headerHeight();
    const std::size_t first = firstVisibleRow();
    const std::size_t visible = static_cast<std::size_t>((viewport()->height() - top) / lh + 1);
    for (std::size_t i = first; i < rows_.count() && i < first + visible; ++i) {
        const int y = top + int(i - first) * lh;
        const HexRows::Row row = rows_.row(i);
        if (row.gap) {
            p.fillRect(0, y, viewport()->width(), lh, gapColour);
            QFont italic = font();
            italic.setItalic(true);
            p.setFont(italic);
            p.setPen(pal.color(QPalette::Disabled, QPalette::Text));
            p.drawText(x0 + AddressChars * cw, y + ascent,
                       qtr("frmHexView/Messages/gap/text", "... {0} bytes not covered ...", row.gapBytes));
            p.setFont(font());
            continue;
        }
        p.setPen(pal.color(QPalette::Disabled, QPalette::Text));
        p.drawText(x0, y + ascent, qs(hex::withWidth(row.address, 8)));
        for (int c = 0; c < int(images_.size()); ++c) {
            for (int k = 0; k < HexRows::Width; ++k) {
                const std::uint64_t a = row.address + std::uint64_t(k);
                const auto b = HexBytes::at(*images_[std::size_t(c)], a);
                if (!b)
                    continue;
                const QRect hexCell(x0 + hexColumn(c, k) * cw, y, 2 * cw, lh);
                const QRect textCell(x0 + textColumn(c, k) * cw, y, cw, lh);
                const bool selected = hasSelection && a >= selFirst && a <= selLast;
                const bool differs = highlighted(a);
                if (selected || differs) {
                    const QColor back = selected ? pal.color(QPalette::Highlight) : differenceColour;
                    p.fillRect(hexCell.adjusted(0, 0, k == HexRows::Width - 1 ? 0 : cw, 0), back);
                    p.fillRect(textCell, back);
                }
                p.setPen(selected  ? pal.color(QPalette::HighlightedText)
                         : differs ? differenceText
                                   : pal.color(QPalette::Text));
                std::string digits;
                hex::appendByte(digits, *b);
                p.drawText(hexCell.x(), y + ascent, qs(digits));
                const QChar ch = (*b >= 0x20 && *b < 0x7F) ? QChar(*b) : QChar('.');
                p.drawText(textCell.x(), y + ascent, QString(ch));
                if (a == cursor_) {
                    p.setPen(pal.color(QPalette::Highlight));
                    p.drawRect(hexCell.adjusted(-1, 0, 0, -1));
                    p.drawRect(textCell.adjusted(0, 0, 0, -1));
                }
            }
        }
    }
    if (top > 0) {
        p.fillRect(0, 0, viewport()->width(), top, pal.window());
        p.setPen(pal.color(QPalette::WindowText));
        QFont bold = font();
        bold.setBold(true);
        p.setFont(bold);
        for (int c = 0; c < headings_.size(); ++c)
            p.drawText(x0 + hexColumn(c, 0) * cw, ascent, headings_[c]);
        p.setPen(pal.color(QPalette::Mid));
        p.drawLine(0, top - 1, viewport()->width(), top - 1);
    }
}

std::optional<std::uint64_t> HexView::addressAt(const QPoint& position) const {
    if (position.y() < headerHeight())
        return std::nullopt;
    const std::size_t i = firstVisibleRow() + std::size_t((position.y() - headerHeight()) / lineHeight());
    if (i >= rows_.count())
        return std::nullopt;
    const HexRows::Row row = rows_.row(i);
    if (row.gap)
        return std::nullopt;
    const int x = (position.x() + horizontalScrollBar()->value()) / charWidth_;
    for (int c = 0; c < std::max(1, int(images_.size())); ++c)
        for (int k = 0; k < HexRows::Width; ++k)
            if ((x >= hexColumn(c, k) && x < hexColumn(c, k) + 3) || x == textColumn(c, k))
                return row.address + std::uint64_t(k);
    return std::nullopt;
}

void HexView::moveCursor(std::uint64_t address, bool extend) {
    cursor_ = address;
    if (!extend)
        anchor_ = address;
    const std::size_t row = rows_.rowOf(address);
    const std::size_t first = firstVisibleRow();
    const auto visible = static_cast<std::size_t>(verticalScrollBar()->pageStep());
    if (row < first)
        verticalScrollBar()->setValue(int(row));
    else if (row >= first + visible)
        verticalScrollBar()->setValue(int(row + 1 - visible));
    viewport()->update();
    emit cursorMoved(cursor_);
}

void HexView::goTo(std::uint64_t address) {
    const std::size_t row = rows_.rowOf(address);
    const std::size_t first = firstVisibleRow();
    const auto page = static_cast<std::size_t>(verticalScrollBar()->pageStep());
    // a jump shows the row a third down the page, with the rows before it for context
    if (row < first || row >= first + page)
        verticalScrollBar()->setValue(int(row - std::min(row, page / 3)));
    moveCursor(address, false);
}

void HexView::select(std::uint64_t address, std::uint64_t count) {
    goTo(address);
    if (count > 1)
        moveCursor(address + count - 1, true);
}

QString HexView::selectedHex() const {
    if (images_.empty())
        return {};
    const auto [first, last] = selection();
    return qs(HexBytes::text(*images_.front(), first, last));
}

void HexView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(event);
    if (const auto a = addressAt(event->position().toPoint()))
        moveCursor(*a, event->modifiers() & Qt::ShiftModifier);
}

void HexView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton)
        if (const auto a = addressAt(event->position().toPoint()))
            moveCursor(*a, true);
}

void HexView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(selectedHex());
        return;
    }
    if (rows_.count() == 0)
        return QAbstractScrollArea::keyPressEvent(event);
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    // a move by rows keeps the column and steps over gap rows
    const auto byRows = [&](long long n) {
        long long row = static_cast<long long>(rows_.rowOf(cursor_)) + n;
        row = std::clamp<long long>(row, 0, static_cast<long long>(rows_.count()) - 1);
        HexRows::Row r = rows_.row(std::size_t(row));
        if (r.gap)
            r = rows_.row(std::size_t(n > 0 ? row + 1 : row - 1));
        moveCursor(r.address + cursor_ % HexRows::Width, extend);
    };
    const long long page = verticalScrollBar()->pageStep();
    switch (event->key()) {
    case Qt::Key_Left:
        return moveCursor(cursor_ ? cursor_ - 1 : 0, extend);
    case Qt::Key_Right:
        return moveCursor(std::min<std::uint64_t>(cursor_ + 1, UINT32_MAX), extend);
    case Qt::Key_Up:
        return byRows(-1);
    case Qt::Key_Down:
        return byRows(1);
    case Qt::Key_PageUp:
        return byRows(-page);
    case Qt::Key_PageDown:
        return byRows(page);
    case Qt::Key_Home:
        return moveCursor(covered_.merged().item(1).address, extend);
    case Qt::Key_End: {
        const MemMap all = covered_.merged();
        return moveCursor(all.item(all.count()).last(), extend);
    }
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

} // namespace zep
