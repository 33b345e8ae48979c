#pragma once

#include "FlashFile.h"

#include "memory/MemBlock.h"

#include <cstdint>
#include <span>
#include <string>

namespace zep {

class EcuApplication;

/** KWP2000 request streams: a header frame, then one download frame per piece of the image. */
namespace kwp {

/** Largest download: 247 data bytes + 8 fit the frame's length byte. */
inline constexpr std::int32_t MaxDownloadSize = 247;

/** the stream of app; sets app's ToolAddress from the Ecu's IdentificationType. ZepError 1000 on refusal */
MemBlock build(EcuApplication& app);
/** build, written to out as it is made */
void write(EcuApplication& app, OutputBuffer& out);

/** parses stream into app (see the stream's rules); ZepError 1000 on the first error */
void parse(std::span<const std::uint8_t> stream, EcuApplication& app, const ReleaseBytes& release = {});

/** the tester address the Ecu's identification type asks for */
std::uint8_t testerAddress(std::int32_t identificationType);

/** one line per frame, its bytes in upper-case hex, CR LF after each; no checksum is checked */
std::string toText(std::span<const std::uint8_t> stream);
/** false when the stream's last frame header (format, target, source, length) is cut by its end */
bool complete(std::span<const std::uint8_t> stream);

} // namespace kwp
} // namespace zep
