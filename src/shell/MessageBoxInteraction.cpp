#include "MessageBoxInteraction.h"

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>

namespace zep {

QString applicationTitle() {
    return QStringLiteral("ZEPViewer");
}

MessageBoxInteraction::MessageBoxInteraction(QWidget* parent) : parent_(parent) {}

MessageBoxInteraction::~MessageBoxInteraction() {
    endProgress();
}

void MessageBoxInteraction::inform(const std::string& text) {
    QMessageBox::information(parent_, applicationTitle(), QString::fromStdString(text));
}

void MessageBoxInteraction::warn(const std::string& text) {
    QMessageBox::warning(parent_, applicationTitle(), QString::fromStdString(text));
}

void MessageBoxInteraction::critical(const std::string& text) {
    QMessageBox::critical(parent_, applicationTitle(), QString::fromStdString(text));
}

Answer MessageBoxInteraction::ask(const std::string& text, Buttons buttons, Answer defaultAnswer) {
    QMessageBox::StandardButtons shown;
    switch (buttons) {
    case Buttons::OkCancel:
        shown = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case Buttons::YesNo:
        shown = QMessageBox::Yes | QMessageBox::No;
        break;
    case Buttons::YesNoCancel:
        shown = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    }
    const auto toButton = [](Answer a) {
        switch (a) {
        case Answer::Ok:
            return QMessageBox::Ok;
        case Answer::Cancel:
            return QMessageBox::Cancel;
        case Answer::Yes:
            return QMessageBox::Yes;
        case Answer::No:
            return QMessageBox::No;
        }
        return QMessageBox::NoButton;
    };
    const auto chosen = QMessageBox::question(parent_, applicationTitle(), QString::fromStdString(text),
                                              shown, toButton(defaultAnswer));
    switch (chosen) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        // Escape on a box without Cancel: the safe choice.
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

void MessageBoxInteraction::progress(std::string_view what, std::uint64_t done, std::uint64_t total) {
    if (!running_) {
        running_ = true;
        sinceStart_.start();
        sinceRepaint_.start();
    }
    if (done >= total) {
        endProgress();
        return;
    }
    // Half a second in, the user sees how far it is.
    if (!progress_ && sinceStart_.elapsed() >= 500) {
        progress_ = new QProgressDialog(parent_);
        progress_->setWindowTitle(applicationTitle());
        progress_->setCancelButton(nullptr);
        progress_->setWindowModality(Qt::WindowModal);
        progress_->setMinimumDuration(0);
        progress_->setRange(0, 1000);
    }
    if (progress_ && sinceRepaint_.elapsed() >= 40) {
        progress_->setLabelText(QString::fromUtf8(what.data(), qsizetype(what.size())));
        progress_->setValue(total ? int(done * 1000 / total) : 0);
    }
    if (sinceRepaint_.elapsed() >= 40) {
        sinceRepaint_.restart();
        // Keep the windows painted; input stays blocked by the modal progress dialog.
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

void MessageBoxInteraction::endProgress() {
    running_ = false;
    delete progress_;
    progress_ = nullptr;
}

} // namespace zep
