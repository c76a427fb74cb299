#include "vinst/Options.h"

#include <charconv>
#include <map>

namespace vinst {

const char *const UsageText =
    "usage: vinst --dir DIR --port COMn [--memory FILE] [--log FILE] [--no-pace]\n"
    "             [--silent] [--answer-from K] [--drop-every K] [--wrong-echo M]\n"
    "             [--noise N] [--split-gap MS] [--truncate N] [--unplug-after N]\n";

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
            {"--log", &Options::logFile}};
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string> &args, std::string &error)
{
    Options options;
    const auto counts = CountFlags();
    const auto texts = TextFlags();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &flag = args[i];
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
