#include "furdata/fur_text_line.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "host/status.h"

namespace vellimor {
namespace {

constexpr std::string_view kBlanks = " \t\n\r";

struct RawLine {
    std::string text;  // without its line feed
    bool end_of_file = false;
    bool too_long = false;
};

// Reads up to the next line feed. A line longer than the format allows is kept only up to that
// length and the rest of it is consumed, so that it can never become settings of its own.
RawLine read_raw_line(std::FILE *file) {
    RawLine line;
    int c = std::getc(file);
    if (c == EOF) {
        line.end_of_file = true;
        return line;
    }
    for (; c != EOF && c != '\n'; c = std::getc(file)) {
        if (static_cast<int>(line.text.size()) < kMaxFurLineLength) {
            line.text.push_back(static_cast<char>(c));
        } else {
            line.too_long = true;
        }
    }
    return line;
}

// The blank-separated words of a line and where each begins.
struct Word {
    std::string_view text;
    size_t start;
};

std::vector<Word> split_words(std::string_view line, size_t max_words) {
    std::vector<Word> words;
    size_t pos = 0;
    while (words.size() < max_words) {
        pos = line.find_first_not_of(kBlanks, pos);
        if (pos == std::string_view::npos) break;
        size_t end = line.find_first_of(kBlanks, pos);
        if (end == std::string_view::npos) end = line.size();
        words.push_back({line.substr(pos, end - pos), pos});
        pos = end;
    }
    return words;
}

// The value of a setting: from its first character to the end of the line, so that a text
// with blanks in it (a file name) comes back whole; blanks and tabs after it are not part of it.
std::string value_to_end_of_line(std::string_view line, size_t start) {
    std::string_view value = line.substr(start);
    const size_t last = value.find_last_not_of(kBlanks);
    return std::string(value.substr(0, last == std::string_view::npos ? 0 : last + 1));
}

// The first word stays with the error, so that the block readers can name the line.
FurLine malformed(const std::string &line, const char *message, const char *line_format, int &errors) {
    status_message(kStatusError, "%s", message);
    // The line follows as plain text, under the message.
    status_message(kStatusPlain, line_format, line.c_str());
    ++errors;
    FurLine result;
    result.kind = kLineError;
    const std::vector<Word> words = split_words(line, 1);
    if (!words.empty()) result.first_word = std::string(words[0].text);
    return result;
}

constexpr const char *kLineFormat = "line: %s\n";

}  // namespace

int leading_integer(const std::string &text) {
    errno = 0;
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

double leading_real(const std::string &text) { return std::strtod(text.c_str(), nullptr); }

FurLine read_fur_line(std::FILE *file, int &errors) {
    const RawLine raw = read_raw_line(file);
    FurLine line;
    if (raw.end_of_file) {
        line.kind = kLineEndOfFile;
        return line;
    }
    if (raw.too_long) {
        return malformed(raw.text, "Fetch Error: line longer than 511 characters\n", kLineFormat,
                         errors);
    }
    const std::vector<Word> words = split_words(raw.text, 3);
    if (words.empty()) {
        line.kind = kLineNothing;
        return line;
    }
    const std::string_view first = words[0].text;
    if (first.starts_with('#')) {
        line.kind = kLineComment;
        return line;
    }
    const size_t more = words.size() - 1;
    line.first_word = std::string(first);
    auto word = [&](size_t k) { return std::string(words[k].text); };

    if (first == "OBJECT") {
        if (more < 2)
            return malformed(raw.text, "Fetch Error: no number of texturekeys and name after OBJECT\n",
                             kLineFormat, errors);
        line.kind = kLineObject;
        line.count = leading_integer(word(1));
        line.name = word(2);
    } else if (first == "END") {
        if (more != 0)
            return malformed(raw.text, "Fetch Error: END must be the only word on a line\n",
                             kLineFormat, errors);
        line.kind = kLineEnd;
    } else if (first == "PICTURE") {
        if (more < 1)
            return malformed(raw.text, "Fetch Error: no name after PICTURE\n", kLineFormat, errors);
        line.kind = kLinePicture;
        line.name = word(1);
    } else if (first == "COLORKEY" || first == "MAIN_COLORKEY") {
        const bool main = first == "MAIN_COLORKEY";
        if (more < 2)
            return malformed(raw.text,
                             main ? "Fetch Error: no type and number after MAIN_COLORKEY\n"
                                  : "Fetch Error: no type and number after COLORKEY\n",
                             kLineFormat, errors);
        line.kind = main ? kLineMainColorKey : kLineColorKey;
        line.type = leading_integer(word(1));
        line.index = leading_integer(word(2));
    } else if (first == "TEXTUREKEY") {
        if (more < 1)
            return malformed(raw.text, "Fetch Error: no  number after TEXTUREKEY\n", kLineFormat,
                             errors);
        line.kind = kLineTextureKey;
        line.index = leading_integer(word(1));
    } else {
        if (more < 2 || words[1].text != "=")
            return malformed(raw.text, "Fetch Error: variable definition must be: var = val\n",
                             "       line: %s\n", errors);
        line.kind = kLineSetting;
        line.key = line.first_word;
        line.value_text = value_to_end_of_line(raw.text, words[2].start);
        line.real = leading_real(line.value_text);
        line.integer = leading_integer(line.value_text);
    }
    return line;
}

namespace {

bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

std::string replaced(std::string text, bool (*breaks)(char)) {
    for (char &c : text)
        if (breaks(c)) c = '_';
    return text;
}

}  // namespace

std::string fur_text_word(const std::string &name) {
    return replaced(name, [](char c) { return c == ' ' || is_control(c); });
}

std::string fur_text_value(const std::string &text) { return replaced(text, is_control); }

}  // namespace vellimor
