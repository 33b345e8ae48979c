/*
 * The floor under `zep convert`: a streaming converter, written as plain C would be, between S2 records and
 * Intel hex that does only what any converter must do. It reads its input in pieces, checks every digit,
 * count and checksum, writes the same data records zep writes, and replaces its output file as zep does (a
 * temporary file beside it, synced, then renamed). zep-bench runs it beside zep in every round.
 *
 *   zep-bench-floor s2h IN OUT   S2 records -> Intel hex (extended linear address records)
 *   zep-bench-floor h2s IN OUT   Intel hex -> S2 records of the same lengths
 *
 * Lines end in CR LF or LF. Exit status 0, or 1 with a message on a malformed line or a failed read or
 * write.
 */

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

enum { Piece = 1 << 20 };

static uint16_t digit[256];
static char text[256][2];

static int fail(const char* what, long line) {
    fprintf(stderr, "zep-bench-floor: %s at line %ld\n", what, line);
    return 1;
}

static char out[Piece + 1024];
static size_t used;
static int outFd;

static int flush(void) {
    size_t done = 0;
    while (done < used) {
        const ssize_t n = write(outFd, out + done, used - done);
        if (n <= 0)
            return 1;
        done += (size_t)n;
    }
    used = 0;
    return 0;
}

/* a record: its lead characters, then its bytes and checksum in hex, then CR LF */
static int record(const char* lead, size_t leadLength, const uint8_t* bytes, size_t n, uint8_t checksum) {
    char* p = out + used;
    memcpy(p, lead, leadLength);
    p += leadLength;
    for (size_t i = 0; i < n; ++i, p += 2)
        memcpy(p, text[bytes[i]], 2);
    memcpy(p, text[checksum], 2);
    p[2] = '\r';
    p[3] = '\n';
    used = (size_t)(p + 4 - out);
    return used >= Piece ? flush() : 0;
}

/* decodes the hex digits of a record into bytes; -1 on a bad digit, else the low byte of their sum */
static int decode(const unsigned char* p, size_t n, uint8_t* bytes) {
    unsigned bad = 0, sum = 0;
    for (size_t i = 0; i < n; ++i) {
        const unsigned v = (unsigned)digit[p[2 * i]] << 4 | digit[p[2 * i + 1]];
        bad |= v;
        bytes[i] = (uint8_t)v;
        sum += v & 0xFF;
    }
    return bad & 0x1100 ? -1 : (int)(sum & 0xFF);
}

static unsigned page = 0;

/* one line of either kind; lineLength without its line end */
static int convert(int toHex, const unsigned char* line, size_t lineLength, long number) {
    uint8_t bytes[260];
    if (lineLength == 0)
        return 0;
    if (toHex) {
        if (lineLength < 4 || line[0] != 'S' || (lineLength - 2) % 2 != 0)
            return fail("malformed S-record", number);
        const size_t n = (lineLength - 2) / 2;
        const int sum = decode(line + 2, n, bytes);
        if (sum != 0xFF || bytes[0] != n - 1)
            return fail("bad S-record", number);
        if (line[1] != '2')
            return 0; /* headers and end records carry no data */
        const unsigned address = (unsigned)bytes[1] << 16 | (unsigned)bytes[2] << 8 | bytes[3];
        const size_t count = n - 5;
        if (address >> 16 != page) {
            page = address >> 16;
            const uint8_t pageRecord[] = {2, 0, 0, 4, (uint8_t)(page >> 8), (uint8_t)page};
            if (record(":", 1, pageRecord, 6,
                       (uint8_t)(0x100 - ((2 + 4 + (page >> 8) + (page & 0xFF)) & 0xFF))))
                return 1;
        }
        uint8_t* data = bytes; /* rebuilt in place: count, offset, type, then the data as they lie */
        data[0] = (uint8_t)count;
        const uint8_t hi = bytes[2], lo = bytes[3];
        data[1] = hi;
        data[2] = lo;
        data[3] = 0;
        unsigned s = 0;
        for (size_t i = 0; i < count + 4; ++i)
            s += data[i];
        return record(":", 1, data, count + 4, (uint8_t)(0x100 - (s & 0xFF)));
    }
    if (lineLength < 11 || line[0] != ':' || (lineLength - 1) % 2 != 0)
        return fail("malformed Intel hex record", number);
    const size_t n = (lineLength - 1) / 2;
    const int sum = decode(line + 1, n, bytes);
    if (sum != 0 || bytes[0] != n - 5)
        return fail("bad Intel hex record", number);
    if (bytes[3] == 4) {
        page = (unsigned)bytes[4] << 8 | bytes[5];
        return 0;
    }
    if (bytes[3] != 0)
        return 0;
    const unsigned address = page << 16 | (unsigned)bytes[1] << 8 | bytes[2];
    const size_t count = bytes[0];
    uint8_t record2[260];
    record2[0] = (uint8_t)(count + 4);
    record2[1] = (uint8_t)(address >> 16);
    record2[2] = (uint8_t)(address >> 8);
    record2[3] = (uint8_t)address;
    memcpy(record2 + 4, bytes + 4, count);
    unsigned s = 0;
    for (size_t i = 0; i < count + 4; ++i)
        s += record2[i];
    return record("S2", 2, record2, count + 4, (uint8_t)(~s & 0xFF));
}

