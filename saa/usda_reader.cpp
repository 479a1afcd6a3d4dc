// USD text layers (.usda): the prim tree with each prim's transform (xformOp:translate, scale,
// rotateX/Y/Z, the six three-axis rotations, orient, transform, in xformOpOrder, "!invert!" and
// "!resetXformStack!"), Mesh prims (points, faceVertexCounts, faceVertexIndices, orientation) and
// NurbsPatch prims (vertex counts, orders, knots, ranges, points, pointWeights, orientation),
// with every transform of the prim and its ancestors applied to the points. Attributes that only
// have time samples take their earliest sample. Other layers (sublayers, references, payloads)
// are not followed. Arrays are read straight into flat lists of numbers, so memory follows the
// file's content.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <cstring>
#include <string_view>

#include "saa/model_pieces.h"
#include "saa/surfaces.h"

namespace vellimor::saa {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Prims nest no deeper than this; deeper nesting is damage.
constexpr int kMaxPrimDepth = 256;
// A matrix is a tuple of tuples; nothing nests deeper.
constexpr int kMaxTupleDepth = 4;

enum class Tok { end, word, number, string, asset, path, punct };

struct Token {
    Tok kind = Tok::end;
    std::string_view text;
    double number = 0;
    int line = 0;
};

// An attribute value: numbers flattened (a tuple's width kept), or words and strings.
struct Value {
    std::vector<double> numbers;
    std::vector<std::string> words;
    int width = 1;  // numbers per tuple
    int line = 0;
};

struct Prim {
    std::string type, name;
    int line = 0;
    bool abstract = false;  // "over" or "class"
    std::map<std::string, Value> attributes;
    std::set<std::string> defaults;  // attributes with a default value (not only time samples)
    std::vector<Prim> children;
};

bool word_start(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool word_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':' || c == '.' || c == '!';
}

class Lexer {
public:
    Lexer(const std::string &text, const std::string &file) : s_(text), file_(file) {}

    [[noreturn]] void fail(const std::string &what, int line = 0) const { model_file_error(file_, line ? line : line_, what); }

    const Token &peek() {
        if (!peeked_) {
            next_ = scan();
            peeked_ = true;
        }
        return next_;
    }
    Token take() {
        peek();
        peeked_ = false;
        return next_;
    }
    bool at(char c) { return peek().kind == Tok::punct && peek().text[0] == c; }
    bool accept(char c) {
        if (!at(c)) return false;
        take();
        return true;
    }
    void expect(char c) {
        if (!accept(c)) fail(std::string("expected \"") + c + "\"" + found());
    }
    std::string found() {
        const Token &t = peek();
        return t.kind == Tok::end ? " at the end of the file (is it cut short?)" : " before \"" + std::string(t.text.substr(0, 40)) + "\"";
    }
    int line() { return peek().line; }

private:
    void blank() {
        while (i_ < s_.size()) {
            const char c = s_[i_];
            if (c == '\n') ++line_;
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++i_;
            } else if (c == '#') {
                while (i_ < s_.size() && s_[i_] != '\n') ++i_;
            } else {
                break;
            }
        }
    }

    std::string_view span(std::size_t start) const { return std::string_view(s_).substr(start, i_ - start); }

    // Up to the closing delimiter, counting lines; fails at the end of the file.
    void until(std::string_view close, const char *what) {
        const std::size_t end = s_.find(close, i_);
        if (end == std::string::npos) fail(std::string(what) + " is not closed (is the file cut short?)");
        line_ += static_cast<int>(std::count(s_.begin() + static_cast<long>(i_), s_.begin() + static_cast<long>(end), '\n'));
        i_ = end + close.size();
    }

