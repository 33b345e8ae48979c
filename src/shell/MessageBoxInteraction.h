#pragma once

#include "text/Interaction.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QProgressDialog;
class QWidget;

namespace zep {

/** the title of the program's message boxes */
QString applicationTitle();

/**
 * Messages and questions as message boxes over a window. Long work shows a progress dialog once it
 * has run half a second, and lets the window repaint while it runs.
 */
class MessageBoxInteraction : public Interaction {
public:
    explicit MessageBoxInteraction(QWidget* parent);
    ~MessageBoxInteraction() override;

    void inform(const std::string& text) override;
    void warn(const std::string& text) override;
    void critical(const std::string& text) override;
    Answer ask(const std::string& text, Buttons buttons, Answer defaultAnswer) override;
    void progress(std::string_view what, std::uint64_t done, std::uint64_t total) override;

private:
    void endProgress();

    QPointer<QWidget> parent_;
    QProgressDialog* progress_ = nullptr;
    QElapsedTimer sinceStart_;
    QElapsedTimer sinceRepaint_;
    bool running_ = false;
};

} // namespace zep