int main(int argc, char** argv) {
    if (argc != 4 || (strcmp(argv[1], "s2h") != 0 && strcmp(argv[1], "h2s") != 0)) {
        fputs("usage: zep-bench-floor s2h|h2s IN OUT\n", stderr);
        return 2;
    }
    for (int c = 0; c < 256; ++c) {
        digit[c] = c >= '0' && c <= '9'   ? (uint16_t)(c - '0')
                   : c >= 'A' && c <= 'F' ? (uint16_t)(c - 'A' + 10)
                   : c >= 'a' && c <= 'f' ? (uint16_t)(c - 'a' + 10)
                                          : 0x100;
        text[c][0] = "0123456789ABCDEF"[c >> 4];
        text[c][1] = "0123456789ABCDEF"[c & 15];
    }
    const int toHex = argv[1][0] == 's';
    const int in = open(argv[2], O_RDONLY);
    if (in < 0) {
        perror(argv[2]);
        return 1;
    }
    char temporary[4096];
    snprintf(temporary, sizeof temporary, "%s.floor-%d", argv[3], (int)getpid());
    outFd = open(temporary, O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (outFd < 0) {
        perror(temporary);
        return 1;
    }
    if (toHex) {
        used = 17;
        memcpy(out, ":020000040000FA\r\n", used);
    }

    static unsigned char buffer[Piece + 1024];
    size_t held = 0;
    long number = 0;
    for (;;) {
        const ssize_t got = read(in, buffer + held, Piece);
        if (got < 0) {
            perror(argv[2]);
            return 1;
        }
        held += (size_t)got;
        size_t from = 0;
        for (;;) {
            const auto* lf = static_cast<const unsigned char*>(memchr(buffer + from, '\n', held - from));
            if (!lf)
                break;
            size_t end = (size_t)(lf - buffer);
            const size_t next = end + 1;
            if (end > from && buffer[end - 1] == '\r')
                --end;
            if (convert(toHex, buffer + from, end - from, ++number))
                return 1;
            from = next;
        }
        memmove(buffer, buffer + from, held - from);
        held -= from;
        if (got == 0)
            break;
    }
    const char* end = toHex ? ":00000001FF" : "S804000000FB\r\n";
    memcpy(out + used, end, strlen(end));
    used += strlen(end);
    if (flush() || fsync(outFd) != 0 || close(outFd) != 0 || rename(temporary, argv[3]) != 0) {
        perror(argv[3]);
        return 1;
    }
    close(in);
    return 0;
}
