#pragma once

#include "navigation/ItemSearch.h"

#include <QToolBar>

#include <map>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QTimer;

namespace zep {

class frmDatabase;

/**
 * The find bar tbFind of the main window (the "Find" button, Ctrl+F): one query box that finds
 * items of every kind as the user types, or bytes and texts in the images on Enter, with filters by
 * kind, checked state and the selected function. The items found fill the list with their path; a
 * double-click or Enter on one goes to it in the tree.
 */
class FindBar : public QToolBar {
    Q_OBJECT
public:
    explicit FindBar(frmDatabase& window);

    /** shows the bar with its texts in the current language and puts the cursor in the query box */
    void open();
    /** searches now with what the bar holds */
    void search();
    /** goes to an item found: lists the level where it is, selects it there and its node in the tree */
    void goTo(const std::string& key);

    QLineEdit& queryBox() { return *txtFind_; }

private:
    void retranslate();
    void typed();
    /** the search by bytes or text in the images, with a progress window that can cancel it */
    SearchResult searchBytes(const SearchQuery& items);

    frmDatabase& window_;
    QLineEdit* txtFind_;
    QComboBox* cbFindIn_;
    QLineEdit* txtFindAt_;
    QComboBox* cbFindKind_;
    QComboBox* cbFindChecked_;
    QCheckBox* chkFindFunction_;
    QTimer* typing_;
    /** the tree nodes above each item found */
    std::map<std::string, std::vector<std::string>> paths_;
};

} // namespace zep
