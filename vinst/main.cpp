// The virtual instrument: plays the breath-alcohol instrument on a
// pseudo-terminal, for the program's tests and for demonstrations.
//
//   vinst --dir DIR --port COMn [--memory FILE] [--log FILE] [--no-pace] [faults]
//   vinst --help
//
// SIGTERM or SIGINT ends it: the link goes, the memory image is saved.

#include "vinst/Options.h"
#include "vinst/Runner.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <libgen.h>
#include <unistd.h>

namespace {

int StopPipe[2] = {-1, -1};

void RequestStop(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(StopPipe[1], &byte, 1);
}

bool CatchStopSignals()
{
    if (::pipe(StopPipe) != 0)
        return false;
    for (int fd : StopPipe)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    struct sigaction action{};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string error;
    const std::string program = ::basename(argv[0]);
    const auto options = vinst::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "%s: %s\n%s", program.c_str(), error.c_str(), vinst::UsageText(program).c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(vinst::UsageText(program).c_str(), stdout);
        return 0;
    }
    if (!CatchStopSignals()) {
        std::perror("vinst");
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    return vinst::RunInstrument(*options, StopPipe[0]);
}
