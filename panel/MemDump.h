#pragma once
// The instrument's whole memory saved into a file, block by block through
// the ordinary memory reads, so that support can start the virtual
// instrument from exactly what an operator's instrument holds. The file holds
// the 65536 bytes in address order, nothing else.
//
// The file is written beside its name and takes that name only when every
// block is in: a failed read, a cancel or a full disk leave whatever stood
// under the name before untouched, and no partial file anywhere.

#include "panel/MemPage.h"

#include <QString>
#include <cstdint>
#include <functional>

// 128 bytes is the largest power of two a single read can carry, so the
// blocks tile the memory exactly: 512 reads.
constexpr int MemDumpBlockBytes = 128;
constexpr int MemDumpBlocks = MemorySize / MemDumpBlockBytes;

enum class MemDumpOutcome { Saved, Cancelled, ReadFailed, WriteFailed };

struct MemDumpResult {
    MemDumpOutcome outcome = MemDumpOutcome::Saved;
    int address = 0;   // the block that failed (ReadFailed)
    QString error;     // what the file system said (WriteFailed)
};

struct MemDumpSteps {
    // Reads `count` bytes at `address` into `out`; false when no answer came.
    std::function<bool(int address, int count, uint8_t *out)> readBlock;
    // Called before each block with the bytes saved so far; false cancels.
    std::function<bool(int done)> goOn;
};

MemDumpResult DumpMemory(const QString &path, const MemDumpSteps &steps);

// The note the memory page shows when a dump has ended.
QString MemDumpNote(const MemDumpResult &result, const QString &path);
