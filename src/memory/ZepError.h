#pragma once

#include <stdexcept>
#include <string>

namespace zep {

/** The one error type of the system: a number and a description already in the user's language. */
class ZepError : public std::runtime_error {
public:
    ZepError(int number, const std::string& description) : std::runtime_error(description), number_(number) {}

    int number() const { return number_; }
    std::string description() const { return what(); }

private:
    int number_;
};

/** Error numbers the system raises itself; database errors carry the engine's own numbers. */
namespace errors {
inline constexpr int LanguageFile = 1;
inline constexpr int InvalidArgument = 5;
inline constexpr int OutOfRange = 9;
inline constexpr int File = 1000;
inline constexpr int Xml = 10000;
} // namespace errors

} // namespace zep
