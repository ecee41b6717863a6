// The page program's options (web_options.h).
#include "app/web_options.h"

#include <cstdlib>

namespace {

// A whole-token decimal count within [min, max].
bool parseCount(const std::string& s, uint32_t min, uint32_t max, uint32_t& out) {
    if (s.empty() || s.size() > 10 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    const unsigned long long value = std::strtoull(s.c_str(), nullptr, 10);
    if (value < min || value > max) return false;
    out = uint32_t(value);
    return true;
}

} // namespace

bool parseWebOptions(const std::vector<std::string>& args, WebOptions& out, std::string& error) {
    WebOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& opt = args[i];
        if (opt == "--timedemo") {
            options.timedemo = true;
            continue;
        }
        if (opt != "--dir" && opt != "--script" && opt != "--frames" && opt != "--shots") {
            error = "unknown option \"" + opt + "\"";
            return false;
        }
        if (i + 1 >= args.size()) {
            error = opt + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (opt == "--dir" || opt == "--script") {
            if (value.empty()) {
                error = opt + " needs a value";
                return false;
            }
            (opt == "--dir" ? options.dir : options.script) = value;
        } else if (opt == "--frames") {
            if (!parseCount(value, 1, 100000000, options.frames)) {
                error = "frames takes a count from 1 to 100000000, not \"" + value + "\"";
                return false;
            }
        } else {
            options.shots.clear();
            size_t start = 0;
            for (;;) {
                const size_t comma = value.find(',', start);
                uint32_t frame = 0;
                const std::string item = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                if (!parseCount(item, 0, 100000000, frame)) {
                    error = "shots takes frame numbers separated by commas, not \"" + value + "\"";
                    return false;
                }
                options.shots.push_back(frame);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        }
    }
    if (options.timedemo && options.script.empty()) options.script = kWebFlight;
    out = options;
    return true;
}
