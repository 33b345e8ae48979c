#include "FlashFile.h"

#include "memory/ZepError.h"
#include "text/TextCatalog.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstring>
#include <filesystem>
#include <memory>

namespace zep {

namespace {
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

[[noreturn]] void fail(const char* key, const char* def, const std::string& path) {
    const std::string reason = std::strerror(errno);
    throw ZepError(errors::File, tr(key, def, path, reason));
}
} // namespace

std::string readWholeFile(const std::string& path) {
    constexpr const char* key = "common/cannotReadFile/text";
    constexpr const char* def = "Unable to read file {0}{crlf}{1}";
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        errno = EISDIR;
        fail(key, def, path);
    }
    File f(std::fopen(path.c_str(), "rb"));
    if (!f)
        fail(key, def, path);
    std::string data;
    char buffer[1 << 16];
    std::size_t n;
    if (std::fseek(f.get(), 0, SEEK_END) == 0) {
        const long size = std::ftell(f.get());
        if (size > 0)
            data.reserve(static_cast<std::size_t>(size));
        std::fseek(f.get(), 0, SEEK_SET);
    }
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0)
        data.append(buffer, n);
    if (std::ferror(f.get()))
        fail(key, def, path);
    return data;
}

FileBytes::FileBytes(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        size_ = static_cast<std::size_t>(info.st_size);
        if (size_ > 0) {
            void* m = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
            if (m != MAP_FAILED) {
                mapping_ = m;
                data_ = static_cast<const char*>(m);
            }
        }
        ::close(fd);
        if (mapping_ || size_ == 0)
            return;
    } else if (fd >= 0) {
        ::close(fd);
    }
    copy_ = readWholeFile(path); // raises the localised error, or reads what cannot be mapped
    data_ = copy_.data();
    size_ = copy_.size();
}

FileBytes::~FileBytes() {
    if (mapping_)
        ::munmap(mapping_, size_);
}

void OutputBuffer::flush() {
    if (!file_ || text_.empty())
        return;
    if (std::fwrite(text_.data(), 1, text_.size(), file_) != text_.size())
        failed_ = true;
    text_.clear();
}

void writeWholeFile(const std::string& path, const std::function<void(OutputBuffer&)>& writer,
                    const std::function<void()>& check) {
    constexpr const char* key = "common/cannotWriteFile/text";
    constexpr const char* def = "Unable to write file {0}{crlf}{1}";
    if (check)
        check();
    const std::string temporary = path + ".zep-partial";
    File f(std::fopen(temporary.c_str(), "wb"));
    if (!f)
        fail(key, def, path);
    try {
        OutputBuffer out(f.get());
        writer(out);
        out.flush();
        const bool failed = out.failed() || std::fflush(f.get()) != 0;
        const int savedErrno = errno;
        f.reset();
        errno = savedErrno;
        if (failed)
            fail(key, def, path);
    } catch (...) {
        f.reset();
        std::remove(temporary.c_str());
        throw;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int savedErrno = errno;
        std::remove(temporary.c_str());
        errno = savedErrno;
        fail(key, def, path);
    }
}

} // namespace zep
