#include "apps/vellimor-host/frame_list.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace vellimor::host_driver {
namespace {

constexpr long kFrameLimit = 1000000000L;

// A signed whole number at text[i...]; advances i past it.
bool read_number(const std::string &text, size_t &i, int &value) {
    const size_t begin = i;
    if (i < text.size() && text[i] == '-') ++i;
    const size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == digits) return false;
    errno = 0;
    const long n = std::strtol(text.substr(begin, i - begin).c_str(), nullptr, 10);
    if (errno != 0 || n < -kFrameLimit || n > kFrameLimit) return false;
    value = int(n);
    return true;
}

// One part of a list: "N", "A-B" or "A-BxS".
bool parse_run(const std::string &part, FrameRun &run, std::string &error) {
    size_t i = 0;
    error = "\"" + part + "\" is no frame, range (A-B) or stepped range (A-BxS)";
    if (!read_number(part, i, run.start)) return false;
    run.end = run.start;
    run.step = 1;
    if (i < part.size()) {
        if (part[i] != '-' || !read_number(part, ++i, run.end)) return false;
        if (i < part.size() && (part[i] != 'x' || !read_number(part, ++i, run.step))) return false;
        if (i != part.size()) return false;
    }
    if (run.start > run.end) {
        error = "in \"" + part + "\" the start frame lies after the end frame";
        return false;
    }
    if (run.step < 1) {
        error = "in \"" + part + "\" the step must be 1 or more";
        return false;
    }
    return true;
}

}  // namespace

int FrameRun::count() const { return end < start ? 0 : int((int64_t(end) - start) / step + 1); }

bool parse_frame_spec(const std::string &text, FrameList &frames, std::string &error) {
    FrameList parsed;
    size_t begin = 0;
    while (true) {
        const size_t comma = std::min(text.find(',', begin), text.size());
        FrameRun run;
        if (!parse_run(text.substr(begin, comma - begin), run, error)) return false;
        parsed.push_back(run);
        if (frame_count(parsed) > kFrameLimit) {
            error = "\"" + text + "\" names more than " + std::to_string(kFrameLimit) + " frames";
            return false;
        }
        if (comma == text.size()) break;
        begin = comma + 1;
    }
    frames = std::move(parsed);
    return true;
}

std::string frame_spec_text(const FrameList &frames) {
    std::string out;
    for (const FrameRun &run : frames) {
        if (!out.empty()) out += ",";
        out += std::to_string(run.start);
        if (run.end == run.start) continue;
        out += "-" + std::to_string(run.end);
        if (run.step != 1) out += "x" + std::to_string(run.step);
    }
    return out;
}

int64_t frame_count(const FrameList &frames) {
    int64_t n = 0;
    for (const FrameRun &run : frames) n += run.count();
    return n;
}

int first_frame(const FrameList &frames) {
    int first = frames.front().start;
    for (const FrameRun &run : frames) first = std::min(first, run.start);
    return first;
}

namespace {

// The next `size` frames of the list from run r, frame offset k within it; advances r and k.
FrameList take_frames(const FrameList &frames, size_t &r, int &k, int64_t size) {
    FrameList piece;
    while (size > 0 && r < frames.size()) {
        const FrameRun &run = frames[r];
        const int n = int(std::min<int64_t>(size, run.count() - k));
        const int start = int(run.start + int64_t(k) * run.step);
        piece.push_back({start, int(start + int64_t(n - 1) * run.step), run.step});
        size -= n;
        k += n;
        if (k == run.count()) {
            ++r;
            k = 0;
        }
    }
    return piece;
}

}  // namespace

std::vector<FrameList> chunks_of_size(const FrameList &frames, int size) {
    size = std::max(size, 1);
    std::vector<FrameList> out;
    size_t r = 0;
    int k = 0;
    for (int64_t done = 0, total = frame_count(frames); done < total; done += size)
        out.push_back(take_frames(frames, r, k, size));
    return out;
}

std::vector<FrameList> split_into_chunks(const FrameList &frames, int chunks) {
    const int64_t total = frame_count(frames);
    chunks = int(std::clamp<int64_t>(chunks, 1, std::max<int64_t>(total, 1)));
    std::vector<FrameList> out;
    size_t r = 0;
    int k = 0;
    for (int c = 0; c < chunks && total > 0; ++c)
        out.push_back(take_frames(frames, r, k, total / chunks + (c < total % chunks ? 1 : 0)));
    return out;
}

}  // namespace vellimor::host_driver
