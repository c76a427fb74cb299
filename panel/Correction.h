#pragma once
// The clock-rate correction: one byte in the instrument's register 24 that
// tells it how far its clock drifts in a month. Bits 0..4 count steps of six
// seconds, bit 5 is set when the clock runs slow.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// The entries of the "error per month" list, one per CorrectionSteps value.
extern const QStringList CorrectionEntryTexts;
constexpr int DefaultCorrectionEntry = 7;   // "1   минута"

// The correction byte for the list text chosen or typed, plus 32 when the
// clock runs slow; nothing when the text is not one of the entries.
std::optional<uint8_t> CorrectionFromEntry(const QString &text, bool clockSlow);
