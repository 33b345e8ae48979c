#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace zep {

/** The whole file as bytes, one char per byte; a file that cannot be read is error 1000. */
std::string readWholeFile(const std::string& path);

/** Where the writers put their text: a string, or a file written in large pieces. */
class OutputBuffer {
public:
    OutputBuffer() = default;
    explicit OutputBuffer(std::FILE* file) : file_(file) { text_.reserve(chunk); }
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    void append(std::string_view text) {
        text_.append(text);
        spill();
    }
    void append(std::span<const std::uint8_t> bytes) {
        text_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        spill();
    }
    /** for writers that format in place */
    std::string& text() { return text_; }
    void spill() {
        if (file_ && text_.size() >= chunk)
            flush();
    }
    void flush();
    bool failed() const { return failed_; }

private:
    static constexpr std::size_t chunk = 1 << 20;
    std::FILE* file_ = nullptr;
    std::string text_;
    bool failed_ = false;
};

/**
 * Writes a file through a writer, after check() accepted the content: into a temporary file beside the
 * target, renamed over it at the end, so that a refused or failed write leaves no half-written file.
 * Errors are ZepError 1000.
 */
void writeWholeFile(const std::string& path, const std::function<void(OutputBuffer&)>& writer,
                    const std::function<void()>& check = {});

} // namespace zep
