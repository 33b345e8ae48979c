#pragma once

#include <QString>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QWidget;

namespace zep {

// The dialogs' controls carry their control names, so that the language file finds them.

QLineEdit* namedLineEdit(const char* name, QWidget* parent);
QLabel* namedLabel(const char* name, const QString& caption, QWidget* buddy, QWidget* parent);

/** adds a tab whose page is named key (the tab's key for the language file), with an empty layout */
QWidget* addTabPage(QTabWidget& tabs, const char* key);

/** a comment box that shows three lines and moves on with Tab */
void makeCommentBox(QPlainTextEdit& box);

/** OK (the default button) and Cancel, named OKButton and CancelButton */
struct OkCancel {
    QDialogButtonBox* box;
    QPushButton* ok;
    QPushButton* cancel;
};
OkCancel okCancelButtons(QWidget& parent);

} // namespace zep
