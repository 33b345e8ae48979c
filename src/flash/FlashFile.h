#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace zep {

/**
 * Opens a file for reading and gives its descriptor (the caller closes it) and, if asked, its size. Only
 * regular files are taken: a FIFO or a device would block or never end, so it is refused at once, as a
 * folder, a missing or an unreadable file are, with error 1000 naming the path.
 */
int openRegularFile(const std::string& path, std::uint64_t* size = nullptr);

/**
 * Told by a reader that it no longer needs the bytes from one position to another in memory: a mapped
 * file gives their pages back, so that reading a large file does not hold all of it at once. Bytes read
 * again later are read from the file again.
 */
using ReleaseBytes = std::function<void(std::size_t from, std::size_t to)>;

/** The whole file as bytes, one char per byte; a file that cannot be read, or is larger than limit, is
 * error 1000. */
std::string readWholeFile(const std::string& path, std::uint64_t limit = UINT64_MAX);

/**
 * The bytes of a file, mapped rather than copied: large flash files are read once, front to back, and
 * a copy would only cost memory. A file that cannot be read is error 1000.
 */
class FileBytes {
public:
    explicit FileBytes(const std::string& path);
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    std::string_view text() const { return {data_, size_}; }
    std::span<const std::uint8_t> bytes() const {
        return {reinterpret_cast<const std::uint8_t*>(data_), size_};
    }
    /** gives back the whole pages between from and to (see ReleaseBytes) */
    void release(std::size_t from, std::size_t to) const;
    ReleaseBytes releaser() const {
        return [this](std::size_t from, std::size_t to) { release(from, to); };
    }

private:
    /** maps count bytes from from at once, ahead of the reader */
    void populate(std::size_t from, std::size_t count) const;
    const char* data_ = "";
    std::size_t size_ = 0;
    void* mapping_ = nullptr;
    std::string copy_; // where mapping is not possible
};

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
        if (file_ && bytes.size() >= chunk) {
            // a large piece goes straight to the file rather than through the buffer
            flush();
            if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
                failed_ = true;
            return;
        }
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
 * Writes a file through a writer, after check() accepted the content: into a temporary file of its own
 * beside the target, synced and renamed over it at the end, so that a refused or failed write leaves no
 * half-written file and two writers never mix their bytes. A symbolic link is written through to its
 * file; a device or a pipe (/dev/null, /dev/stdout) is written directly. Errors are ZepError 1000.
 */
void writeWholeFile(const std::string& path, const std::function<void(OutputBuffer&)>& writer,
                    const std::function<void()>& check = {});

} // namespace zep
