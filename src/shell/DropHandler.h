#pragma once

#include <QPointer>

#include <string>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QMimeData;

namespace zep {

class frmDatabase;

/**
 * Drag and drop onto a main window: list items of another window are copied, update an ECU or are
 * compared; one file dropped on the tree or the list is imported as XML.
 */
class DropHandler {
public:
    explicit DropHandler(frmDatabase& window);

    /** the drag's source window, the dragged key and its level (1 root .. 5 tuning), checked on entry */
    struct Drag {
        QPointer<frmDatabase> source;
        std::string key;
        int level = 0;
        bool refused = true;
    };
    const Drag& drag() const { return drag_; }

    /** the single local file the data carries, or empty */
    static QString singleFile(const QMimeData& data);

    /**
     * The checks on entry: a drag of the item key selected in source's list. False (and nothing kept)
     * when this window refuses it.
     */
    bool begin(frmDatabase* source);
    /** the window a drag comes from: the event's source, else the window the dragged text names */
    static frmDatabase* sourceOf(const QDropEvent& event);

    void enter(QDragEnterEvent& event);
    void move(QDragMoveEvent& event);
    void leave();
    void drop(QDropEvent& event);

    /** the drop itself, once the target item (empty for the empty part of the list) is known */
    void dropOn(const std::string& targetKey);

private:
    frmDatabase& window_;
    Drag drag_;
};

} // namespace zep
