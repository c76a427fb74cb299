#pragma once
// The memory view: the instrument's memory one page of 64 bytes at a time,
// shown as 32 rows of two bytes and as 32 little-endian words. Every value
// shown comes from the read of its own page. The paging state lives for the
// whole run, so that the panel shows the last page again when reopened.

#include <QString>
#include <array>
#include <cstdint>

constexpr int MemPageBytes = 64;
constexpr int MemPageRows = MemPageBytes / 2;
constexpr int MemorySize = 65536;
constexpr int LastMemPage = MemorySize - MemPageBytes;   // 65472

extern int MemViewFirst;   // address of the page shown
extern int MemViewNext;    // address of the next page; values are shown while MemViewFirst < MemViewNext
extern std::array<uint8_t, MemPageBytes> MemViewBytes;   // as arranged for the byte grid
extern std::array<int, MemPageRows> MemViewWords;        // for the word grid

// Back to the state at program start: no page read.
void ResetMemView();

// Takes a page read into MemViewFirst and MemViewNext: the page at `address`
// becomes the one shown.
void TakeMemPage(int address, const uint8_t *bytes);

bool MemPageShown();       // a page's values are there to show
bool HasPreviousMemPage(); // MemViewFirst is not 0
bool HasNextMemPage();     // a page follows the last one read (none past 65472)

// Where the next and the previous page start.
int NextMemPageAddress();
int PreviousMemPageAddress();

// Row `row` (0..31) of the two grids: the byte grid's address, its "Младш."
// and "Старш." columns (the byte at the odd address, then the one at the
// even address, each right-aligned in 3); the word grid's word address and
// word (right-aligned in 5). The value texts are empty while no page is shown.
struct MemPageRow {
    QString byteAddress;
    QString low;
    QString high;
    QString wordAddress;
    QString word;
};
MemPageRow MemPageRowTexts(int row);