    Token scan() {
        blank();
        Token t;
        t.line = line_;
        if (i_ >= s_.size()) return t;
        const std::size_t start = i_;
        const char c = s_[i_];
        if (c == '"' || c == '\'') {
            const bool triple = s_.compare(i_, 3, std::string(3, c)) == 0;
            i_ += triple ? 3 : 1;
            if (triple) {
                until(std::string(3, c), "a string");
            } else {
                while (i_ < s_.size() && s_[i_] != c && s_[i_] != '\n') i_ += s_[i_] == '\\' ? 2 : 1;
                if (i_ >= s_.size() || s_[i_] != c) fail("a string is not closed on its line");
                ++i_;
            }
            t.kind = Tok::string;
            const std::size_t quote = triple ? 3 : 1;
            t.text = std::string_view(s_).substr(start + quote, i_ - start - 2 * quote);
        } else if (c == '@') {
            ++i_;
            until(s_.compare(start, 3, "@@@") == 0 ? "@@@" : "@", "an asset path");
            t.kind = Tok::asset;
            t.text = span(start);
        } else if (c == '<') {
            ++i_;
            until(">", "a path");
            t.kind = Tok::path;
            t.text = span(start);
        } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.') {
            while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || std::strchr("+-.", s_[i_]))) ++i_;
            t.kind = Tok::number;
            t.text = span(start);
            std::string_view digits = t.text.front() == '+' ? t.text.substr(1) : t.text;
            auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), t.number);
            if (ec != std::errc() || end != digits.data() + digits.size())
                fail("\"" + std::string(t.text.substr(0, 40)) + "\" is not a number");
        } else if (word_start(c)) {
            while (i_ < s_.size() && word_char(s_[i_])) ++i_;
            t.kind = Tok::word;
            t.text = span(start);
            if (t.text == "inf" || t.text == "nan") {
                t.kind = Tok::number;
                t.number = NAN;
            }
        } else if (std::strchr("{}()[]=,;:&", c)) {
            ++i_;
            t.kind = Tok::punct;
            t.text = span(start);
        } else {
            fail(std::string("unexpected character \"") + (std::isprint(static_cast<unsigned char>(c)) ? std::string(1, c) : "\\x" + std::to_string(static_cast<unsigned char>(c))) + "\"");
        }
        return t;
    }

    const std::string &s_;
    const std::string &file_;
    std::size_t i_ = 0;
    int line_ = 1;
    Token next_;
    bool peeked_ = false;
};

class UsdaReader {
public:
    UsdaReader(const std::string &text, const std::string &file) : lex_(text, file), text_(text), file_(file) {}

