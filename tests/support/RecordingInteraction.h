#pragma once

#include "text/Interaction.h"

#include <deque>
#include <string>
#include <vector>

namespace zep::test {

/** Records every message and question; answers questions from a script, else with their default. */
class RecordingInteraction : public Interaction {
public:
    struct Shown {
        std::string kind; // "inform", "warn", "critical", "ask"
        std::string text;
    };

    std::vector<Shown> shown;
    std::deque<Answer> answers;

    void inform(const std::string& text) override { shown.push_back({"inform", text}); }
    void warn(const std::string& text) override { shown.push_back({"warn", text}); }
    void critical(const std::string& text) override { shown.push_back({"critical", text}); }
    Answer ask(const std::string& text, Buttons buttons, Answer defaultAnswer) override;

    /** the texts shown, in order */
    std::vector<std::string> texts() const;
};

} // namespace zep::test
