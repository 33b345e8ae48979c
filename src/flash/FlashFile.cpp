#include "FlashFile.h"

#include "memory/ZepError.h"
#include "text/TextCatalog.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zep {

namespace {

constexpr const char* ReadKey = "common/cannotReadFile/text";
constexpr const char* ReadDefault = "Unable to read file {0}{crlf}{1}";
constexpr const char* WriteKey = "common/cannotWriteFile/text";
constexpr const char* WriteDefault = "Unable to write file {0}{crlf}{1}";

[[noreturn]] void fail(const char* key, const char* def, const std::string& path, int error) {
    throw ZepError(errors::File, tr(key, def, path, std::strerror(error)));
}

[[noreturn]] void notRegular(const std::string& path) {
    throw ZepError(errors::File, tr(ReadKey, ReadDefault, path,
                                    tr("common/notARegularFile/text",
                                       "It is a pipe or a device, not a file: give the path of a file.")));
}

/** closes a descriptor on every way out */
struct Descriptor {
    int fd = -1;
    explicit Descriptor(int f) : fd(f) {}
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int release() { return std::exchange(fd, -1); }
};

/** the end of a chain of symbolic links: the file a writer really replaces */
std::filesystem::path finalTarget(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    fs::path target = path;
    std::error_code ec;
    for (int links = 0; fs::is_symlink(fs::symlink_status(target, ec)); ++links) {
        if (links == 40)
            fail(WriteKey, WriteDefault, path.string(), ELOOP);
        const fs::path link = fs::read_symlink(target, ec);
        if (ec)
            fail(WriteKey, WriteDefault, path.string(), ec.value());
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    return target;
}

/** a new file beside target that no other writer shares and no planted link redirects */
std::pair<int, std::string> createTemporary(const std::filesystem::path& target,
                                            const std::string& shownPath) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    for (int attempt = 0;; ++attempt) {
        const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
        const std::string name = "." + target.filename().string() + ".zep-" + std::to_string(::getpid()) +
                                 "-" + std::to_string(++counter) + "-" + std::to_string(tick & 0xFFFFFF);
        const std::string temporary = (folder / name).string();
        // O_EXCL never follows a link and never takes a file that exists; the mode is the user's usual one.
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0)
            return {fd, temporary};
        if (errno != EEXIST || attempt == 100)
            fail(WriteKey, WriteDefault, shownPath, errno);
    }
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

/** runs the writer into the open file; false when a write failed (errno tells why) */
bool writeInto(std::FILE* file, const std::function<void(OutputBuffer&)>& writer) {
    OutputBuffer out(file);
    writer(out);
    out.flush();
    return !out.failed() && std::fflush(file) == 0;
}

} // namespace

int openRegularFile(const std::string& path, std::uint64_t* size) {
    // A look before the open: opening a device may already do something.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        notRegular(path);
    // Non-blocking, so that a FIFO put in place meanwhile does not wait for a writer.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.fd < 0)
        fail(ReadKey, ReadDefault, path, errno);
    if (::fstat(fd.fd, &info) != 0)
        fail(ReadKey, ReadDefault, path, errno);
    if (S_ISDIR(info.st_mode))
        fail(ReadKey, ReadDefault, path, EISDIR);
    if (!S_ISREG(info.st_mode))
        notRegular(path);
    if (size)
        *size = static_cast<std::uint64_t>(info.st_size);
    return fd.release();
}

std::string readWholeFile(const std::string& path, std::uint64_t limit) {
    std::uint64_t size = 0;
    Descriptor fd(openRegularFile(path, &size));
    if (size > limit)
        fail(ReadKey, ReadDefault, path, EFBIG);
    std::string data;
    data.reserve(static_cast<std::size_t>(size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(ReadKey, ReadDefault, path, errno);
        if (n == 0)
            break;
        data.append(buffer, static_cast<std::size_t>(n));
        if (data.size() > limit) // the file grew while it was read
            fail(ReadKey, ReadDefault, path, EFBIG);
    }
    return data;
}

FileBytes::FileBytes(const std::string& path) {
    std::uint64_t size = 0;
    Descriptor fd(openRegularFile(path, &size));
    size_ = static_cast<std::size_t>(size);
    if (size_ > 0) {
        void* m = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd.fd, 0);
        if (m != MAP_FAILED) {
            ::madvise(m, size_, MADV_SEQUENTIAL);
            mapping_ = m;
            populate(0, std::size_t{4} << 20);
            data_ = static_cast<const char*>(m);
            return;
        }
    }
    if (size_ == 0)
        return;
    copy_ = readWholeFile(path); // where mapping is not possible
    data_ = copy_.data();
    size_ = copy_.size();
}

void FileBytes::release(std::size_t from, std::size_t to) const {
    static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t begin = (from + page - 1) / page * page, end = std::min(to, size_) / page * page;
    if (mapping_ && begin < end)
        ::madvise(static_cast<char*>(mapping_) + begin, end - begin, MADV_DONTNEED);
    populate(end, end - begin);
}

void FileBytes::populate(std::size_t from, std::size_t count) const {
#ifdef MADV_POPULATE_READ
    // The pages a reader comes to next are mapped in one call rather than fault by fault.
    if (mapping_ && from < size_)
        ::madvise(static_cast<char*>(mapping_) + from, std::min(count, size_ - from), MADV_POPULATE_READ);
#else
    (void)from;
    (void)count;
#endif
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
    if (check)
        check();

    // A device or a pipe (/dev/null, /dev/stdout) cannot be replaced: it is written directly.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode))
            fail(WriteKey, WriteDefault, path, EISDIR);
        File f(std::fopen(path.c_str(), "wb"));
        if (!f)
            fail(WriteKey, WriteDefault, path, errno);
        if (!writeInto(f.get(), writer))
            fail(WriteKey, WriteDefault, path, errno);
        return;
    }

    // A file is replaced whole: the bytes go to a temporary file beside it, reach the disk, and take
    // the file's name only then. A link is written through to its file, as editors do.
    const std::filesystem::path target = finalTarget(path);
    const auto [fd, temporary] = createTemporary(target, path);
    const auto discard = [&temporary = temporary] { ::unlink(temporary.c_str()); };
    File f(::fdopen(fd, "wb"));
    if (!f) {
        const int error = errno;
        ::close(fd);
        discard();
        fail(WriteKey, WriteDefault, path, error);
    }
    try {
        // A file replaced keeps its permissions.
        if (::stat(target.c_str(), &info) == 0)
            ::fchmod(fd, info.st_mode & 07777);
        const bool written = writeInto(f.get(), writer) && ::fsync(fd) == 0;
        const int error = errno;
        const bool closed = std::fclose(f.release()) == 0;
        if (!written || !closed)
            fail(WriteKey, WriteDefault, path, written ? errno : error);
        if (std::rename(temporary.c_str(), target.c_str()) != 0)
            fail(WriteKey, WriteDefault, path, errno);
    } catch (...) {
        f.reset();
        discard();
        throw;
    }
}

} // namespace zep