    ModelPieces read() {
        if (text_.rfind("#usda ", 0) != 0) lex_.fail("not a USD text layer (no \"#usda 1.0\" first line)", 1);
        if (lex_.at('(')) skip_group();
        while (lex_.peek().kind != Tok::end) {
            if (lex_.peek().kind != Tok::word) lex_.fail("expected a prim (def, over or class)" + lex_.found());
            walk(prim(0), identity(), false);
        }
        if (pieces_.meshes.empty() && pieces_.surfaces.empty() && pieces_.refused.empty())
            lex_.fail("no Mesh or NurbsPatch prim in the layer", 1);
        return std::move(pieces_);
    }

private:
    static Matrix4 identity() {
        Matrix4 m{};
        for (int i = 0; i < 4; ++i) m[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)] = 1;
        return m;
    }

    // Skips a balanced (), [] or {} group, whatever it holds.
    void skip_group() {
        std::string closers;
        do {
            const Token t = lex_.take();
            if (t.kind == Tok::end) lex_.fail("a bracket is not closed (is the file cut short?)", t.line);
            if (t.kind != Tok::punct) continue;
            const char c = t.text[0];
            if (c == '(' || c == '[' || c == '{') closers.push_back(c == '(' ? ')' : c == '[' ? ']' : '}');
            else if (c == ')' || c == ']' || c == '}') {
                if (closers.empty() || closers.back() != c) lex_.fail(std::string("unexpected \"") + c + "\"", t.line);
                closers.pop_back();
            }
        } while (!closers.empty());
    }

    // def|over|class [Type] "name" [(metadata)] { properties and children }
    Prim prim(int depth) {
        const Token specifier = lex_.take();
        if (specifier.text != "def" && specifier.text != "over" && specifier.text != "class")
            lex_.fail("expected def, over or class, not \"" + std::string(specifier.text) + "\"", specifier.line);
        if (depth >= kMaxPrimDepth) lex_.fail("prims nest more than " + std::to_string(kMaxPrimDepth) + " deep", specifier.line);
        Prim p;
        p.line = specifier.line;
        p.abstract = specifier.text != "def";
        if (lex_.peek().kind == Tok::word) p.type = std::string(lex_.take().text);
        if (lex_.peek().kind != Tok::string) lex_.fail("expected the prim's name in quotes" + lex_.found());
        p.name = std::string(lex_.take().text);
        if (lex_.at('(')) skip_group();
        lex_.expect('{');
        while (!lex_.accept('}')) {
            const Token &t = lex_.peek();
            if (t.kind == Tok::end) lex_.fail("the prim \"" + p.name + "\" is not closed (is the file cut short?)");
            if (t.kind == Tok::word && (t.text == "def" || t.text == "over" || t.text == "class"))
                p.children.push_back(prim(depth + 1));
            else
                property(p);
        }
        return p;
    }

    // Transforms pass from each prim to its children; "over" and "class" prims and what they
    // hold are no geometry of their own.
    void walk(const Prim &p, const Matrix4 &parent, bool abstract) {
        bool reset = false;
        const Matrix4 local = local_transform(p, reset);
        const Matrix4 world = reset ? local : multiply(local, parent);
        abstract = abstract || p.abstract;
        if (!abstract) take(p, world, p.line);
        for (const Prim &child : p.children) walk(child, world, abstract);
    }

    // [custom] [uniform|varying] TYPE[[]] NAME[.timeSamples|.connect] [= VALUE] [(metadata)]
    // rel NAME [= targets] [(metadata)]; variantSet and reorder statements are skipped.
    void property(Prim &p) {
        Token t = lex_.take();
        if (t.kind != Tok::word) lex_.fail("expected a property" + std::string(t.kind == Tok::end ? " (is the file cut short?)" : " before \"" + std::string(t.text) + "\""), t.line);
        if (t.text == "reorder") {
            lex_.take();
            lex_.expect('=');
            skip_value();
            return;
        }
        if (t.text == "variantSet") {
            lex_.take();
            lex_.expect('=');
            skip_group();
            return;
        }
        while (t.text == "custom" || t.text == "uniform" || t.text == "varying" || t.text == "prepend" ||
               t.text == "append" || t.text == "delete" || t.text == "add") {
            t = lex_.take();
            if (t.kind != Tok::word) lex_.fail("expected a property's type", t.line);
        }
        const bool relationship = t.text == "rel";
        if (!relationship) {
            if (lex_.accept('[')) lex_.expect(']');
            t = lex_.take();
            if (t.kind != Tok::word) lex_.fail("expected a property's name", t.line);
        } else {
            t = lex_.take();
        }
        std::string name(t.text);
        if (lex_.accept('=')) {
            if (relationship) {
                skip_value();
            } else if (name.size() > 12 && name.compare(name.size() - 12, 12, ".timeSamples") == 0) {
                name.resize(name.size() - 12);
                samples(p, name);
            } else {
                Value v = value();
                // A default value wins over time samples, whichever comes first.
                p.attributes[name] = std::move(v);
                p.defaults.insert(name);
            }
        }
        if (lex_.at('(')) skip_group();
        lex_.accept(';');
    }

    void skip_value() {
        if (lex_.at('(') || lex_.at('[') || lex_.at('{')) skip_group();
        else lex_.take();
    }

    // { time: value, ... }: the earliest sample, unless the attribute has a default.
    void samples(Prim &p, const std::string &name) {
        lex_.expect('{');
        std::optional<double> earliest;
        while (!lex_.accept('}')) {
            const Token time = lex_.take();
            if (time.kind != Tok::number) lex_.fail("expected a time sample's time", time.line);
            lex_.expect(':');
            Value v = value();
            const bool keep = !p.defaults.count(name) && (!earliest || time.number < *earliest);
            if (keep) {
                earliest = time.number;
                p.attributes[name] = std::move(v);
            }
            if (!lex_.accept(',')) {
                lex_.expect('}');
                break;
            }
        }
    }

    // Numbers, tuples (nested ones flattened: a matrix is 16 numbers), arrays of either,
    // strings, words and paths.
    Value value() {
        Value v;
        v.line = lex_.line();
        if (lex_.accept('[')) {
            int width = -1;
            while (!lex_.accept(']')) {
                int w = element(v);
                if (width >= 0 && w != width) lex_.fail("an array mixes values of different sizes");
                width = w;
                if (!lex_.accept(',')) {
                    lex_.expect(']');
                    break;
                }
            }
            v.width = width > 0 ? width : 1;
        } else if (lex_.at('{')) {
            skip_group();  // dictionaries shape nothing here
        } else {
            v.width = element(v);
        }
        return v;
    }

    // One scalar, tuple, word or string into v; returns how many numbers it added.
    int element(Value &v, int depth = 0) {
        if (lex_.at('(')) {
            if (depth >= kMaxTupleDepth) lex_.fail("tuples nest more than " + std::to_string(kMaxTupleDepth) + " deep");
            lex_.take();
            int count = 0;
            while (!lex_.accept(')')) {
                count += element(v, depth + 1);
                if (!lex_.accept(',')) {
                    lex_.expect(')');
                    break;
                }
            }
            return count;
        }
        const Token t = lex_.take();
        switch (t.kind) {
        case Tok::number:
            if (!std::isfinite(t.number)) lex_.fail("\"" + std::string(t.text) + "\" is not a finite number", t.line);
            v.numbers.push_back(t.number);
            return 1;
        case Tok::word:
        case Tok::string:
        case Tok::asset:
        case Tok::path:
            v.words.emplace_back(t.text);
            return 0;
        default:
            lex_.fail("expected a value" + std::string(t.kind == Tok::end ? " (is the file cut short?)" : " before \"" + std::string(t.text) + "\""), t.line);
        }
    }

    // ---- transforms ----

    static Matrix4 multiply(const Matrix4 &a, const Matrix4 &b) {
        Matrix4 m{};
        for (std::size_t i = 0; i < 4; ++i)
            for (std::size_t j = 0; j < 4; ++j)
                for (std::size_t k = 0; k < 4; ++k) m[i][j] += a[i][k] * b[k][j];
        return m;
    }

    // Rotation by `degrees` about axis a (0 x, 1 y, 2 z), for row vectors.
    static Matrix4 rotation(int a, double degrees) {
        Matrix4 m = identity();
        const double r = degrees * kPi / 180.0, c = std::cos(r), s = std::sin(r);
        const std::size_t i = static_cast<std::size_t>((a + 1) % 3), j = static_cast<std::size_t>((a + 2) % 3);
        m[i][i] = c;
        m[i][j] = s;
        m[j][i] = -s;
        m[j][j] = c;
        return m;
    }

    const Value &attribute(const Prim &p, const std::string &name, std::size_t numbers, int line) {
        auto it = p.attributes.find(name);
        if (it == p.attributes.end()) lex_.fail("\"" + p.name + "\" lists " + name + " in xformOpOrder but has no such attribute", line);
        if (it->second.numbers.size() != numbers)
            lex_.fail(name + " of \"" + p.name + "\" needs " + std::to_string(numbers) + " numbers", it->second.line);
        return it->second;
    }

    // The ops of xformOpOrder, the first outermost: a point is transformed by the last op first.
    Matrix4 local_transform(const Prim &p, bool &reset) {
        auto order = p.attributes.find("xformOpOrder");
        Matrix4 m = identity();
        if (order == p.attributes.end()) return m;
        const int line = order->second.line;
        for (const std::string &full : order->second.words) {
            if (full == "!resetXformStack!") {
                reset = true;
                m = identity();
                continue;
            }
            const bool invert = full.rfind("!invert!", 0) == 0;
            const std::string name = invert ? full.substr(8) : full;
            const std::string kind = name.substr(0, name.find(':', 8));
            Matrix4 op = identity();
            if (kind == "xformOp:translate" || kind == "xformOp:scale") {
                const Value &v = attribute(p, name, 3, line);
                for (std::size_t k = 0; k < 3; ++k) {
                    if (kind == "xformOp:translate") op[3][k] = invert ? -v.numbers[k] : v.numbers[k];
                    else if (v.numbers[k] == 0 && invert) lex_.fail(name + " of \"" + p.name + "\" scales by 0 and can't be inverted", v.line);
                    else op[k][k] = invert ? 1 / v.numbers[k] : v.numbers[k];
                }
            } else if (kind == "xformOp:rotateX" || kind == "xformOp:rotateY" || kind == "xformOp:rotateZ") {
                const double a = attribute(p, name, 1, line).numbers[0];
                op = rotation(kind.back() - 'X', invert ? -a : a);
            } else if (kind.size() == 17 && kind.rfind("xformOp:rotate", 0) == 0) {
                const Value &v = attribute(p, name, 3, line);
                // rotateXYZ turns about X first: a row vector meets Rx, then Ry, then Rz.
                const std::string axes = kind.substr(14);
                for (int k = 0; k < 3; ++k) {
                    const int axis = axes[static_cast<std::size_t>(invert ? 2 - k : k)] - 'X';
                    if (axis < 0 || axis > 2) lex_.fail("unknown transform " + name, line);
                    const double a = v.numbers[static_cast<std::size_t>(axis)];
                    op = multiply(op, rotation(axis, invert ? -a : a));
                }
            } else if (kind == "xformOp:orient") {
                const Value &v = attribute(p, name, 4, line);
                double w = v.numbers[0], x = v.numbers[1], y = v.numbers[2], z = v.numbers[3];
                const double n = std::sqrt(w * w + x * x + y * y + z * z);
                if (!(n > 0)) lex_.fail(name + " of \"" + p.name + "\" is no rotation", v.line);
                w /= n, x /= n, y /= n, z /= n;
                if (invert) x = -x, y = -y, z = -z;
                // The rotation matrix of the unit quaternion, transposed for row vectors.
                op[0] = {1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y), 0};
                op[1] = {2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x), 0};
                op[2] = {2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y), 0};
            } else if (kind == "xformOp:transform") {
                const Value &v = attribute(p, name, 16, line);
                for (std::size_t k = 0; k < 16; ++k) op[k / 4][k % 4] = v.numbers[k];
                if (invert) lex_.fail("\"" + p.name + "\": inverted matrix transforms are not read", line);
            } else {
                lex_.fail("\"" + p.name + "\": unknown transform " + name, line);
            }
            m = multiply(op, m);
        }
        return m;
    }

    static Vec3 apply(const Matrix4 &m, double x, double y, double z) {
        Vec3 out{};
        for (std::size_t k = 0; k < 3; ++k) out[k] = x * m[0][k] + y * m[1][k] + z * m[2][k] + m[3][k];
        return out;
    }

    static bool mirrors(const Matrix4 &m) {
        const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
        return det < 0;
    }

    // ---- geometry ----

    const Value *find(const Prim &p, const char *name) {
        auto it = p.attributes.find(name);
        return it == p.attributes.end() ? nullptr : &it->second;
    }

    const Value &require(const Prim &p, const char *name, int width, int line) {
        const Value *v = find(p, name);
        if (!v) lex_.fail("the " + p.type + " \"" + p.name + "\" has no " + name, line);
        if (v->width != width || v->numbers.size() % static_cast<std::size_t>(width) != 0)
            lex_.fail(std::string(name) + " of \"" + p.name + "\" needs " + (width == 1 ? "single numbers" : std::to_string(width) + "-number tuples"), v->line);
        return *v;
    }

    int whole(const Value &v, std::size_t k, const char *name, long long lo, long long hi) {
        const double d = v.numbers[k];
        if (d != std::floor(d) || d < static_cast<double>(lo) || d > static_cast<double>(hi))
            lex_.fail(std::string(name) + " value " + std::to_string(d) + " is not a whole number in " + std::to_string(lo) +
                          ".." + std::to_string(hi),
                      v.line);
        return static_cast<int>(d);
    }

    int single(const Prim &p, const char *name, int line, long long lo, long long hi) {
        const Value &v = require(p, name, 1, line);
        if (v.numbers.size() != 1) lex_.fail(std::string(name) + " of \"" + p.name + "\" needs one number", v.line);
        return whole(v, 0, name, lo, hi);
    }

    bool clockwise(const Prim &p, const Matrix4 &world) {
        const Value *o = find(p, "orientation");
        const bool left = o && !o->words.empty() && o->words[0] == "leftHanded";
        return left != mirrors(world);
    }

    std::vector<Vec3> points(const Prim &p, const Matrix4 &world, int line) {
        const Value &v = require(p, "points", 3, line);
        std::vector<Vec3> out;
        out.reserve(v.numbers.size() / 3);
        for (std::size_t i = 0; i + 2 < v.numbers.size(); i += 3) out.push_back(apply(world, v.numbers[i], v.numbers[i + 1], v.numbers[i + 2]));
        return out;
    }

    void take(const Prim &p, const Matrix4 &world, int line) {
        if (p.type == "Mesh") return mesh(p, world, line);
        if (p.type == "NurbsPatch") return nurbs(p, world, line);
        static const char *kOtherGeometry[] = {"Sphere", "Cube", "Cylinder", "Cone", "Capsule", "Plane", "Points",
                                               "BasisCurves", "NurbsCurves", "HermiteCurves", "TetMesh", "PointInstancer"};
        for (const char *type : kOtherGeometry)
            if (p.type == type) pieces_.refused.push_back(p.name + ": " + p.type + " prims are not read (only Mesh and NurbsPatch)");
    }

    void mesh(const Prim &p, const Matrix4 &world, int line) {
        PolygonMesh m;
        m.name = p.name;
        m.positions = points(p, world, line);
        m.clockwise = clockwise(p, world);
        const Value &counts = require(p, "faceVertexCounts", 1, line);
        const Value &indices = require(p, "faceVertexIndices", 1, line);
        long long total = 0;
        for (std::size_t k = 0; k < counts.numbers.size(); ++k) {
            m.sizes.push_back(whole(counts, k, "faceVertexCounts", 3, kMaxSurfaceVertices));
            total += m.sizes.back();
        }
        if (total != static_cast<long long>(indices.numbers.size()))
            lex_.fail("\"" + p.name + "\": faceVertexCounts add up to " + std::to_string(total) + " but faceVertexIndices has " +
                          std::to_string(indices.numbers.size()),
                      indices.line);
        const long long last = static_cast<long long>(m.positions.size()) - 1;
        for (std::size_t k = 0; k < indices.numbers.size(); ++k) {
            if (last < 0) lex_.fail("\"" + p.name + "\" has faces but no points", indices.line);
            m.indices.push_back(whole(indices, k, "faceVertexIndices", 0, last));
        }
        pieces_.meshes.push_back(std::move(m));
    }

    FreeformDirection direction(const Prim &p, char axis, int line) {
        const std::string a(1, axis);
        FreeformDirection d;
        d.count = single(p, (a + "VertexCount").c_str(), line, 1, kMaxSurfaceVertices);
        d.degree = single(p, (a + "Order").c_str(), line, 2, kMaxNurbsDegree + 1) - 1;
        d.knots = require(p, (a + "Knots").c_str(), 1, line).numbers;
        if (const Value *range = find(p, (a + "Range").c_str())) {
            if (range->numbers.size() != 2) lex_.fail(a + "Range of \"" + p.name + "\" needs two numbers", range->line);
            d.has_range = true;
            d.range_start = range->numbers[0];
            d.range_end = range->numbers[1];
        }
        return d;
    }

    void nurbs(const Prim &p, const Matrix4 &world, int line) {
        FreeformSurface s;
        s.name = p.name;
        s.line = line;
        s.u = direction(p, 'u', line);
        s.v = direction(p, 'v', line);
        const std::vector<Vec3> at = points(p, world, line);
        const long long expected = static_cast<long long>(s.u.count) * s.v.count;
        if (expected != static_cast<long long>(at.size()))
            lex_.fail("\"" + p.name + "\": uVertexCount × vVertexCount is " + std::to_string(expected) + " but points has " +
                          std::to_string(at.size()),
                      line);
        const Value *weights = find(p, "pointWeights");
        if (weights && weights->numbers.size() != at.size())
            lex_.fail("\"" + p.name + "\": pointWeights needs one weight per point", weights->line);
        s.points.reserve(at.size());
        for (std::size_t i = 0; i < at.size(); ++i) {
            const double w = weights ? weights->numbers[i] : 1.0;
            if (!(w > 0)) lex_.fail("\"" + p.name + "\": point weight " + std::to_string(i) + " is not positive", weights->line);
            s.points.push_back({at[i][0], at[i][1], at[i][2], w});
        }
        s.clockwise = clockwise(p, world);
        pieces_.surfaces.push_back(std::move(s));
    }

    Lexer lex_;
    const std::string &text_;
    const std::string &file_;
    ModelPieces pieces_;
};

}  // namespace

ModelPieces read_usda_text(const std::string &text, const std::string &file) { return UsdaReader(text, file).read(); }

}  // namespace vellimor::saa
