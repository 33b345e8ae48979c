#pragma once

#include "commands/HexRows.h"
#include "memory/MemImage.h"
#include "memory/MemRange.h"

#include <QAbstractScrollArea>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace zep {

/**
 * A read-only hex view painted row by row: the address, then for each image its 16 bytes in
 * hexadecimal and as characters. Only covered rows are shown, a gap between them as one row. Nothing
 * is held per byte: a row is painted from the images when it comes into sight, so 16 MiB scroll as
 * smoothly as 16 bytes. Bytes of the highlighted ranges are painted on a coloured background.
 *
 * A click puts the cursor on a byte; shift-click, a drag or shift and the arrow keys select from there.
 */
class HexView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit HexView(QWidget* parent = nullptr);

    /** the images shown side by side, with a heading for each (none for a single image); kept by pointer */
    void setImages(std::vector<const MemImage*> images, const QStringList& headings = {});
    /** ranges in ascending order whose bytes stand out; kept by pointer */
    void setHighlighted(const std::vector<MemRange>* ranges);

    const HexRows& rows() const { return rows_; }
    std::uint64_t cursor() const { return cursor_; }
    /** first and last selected addresses (the cursor alone when nothing else is selected) */
    std::pair<std::uint64_t, std::uint64_t> selection() const;
    /** puts the cursor on address and scrolls its row into sight (at the top when it was out of sight) */
    void goTo(std::uint64_t address);
    /** selects count bytes from address and shows them */
    void select(std::uint64_t address, std::uint64_t count);
    /** the selected bytes of the first image as hexadecimal text */
    QString selectedHex() const;
    /** the index of the first row in sight */
    std::size_t firstVisibleRow() const;

signals:
    void cursorMoved(quint64 address);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updateScrollBars();
    int lineHeight() const;
    int headerHeight() const;
    /** x of the hex cell of byte column k in image column c, in characters */
    int hexColumn(int c, int k) const;
    int textColumn(int c, int k) const;
    int columnWidth() const;
    std::optional<std::uint64_t> addressAt(const QPoint& position) const;
    bool highlighted(std::uint64_t address) const;
    void moveCursor(std::uint64_t address, bool extend);

    std::vector<const MemImage*> images_;
    QStringList headings_;
    MemMap covered_;
    HexRows rows_;
    const std::vector<MemRange>* highlighted_ = nullptr;
    std::uint64_t cursor_ = 0;
    std::uint64_t anchor_ = 0;
    int charWidth_ = 8;
};

} // namespace zep
