#include "MemoryMapStrip.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace zep {

MemoryMapStrip::MemoryMapStrip(const ZEPEcu& ecu, const MemImage& image, bool tuning, QWidget* parent)
    : QWidget(parent), ecu_(ecu), image_(image), tuning_(tuning) {
    setMinimumHeight(MemoryMapPicture::DefaultHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
}

QSize MemoryMapStrip::sizeHint() const {
    return {MemoryMapPicture::DefaultWidth / 2, MemoryMapPicture::DefaultHeight};
}

const MemoryMapPicture& MemoryMapStrip::picture() const {
    if (!picture_ || picture_->size() != QSizeF(size()))
        picture_.emplace(ecu_, image_, tuning_, QSizeF(size()));
    return *picture_;
}

void MemoryMapStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    picture().paint(painter);
}

bool MemoryMapStrip::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = picture().toolTipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
}

} // namespace zep
