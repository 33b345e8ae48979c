#pragma once

#include "FlashFile.h"

#include <string_view>

namespace zep {

class EcuApplication;
class Interaction;
class OutputBuffer;

namespace srecord {

/** What an S-record file carried besides its data, for the callers that report it. */
struct Report {
    bool valdore = false;       // VALDORE identification
    bool tolmak = false;        // TOLMAK identification
    bool marker = false;        // logical marker
    bool timings = false;       // inter-byte and reply-to-request delays
    bool granularity = false;   // erase pattern
    bool requestLength = false; // maximum download size
    std::size_t dataRecords = 0;
};

/**
 * Reads Motorola S-records into app: S1, S2 and S3 data into its image, the S0 family into its
 * identification, approval number, marker and Ecu parameters. Stops at the first bad line with
 * ZepError 1000 naming the line; the image and parameters read before it stay.
 */
Report read(std::string_view text, EcuApplication& app, Interaction& ui, const ReleaseBytes& release = {});

/** Refuses (ZepError 1000) a record whose values an S-record file cannot hold. */
void check(const EcuApplication& app);

/** The six S0 records, S2 data of at most 32 bytes a line and the S8 end; CR LF after every line. */
void write(const EcuApplication& app, OutputBuffer& out);

} // namespace srecord
} // namespace zep
