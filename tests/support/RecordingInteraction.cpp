#include "RecordingInteraction.h"

namespace zep::test {

Answer RecordingInteraction::ask(const std::string& text, Buttons, Answer defaultAnswer) {
    shown.push_back({"ask", text});
    if (answers.empty())
        return defaultAnswer;
    const Answer a = answers.front();
    answers.pop_front();
    return a;
}

std::vector<std::string> RecordingInteraction::texts() const {
    std::vector<std::string> out;
    for (const Shown& s : shown)
        out.push_back(s.text);
    return out;
}

} // namespace zep::test
