#pragma once

#include "core/resize_outcome.h"
#include "core/resize_run.h"
#include "core/rules/part_size.h"
#include "core/system/native_name.h"

#include <cstdint>
#include <functional>
#include <variant>

namespace morvane {

class PartPicture;

struct ScanOptions {
    // Told the bytes read so far, block by block: false stops the scan.
    std::function<bool(std::uint64_t bytesRead)> goOn;
    // Where given, gathers the picture of the part's points.
    PartPicture *picture = nullptr;
};

struct Scanned {
    PartSize size;
};
struct ScanStopped {};
using ScanOutcome = std::variant<NoFileSelected, Scanned, Failed, ScanStopped>;

// Reads a part as a resize would, and writes nothing: its size, or the
// failure a resize would report, in the same words and on the same line.
// Only what the new file's place holds against a resize is not looked at.
ScanOutcome scanPart(const NativeName &folder, const NativeName &fileName, ScanOptions options = {});
ScanOutcome scanPart(const ShownPart &part, ScanOptions options = {});

} // namespace morvane
