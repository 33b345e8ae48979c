#include "CliInteraction.h"
#include "TerminalText.h"

#include <iostream>
#include <unistd.h>

namespace zep {

namespace {
/** messages use CR LF line breaks, a terminal wants LF; names inside them are escaped */
std::string plain(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out.push_back(text[i]);
    return printable(out, true);
}

const char* name(Answer a) {
    switch (a) {
    case Answer::Yes:
        return "yes";
    case Answer::No:
        return "no";
    case Answer::Cancel:
        return "cancel";
    case Answer::Ok:
        return "ok";
    }
    return "";
}

bool offered(Answer a, Buttons b) {
    switch (b) {
    case Buttons::OkCancel:
        return a == Answer::Ok || a == Answer::Cancel;
    case Buttons::YesNo:
        return a == Answer::Yes || a == Answer::No;
    case Buttons::YesNoCancel:
        return a != Answer::Ok;
    }
    return false;
}
} // namespace

std::optional<Answer> parseAnswer(const std::string& text) {
    if (text == "yes")
        return Answer::Yes;
    if (text == "no")
        return Answer::No;
    if (text == "cancel")
        return Answer::Cancel;
    if (text == "ok")
        return Answer::Ok;
    return std::nullopt;
}

void CliInteraction::inform(const std::string& text) {
    spoke_ = true;
    std::cerr << plain(text) << '\n';
}

void CliInteraction::warn(const std::string& text) {
    spoke_ = true;
    std::cerr << "warning: " << plain(text) << '\n';
}

void CliInteraction::critical(const std::string& text) {
    spoke_ = true;
    std::cerr << "error: " << plain(text) << '\n';
}

Answer CliInteraction::ask(const std::string& text, Buttons buttons, Answer defaultAnswer) {
    spoke_ = true;
    Answer a = defaultAnswer;
    // "yes" answers an OK/Cancel question with OK, "no" with Cancel.
    if (answer_) {
        a = *answer_;
        if (buttons == Buttons::OkCancel && a == Answer::Yes)
            a = Answer::Ok;
        if (buttons == Buttons::OkCancel && a == Answer::No)
            a = Answer::Cancel;
        if (buttons != Buttons::OkCancel && a == Answer::Ok)
            a = Answer::Yes;
        if (!offered(a, buttons))
            a = defaultAnswer;
    }
    std::cerr << "question: " << plain(text) << "\n  -> " << name(a)
              << (answer_ ? "" : " (the default answer; choose with --answer)") << '\n';
    return a;
}

void CliInteraction::progress(std::string_view what, std::uint64_t done, std::uint64_t total) {
    static const bool terminal = isatty(STDERR_FILENO);
    if (!terminal || total == 0)
        return;
    const int percent = static_cast<int>(done * 100 / total);
    if (percent == lastPercent_ && done != total)
        return;
    lastPercent_ = percent;
    std::cerr << '\r' << what << ": " << percent << "%" << (done >= total ? "\n" : "") << std::flush;
    if (done >= total)
        lastPercent_ = -1;
}

} // namespace zep
