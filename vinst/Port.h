#pragma once
// The instrument's end of the line: a pseudo-terminal whose other end is
// reachable under a chosen name (a symbolic link), in raw mode.

#include <cstdint>
#include <span>
#include <string>

namespace vinst {

// Puts a symbolic link at `linkPath` pointing to `target`. A link already
// there is replaced; any other file is left alone and reported.
bool PlaceLink(const std::string &target, const std::string &linkPath, std::string &error);

class VirtualPort {
public:
    VirtualPort() = default;
    ~VirtualPort();
    VirtualPort(const VirtualPort &) = delete;
    VirtualPort &operator=(const VirtualPort &) = delete;

    bool open(const std::string &linkPath, std::string &error);
    // Closes both ends and removes the link: the program's open port then
    // sees a hang-up.
    void unplug();

    // Waits, up to `msecs`, until the other end has read everything sent:
    // a hang-up throws away what is still on its way.
    void waitUntilTaken(int msecs);

    bool isOpen() const { return m_master >= 0; }
    int fd() const { return m_master; }

    // Readable when the program's side has opened or closed the port; then
    // call noteOpenings(). A program that dies with the port open leaves its
    // exclusive flag on the terminal (this end keeps it alive), which would
    // keep any restarted program that is not root out: once nobody has the
    // port open any more, the flag is cleared.
    int openingsFd() const { return m_watch; }
    void noteOpenings();

    // Whatever has arrived, up to `capacity` bytes; 0 when nothing has.
    std::size_t receive(std::uint8_t *buffer, std::size_t capacity);
    // Paced: at the speed of 19200 baud, 10 bits a byte. Bytes that cannot be
    // delivered within a second (nobody reading) are dropped.
    void send(std::span<const std::uint8_t> bytes, bool paced);

private:
    void watchOpenings();
    bool writeAll(std::span<const std::uint8_t> bytes);

    int m_master = -1;
    // Held open so that the program may close and reopen the port at will
    // without the line hanging up.
    int m_slave = -1;
    int m_watch = -1;      // inotify on the slave's name
    int m_openers = 0;     // openings of the slave other than ours
    std::string m_linkPath;
    std::string m_slavePath;
};

}  // namespace vinst
