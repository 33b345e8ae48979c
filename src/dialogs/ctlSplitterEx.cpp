#include "ctlSplitterEx.h"

#include <QMouseEvent>
#include <QPainter>

namespace zep {

namespace {

/** paints itself in the splitter's drag colour while the mouse button holds it */
class Bar : public QSplitterHandle {
public:
    Bar(Qt::Orientation orientation, ctlSplitterEx& splitter) : QSplitterHandle(orientation, &splitter) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        QSplitterHandle::mousePressEvent(event);
        if (event->button() == Qt::LeftButton)
            setDragging(true);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        QSplitterHandle::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton)
            setDragging(false);
    }
    void paintEvent(QPaintEvent* event) override {
        if (!dragging_) {
            QSplitterHandle::paintEvent(event);
            return;
        }
        QPainter(this).fillRect(rect(), static_cast<ctlSplitterEx*>(splitter())->BackColor());
    }

private:
    void setDragging(bool on) {
        dragging_ = on;
        update();
    }

    bool dragging_ = false;
};

} // namespace

ctlSplitterEx::ctlSplitterEx(Qt::Orientation orientation, QWidget* parent) : QSplitter(orientation, parent) {}

void ctlSplitterEx::setBackColor(const QColor& colour) {
    backColor_ = colour;
    for (int i = 0; i < count(); ++i)
        handle(i)->update();
}

QSplitterHandle* ctlSplitterEx::createHandle() {
    return new Bar(orientation(), *this);
}

} // namespace zep
