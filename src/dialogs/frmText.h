#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace zep {

/** A resizable window with one read-only text box for a report; Ctrl+A selects the whole text. */
class frmText : public QDialog {
    Q_OBJECT
public:
    explicit frmText(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const;
    QPlainTextEdit& textBox() { return *txtResult_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* txtResult_;
};

} // namespace zep
