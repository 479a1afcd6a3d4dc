// Which frames a command works on, as a pipeline names them: "5", "1-100", "1-100x2",
// "1,5,10-20", or the older START END [STEP] as separate arguments. A list of runs, each
// start..end by step, in the order given; also how it is cut into chunks for processes and farm
// tasks, and written back as one argument.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vellimor::host_driver {

// Frames start, start + step, ... up to end (start <= end, step >= 1).
struct FrameRun {
    int start = 0, end = 0, step = 1;
    int count() const;
};

using FrameList = std::vector<FrameRun>;

// Parses one frame specification ("5", "-3", "1-100", "1-100x2", "-10--5", "1,5,10-20").
// False, with `error` saying why, for anything else (an empty part, a start after its end, a
// step below 1, a number beyond a billion, more than a billion frames in all).
bool parse_frame_spec(const std::string &text, FrameList &frames, std::string &error);

// The frames written back as one specification that parse_frame_spec reads ("1-9x2,12").
std::string frame_spec_text(const FrameList &frames);

int64_t frame_count(const FrameList &frames);
// The smallest frame of the list (which must not be empty).
int first_frame(const FrameList &frames);

// Calls `visit(frame)` for every frame in order.
template <typename Visit>
void for_each_frame(const FrameList &frames, Visit visit) {
    for (const FrameRun &run : frames)
        for (int64_t f = run.start; f <= run.end; f += run.step) visit(int(f));
}

// The frames cut into pieces of at most `size` frames each, in order (the last takes what is
// left).
std::vector<FrameList> chunks_of_size(const FrameList &frames, int size);
// The frames cut into at most `chunks` pieces, as equal as they come (earlier pieces one frame
// longer where they cannot be equal).
std::vector<FrameList> split_into_chunks(const FrameList &frames, int chunks);

}  // namespace vellimor::host_driver
