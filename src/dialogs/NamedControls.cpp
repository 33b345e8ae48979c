#include "NamedControls.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zep {

QLineEdit* namedLineEdit(const char* name, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    return box;
}

QLabel* namedLabel(const char* name, const QString& caption, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

QWidget* addTabPage(QTabWidget& tabs, const char* key) {
    auto* page = new QWidget;
    page->setObjectName(key);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    tabs.addTab(page, QString::fromLatin1(key));
    return page;
}

void makeCommentBox(QPlainTextEdit& box) {
    box.setTabChangesFocus(true);
    box.setFixedHeight(box.fontMetrics().lineSpacing() * 3 +
                       2 * (box.frameWidth() + int(box.document()->documentMargin())));
}

OkCancel okCancelButtons(QWidget& parent) {
    auto* box = new QDialogButtonBox(&parent);
    auto* ok = box->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    auto* cancel = box->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName("CancelButton");
    return {box, ok, cancel};
}

} // namespace zep
