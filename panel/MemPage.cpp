#include "panel/MemPage.h"

#include "panel/SensorGrid.h"

int MemViewFirst = 0;
int MemViewNext = 0;
std::array<uint8_t, MemPageBytes> MemViewBytes{};
std::array<int, MemPageRows> MemViewWords{};

void ResetMemView()
{
    MemViewFirst = 0;
    MemViewNext = 0;
    MemViewBytes.fill(0);
    MemViewWords.fill(0);
}

void TakeMemPage(int address, const uint8_t *bytes)
{
    MemViewFirst = address;
    MemViewNext = address + MemPageBytes;
    for (int i = 0; i < MemPageRows; ++i) {
        MemViewBytes[2 * i + 1] = bytes[2 * i];
        MemViewBytes[2 * i] = bytes[2 * i + 1];
        MemViewWords[i] = bytes[2 * i] + 256 * bytes[2 * i + 1];
    }
}

bool MemPageShown() { return MemViewFirst < MemViewNext; }
bool HasPreviousMemPage() { return MemViewFirst != 0; }
bool HasNextMemPage() { return NextMemPageAddress() <= LastMemPage; }

int NextMemPageAddress() { return MemViewNext; }
int PreviousMemPageAddress() { return MemViewFirst - MemPageBytes; }

MemPageRow MemPageRowTexts(int row)
{
    MemPageRow texts;
    texts.byteAddress = QString::number(MemViewFirst + 2 * row);
    texts.wordAddress = QString::number(MemViewFirst / 2 + row);
    if (MemPageShown()) {
        texts.low = RightAligned(MemViewBytes[2 * row], 3);
        texts.high = RightAligned(MemViewBytes[2 * row + 1], 3);
        texts.word = RightAligned(MemViewWords[row], 5);
    }
    return texts;
}
