// The line reader of the fur settings text file: reads one line and tells what kind it is.
#pragma once

#include <cstdio>
#include <string>

namespace vellimor {

enum FurLineKind {
    kLineObject = 0,        // OBJECT count name
    kLineEnd = 1,           // END
    kLineSetting = 2,       // key = value
    kLineColorKey = 3,      // COLORKEY type index
    kLineMainColorKey = 4,  // MAIN_COLORKEY type index
    kLinePicture = 5,       // PICTURE name
    kLineTextureKey = 6,    // TEXTUREKEY index
    kLineEndOfFile = 7,
    kLineNothing = 8,       // a line without words
    kLineError = 9,         // a malformed line, already reported
    kLineComment = 10       // a line whose first word begins with '#': a note for people
};

// Longest line the format has: longer lines are malformed.
constexpr int kMaxFurLineLength = 511;

struct FurLine {
    FurLineKind kind = kLineEndOfFile;
    std::string first_word;
    std::string name;        // OBJECT: the object's name; PICTURE: the picture's name
    int count = 0;           // OBJECT: texture key count
    int type = 0;            // COLORKEY, MAIN_COLORKEY: colour type
    int index = 0;           // COLORKEY, MAIN_COLORKEY, TEXTUREKEY
    std::string key;         // setting: the key
    std::string value_text;  // setting: the value, from the third word to the end of the line
    double real = 0.0;       // setting: the value as a real
    int integer = 0;         // setting: the value as an integer
};

// Reads and classifies the next line; malformed lines are reported (level 0) with the line.
// errors counts them.
FurLine read_fur_line(std::FILE *file, int &errors);

// A name as one word of a header line (OBJECT): blanks and control characters, which would split
// the word or end the line, become '_'. The reader compares names in this form too, so a surface
// whose name holds them still finds its block.
std::string fur_text_word(const std::string &name);
// A text value (a file name) for the rest of a setting line: control characters, which would end
// the line or hide in it, become '_'.
std::string fur_text_value(const std::string &text);

// Decimal number from the leading characters of a text, 0 when there is none; integers are held
// to the int range.
int leading_integer(const std::string &text);
double leading_real(const std::string &text);

}  // namespace vellimor
