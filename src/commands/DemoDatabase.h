#pragma once

#include <string>

namespace zep {

class Interaction;

/**
 * Makes a new local demo database at path (which must not exist), so that a newcomer sees a realistic
 * tree: diagnostic functions with ECUs of every identification type, their memory maps, applications and
 * tunings with identifications, approval numbers and comments, some checked, an ECU without applications
 * and a function without ECUs. It is filled only through the system's own operations: the ECUs by an XML
 * import, the images by the Open command on S-record, KWP and H86 files written for it in a temporary
 * folder. The content is the same on every call (fixed seeds).
 *
 * interaction shows the progress. Any failure raises ZepError and leaves no file behind; an existing file
 * at path is refused and left as it was.
 */
void makeDemoDatabase(const std::string& path, Interaction& interaction);

} // namespace zep
