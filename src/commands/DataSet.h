#pragma once

#include "flash/ZEPEcu.h"
#include "memory/MemImage.h"
#include "memory/MemMap.h"

#include <QDateTime>

#include <cstdint>
#include <optional>
#include <string>

namespace zep {

class Connection;
class Interaction;

/**
 * The test data set generator: a dummy application ("global" data set) or a dummy tuning whose image
 * fills the ECU's write ranges with one byte value up to a chosen size, for performance tests of
 * reprogramming tools.
 */
namespace DataSet {

/** what the generator works on, found from the selected list item */
struct Target {
    qint64 ecuId = 0;
    /** the application a dummy tuning goes under */
    qint64 appId = 0;
    bool tuning = false;
    ZEPEcu ecu;
};

/**
 * The ECU and application of the list item itemKey: a tuning item makes a dummy tuning for its
 * application; an application item makes a dummy tuning when it is the tree's selected node itself
 * (the application's own default tuning item), else a dummy global data set for its ECU. nullopt for
 * other kinds, items that do not exist, or an application item while the tree has no selection.
 */
[[nodiscard]] std::optional<Target> FindTarget(Connection& db, const std::string& itemKey,
                                               const std::string& treeSelection);

/** the bytes the write map covers: the largest size that can be generated */
std::uint64_t MaxSize(const ZEPEcu& ecu, bool tuning);
/** the erase byte value shown: the first two hexadecimal digits of the fill pattern */
std::string EraseByteValue(const ZEPEcu& ecu);

enum class Field { Length, ByteValue };

/** the inputs of the generator, checked */
struct Input {
    std::uint64_t length = 0;
    std::uint8_t byte = 0;
    /** the message of the first refused input; empty when both are accepted */
    std::string error;
    /** the field refused, to put the focus back into */
    Field field = Field::Length;

    bool ok() const { return error.empty(); }
};

/** the size in decimal, at most maxSize, and the byte value in hexadecimal without prefix, checked in that
 * order */
Input CheckInput(const std::string& lengthText, std::uint64_t maxSize, const std::string& byteText);

/**
 * Exactly length bytes of value byte over the write map's ranges in order: one block per range used,
 * each range filled completely but the last one used, which gives only the bytes still wanted.
 */
MemImage BuildImage(const MemMap& writeMap, std::uint64_t length, std::uint8_t byte);

/** "DUMMY_yyyymmdd_hhnnss_of_N_bytes_0xHH" */
std::string DummyName(const QDateTime& when, std::uint64_t size, std::uint8_t byte);

/**
 * AddDummyDataSet: a new application under ecuId (tuning false) or tuning under appId (tuning true)
 * named after when, the image's size and the byte, with the dummy identification, and its image rows,
 * in one transaction. The new App Id or Calib Id.
 */
qint64 AddDummyDataSet(Connection& db, qint64 ecuId, qint64 appId, const MemImage& image, const ZEPEcu& ecu,
                       std::uint8_t byte, bool tuning, const QDateTime& when, Interaction* ui = nullptr);

} // namespace DataSet
} // namespace zep
