#include "frmText.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QVBoxLayout>

namespace zep {

frmText::frmText(QWidget* parent) : QDialog(parent), txtResult_(new QPlainTextEdit(this)) {
    setObjectName("frmText");
    txtResult_->setObjectName("txtResult");
    txtResult_->setReadOnly(true);
    txtResult_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Reports align their values in columns.
    txtResult_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtResult_->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(txtResult_);
    setSizeGripEnabled(true);
    resize(640, 480);
}

void frmText::setText(const QString& text) {
    txtResult_->setPlainText(text);
}

QString frmText::text() const {
    return txtResult_->toPlainText();
}

bool frmText::eventFilter(QObject* watched, QEvent* event) {
    // Only Ctrl+A selects all; the box's own shortcut would also take Ctrl+Shift+A.
    if (watched == txtResult_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_A && key->modifiers() != Qt::NoModifier) {
            if (key->modifiers() == Qt::ControlModifier)
                txtResult_->selectAll();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace zep
