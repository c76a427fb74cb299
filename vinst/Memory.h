#pragma once
// The instrument's 64 KiB memory (commands 1, 2 and 5). Addresses are 16 bits
// and wrap around at the top.

#include "vinst/Frame.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vinst {

class Memory {
public:
    static constexpr std::size_t Size = 0x10000;

    Memory() { m_bytes.fill(0xFF); }  // erased memory

    Bytes read(std::uint16_t address, std::size_t count) const;
    void write(std::uint16_t address, std::span<const std::uint8_t> data);
    std::uint8_t at(std::uint16_t address) const { return m_bytes[address]; }
    void writeWord(std::uint16_t address, std::uint16_t value);

    const std::array<std::uint8_t, Size> &bytes() const { return m_bytes; }

private:
    std::array<std::uint8_t, Size> m_bytes;
};

// An image file holds exactly `size` bytes; loading gives nothing and puts
// the reason into `error` otherwise. Saving replaces the file atomically.
std::optional<Bytes> LoadImageFile(const std::string &path, std::size_t size, const char *kind, std::string &error);
bool SaveImageFile(std::span<const std::uint8_t> image, const std::string &path, std::string &error);

// A memory image file is exactly Size bytes. Loading gives nothing and puts
// the reason into `error` when the file cannot be read or has another size.
std::optional<Memory> LoadMemoryImage(const std::string &path, std::string &error);

// Replaces the file atomically (temporary file in the same directory, then
// rename), so an interrupted save leaves the previous image in place.
bool SaveMemoryImage(const Memory &memory, const std::string &path, std::string &error);

}  // namespace vinst
