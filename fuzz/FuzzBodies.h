#pragma once
// The bodies of the fuzz targets. Each takes arbitrary bytes and must neither
// crash nor trip a sanitizer; where a body knows what the right outcome is,
// it checks it and aborts on a wrong one. The fuzzers call them from
// FuzzMain.cpp, the ordinary tests replay the committed seeds through them.
//
// The file bodies work in the current directory: the caller gives them an
// empty scratch directory and a message handler that answers every box.

#include <cstddef>
#include <cstdint>
#include <span>

using FuzzBody = void (*)(std::span<const uint8_t> data);

struct FuzzTarget {
    const char *name;   // also the name of its seed folder
    FuzzBody body;
};

std::span<const FuzzTarget> FuzzTargets();
FuzzBody FindFuzzBody(const char *name);

void FuzzConfigFile(std::span<const uint8_t> data);
void FuzzListFile(std::span<const uint8_t> data);
void FuzzResultsFile(std::span<const uint8_t> data);
void FuzzSensorFile(std::span<const uint8_t> data);
void FuzzRecordDecoding(std::span<const uint8_t> data);
void FuzzExchangeReplies(std::span<const uint8_t> data);
void FuzzBreathPolling(std::span<const uint8_t> data);
void FuzzTypedEntries(std::span<const uint8_t> data);
void FuzzInstrumentRequests(std::span<const uint8_t> data);
