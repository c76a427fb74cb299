#include "vinst/Options.h"

#include <charconv>
#include <map>

namespace vinst {

namespace {

std::optional<int> ParseCount(const std::string &text)
{
    int value = 0;
    const char *end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || last != end || value < 0)
        return std::nullopt;
    return value;
}

bool IsPlainName(const std::string &name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::map<std::string, int FaultFlags::*> CountFlags()
{
    return {{"--answer-from", &FaultFlags::answerFrom}, {"--drop-every", &FaultFlags::dropEvery},
            {"--wrong-echo", &FaultFlags::wrongEcho},   {"--noise", &FaultFlags::noise},
            {"--split-gap", &FaultFlags::splitGapMs},   {"--truncate", &FaultFlags::truncate},
            {"--unplug-after", &FaultFlags::unplugAfter}};
}

std::map<std::string, std::string Options::*> TextFlags()
{
    return {{"--dir", &Options::dir},
            {"--port", &Options::port},
            {"--memory", &Options::memoryFile},
            {"--from", &Options::startFile},
            {"--registers", &Options::registersFile},
            {"--log", &Options::logFile}};
}

}  // namespace

std::string UsageText(const std::string &program)
{
    return "usage: " + program + " --dir DIR --port COMn [options]\n"
           "Plays the breath-alcohol instrument on a pseudo-terminal: makes DIR/COMn a\n"
           "link to it and answers every request of the program, until SIGTERM or SIGINT.\n"
           "\n"
           "  --dir DIR          directory in which the port's link is made\n"
           "  --port COMn        name of the link, e.g. COM1\n"
           "  --memory FILE      memory image: loaded when FILE exists, saved at exit;\n"
           "                     without it, a few months of tests made up afresh\n"
           "  --from DUMP        starts from the memory dump DUMP, exactly 65536 bytes as\n"
           "                     the program's memory page saves them; DUMP is never\n"
           "                     written (with --memory too, the image is saved there)\n"
           "  --registers FILE   the 256 internal registers, clock and correction among\n"
           "                     them: loaded when FILE exists, saved at exit\n"
           "  --log FILE         writes every frame received and every reply\n"
           "  --no-pace          answers at once instead of at 19200 baud\n"
           "  -h, --help         shows this text\n"
           "\n"
           "Faults, for trying the program on a bad line:\n"
           "  --silent           never answers\n"
           "  --answer-from K    leaves requests 1 to K-1 unanswered\n"
           "  --drop-every K     leaves every K-th request unanswered\n"
           "  --wrong-echo M     echoes a wrong address in the first M replies\n"
           "  --noise N          sends N bytes of line noise before each reply\n"
           "  --split-gap MS     sends each reply in two halves MS milliseconds apart\n"
           "  --truncate N       leaves out the last N bytes of each reply\n"
           "  --unplug-after N   goes off the line after N requests\n";
}

std::optional<Options> ParseOptions(const std::vector<std::string> &args, std::string &error)
{
    Options options;
    const auto counts = CountFlags();
    const auto texts = TextFlags();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &flag = args[i];
        if (flag == "--help" || flag == "-h") {
            options.help = true;
            return options;
        }
        if (flag == "--no-pace") {
            options.paced = false;
            continue;
        }
        if (flag == "--silent") {
            options.faults.silent = true;
            continue;
        }
        const auto count = counts.find(flag);
        const auto text = texts.find(flag);
        if (count == counts.end() && text == texts.end()) {
            error = "unknown argument " + flag;
            return std::nullopt;
        }
        if (i + 1 == args.size()) {
            error = flag + " needs a value";
            return std::nullopt;
        }
        const std::string &value = args[++i];
        if (text != texts.end()) {
            options.*(text->second) = value;
            continue;
        }
        const auto number = ParseCount(value);
        if (!number) {
            error = flag + " needs a whole number, not " + value;
            return std::nullopt;
        }
        options.faults.*(count->second) = *number;
    }
    if (options.dir.empty() || !IsPlainName(options.port)) {
        error = "--dir and --port (a plain name such as COM1) are required";
        return std::nullopt;
    }
    return options;
}

}  // namespace vinst
