#include "vexasim/project_file/settings_stream.h"

#include <cstring>

#include "platform/kernel/utf8.h"

namespace vexasim {
namespace {

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& b) : b_(b) {}
    bool Int(int32_t& v) {
        if (b_.size() - at_ < 4) return false;
        uint32_t u = b_[at_] | (b_[at_ + 1] << 8) | (b_[at_ + 2] << 16) | (static_cast<uint32_t>(b_[at_ + 3]) << 24);
        std::memcpy(&v, &u, 4);
        at_ += 4;
        return true;
    }
    bool Skip(size_t n) {
        if (b_.size() - at_ < n) return false;
        at_ += n;
        return true;
    }
    // A length-prefixed UTF-16LE string with its terminator, as UTF-8.
    bool String(std::string& out) {
        int32_t len = 0;
        if (!Int(len) || len < 0 || static_cast<size_t>(len) > b_.size() - at_ || len % 2) return false;
        out.clear();
        size_t units = len >= 2 ? static_cast<size_t>(len) / 2 - 1 : 0;
        for (size_t i = 0; i < units; ++i) {
            uint32_t c = b_[at_ + 2 * i] | (b_[at_ + 2 * i + 1] << 8);
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < units) {
                uint32_t d = b_[at_ + 2 * i + 2] | (b_[at_ + 2 * i + 3] << 8);
                if (d >= 0xDC00 && d < 0xE000) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
                    ++i;
                }
            }
            platform::AppendUtf8(out, c);
        }
        at_ += static_cast<size_t>(len);
        return true;
    }

private:
    const std::vector<uint8_t>& b_;
    size_t at_ = 0;
};

}  // namespace

std::vector<std::pair<std::string, std::string>> ContourPairs(const std::vector<uint8_t>& stream) {
    return ReadRunSettings(stream).pairs;
}

RunSettings ReadRunSettings(const std::vector<uint8_t>& stream) {
    RunSettings out;
    Reader r(stream);
    int32_t version = 0, harmonic = 0, count = 0;
    std::string s;
    if (!r.Int(version) || version < 2) return out;
    // Name, harmonic, centre magnitude and angle, radius, gamma source, schematic, tuner.
    if (!r.String(s) || !r.Int(harmonic) || !r.Skip(8 + 8 + 8 + 4) || !r.String(out.schematic) ||
        !r.String(out.tuner) || !r.Int(count))
        return RunSettings();
    out.known = true;
    out.harmonic = harmonic >= 1 && harmonic <= 3 ? harmonic : 0;
    for (int32_t i = 0; i < count; ++i) {
        std::pair<std::string, std::string> p;
        if (!r.String(p.first) || !r.String(p.second)) break;
        out.pairs.push_back(std::move(p));
    }
    return out;
}

}  // namespace vexasim
