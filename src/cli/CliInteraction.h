#pragma once

#include "text/Interaction.h"

#include <optional>

namespace zep {

/**
 * Messages to stderr; questions answered from --answer, or by their default answer (said on stderr);
 * progress as one rewritten line when stderr is a terminal.
 */
class CliInteraction : public Interaction {
public:
    explicit CliInteraction(std::optional<Answer> answer) : answer_(answer) {}

    void inform(const std::string& text) override;
    void warn(const std::string& text) override;
    void critical(const std::string& text) override;
    Answer ask(const std::string& text, Buttons buttons, Answer defaultAnswer) override;
    void progress(std::string_view what, std::uint64_t done, std::uint64_t total) override;

    /** whether a message or a question was written: a failure must never be silent */
    bool spoke() const { return spoke_; }

private:
    std::optional<Answer> answer_;
    bool spoke_ = false;
    int lastPercent_ = -1;
};

/** "yes", "no", "cancel", "ok" */
std::optional<Answer> parseAnswer(const std::string& text);

} // namespace zep
