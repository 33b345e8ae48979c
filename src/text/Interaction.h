#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zep {

enum class Answer { Ok, Cancel, Yes, No };
enum class Buttons { OkCancel, YesNo, YesNoCancel };

/**
 * How every layer below the programs shows messages and asks questions. The GUI shows message boxes,
 * `zep` writes to stderr and answers from its flags, tests record what was shown and answer from a
 * script.
 */
class Interaction {
public:
    virtual ~Interaction() = default;

    virtual void inform(const std::string& text) = 0;
    virtual void warn(const std::string& text) = 0;
    /** an error the user must see; critical messages carry the application title */
    virtual void critical(const std::string& text) = 0;
    /** defaultAnswer is what a caller that cannot ask takes, and the button that has the focus */
    virtual Answer ask(const std::string& text, Buttons buttons, Answer defaultAnswer) = 0;

    /** long work reports how far it is; done == total ends it */
    virtual void progress(std::string_view /*what*/, std::uint64_t /*done*/, std::uint64_t /*total*/) {}

    bool askYesNo(const std::string& text, bool defaultYes = true) {
        return ask(text, Buttons::YesNo, defaultYes ? Answer::Yes : Answer::No) == Answer::Yes;
    }
};

/** Answers every question with its default and drops every message; for callers that want no dialogue. */
class SilentInteraction : public Interaction {
public:
    void inform(const std::string&) override {}
    void warn(const std::string&) override {}
    void critical(const std::string&) override {}
    Answer ask(const std::string&, Buttons, Answer defaultAnswer) override { return defaultAnswer; }
};

} // namespace zep
