#include "vinst/Memory.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vinst {

Bytes Memory::read(std::uint16_t address, std::size_t count) const
{
    Bytes out(count);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = m_bytes[(address + i) % Size];
    return out;
}

void Memory::write(std::uint16_t address, std::span<const std::uint8_t> data)
{
    for (std::size_t i = 0; i < data.size(); ++i)
        m_bytes[(address + i) % Size] = data[i];
}

void Memory::writeWord(std::uint16_t address, std::uint16_t value)
{
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(value & 0xFF),
                                   static_cast<std::uint8_t>(value >> 8)};
    write(address, bytes);
}

namespace {

std::string SystemError(const std::string &what, const std::string &path)
{
    return what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const std::uint8_t *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string DirectoryOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::optional<Bytes> LoadImageFile(const std::string &path, std::size_t size, const char *kind, std::string &error)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = SystemError("cannot open", path);
        return std::nullopt;
    }
    Bytes buffer(size + 1);
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
    const bool failed = std::ferror(file);
    std::fclose(file);
    if (failed) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    if (got != size) {
        const std::string held = got > size ? "more than " + std::to_string(size) : std::to_string(got);
        error = path + " is not " + kind + ": it holds " + held + " bytes, an image exactly " + std::to_string(size);
        return std::nullopt;
    }
    buffer.resize(size);
    return buffer;
}

bool SaveImageFile(std::span<const std::uint8_t> image, const std::string &path, std::string &error)
{
    std::string temp = DirectoryOf(path) + "/.vinst-image-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = SystemError("cannot create a file beside", path);
        return false;
    }
    ::fchmod(fd, 0644);
    const bool written = WriteAll(fd, image.data(), image.size()) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        error = SystemError("cannot save", path);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

std::optional<Memory> LoadMemoryImage(const std::string &path, std::string &error)
{
    const std::optional<Bytes> image = LoadImageFile(path, Memory::Size, "a memory image", error);
    if (!image)
        return std::nullopt;
    Memory memory;
    memory.write(0, *image);
    return memory;
}

bool SaveMemoryImage(const Memory &memory, const std::string &path, std::string &error)
{
    return SaveImageFile(memory.bytes(), path, error);
}

}  // namespace vinst
