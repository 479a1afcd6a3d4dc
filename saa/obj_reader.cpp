// Wavefront OBJ: polygon meshes (v, f with every index form, negative indices counting back) and
// free-form B-spline and Bézier surfaces (cstype, deg, surf, parm, end), grouped into objects by
// "o" or, in files without it, by "g". Every number and index is checked as it is read, so a
// hostile file ends in one error naming its line, and memory follows the file's own content.
#include <charconv>
#include <cmath>
#include <map>
#include <string_view>

#include "saa/model_pieces.h"
#include "saa/surfaces.h"

namespace vellimor::saa {

namespace {

using Words = std::vector<std::string_view>;

constexpr std::string_view kSpace = " \t\r\f\v";

// One statement: its words, and the line it starts on ("\" at a line's end continues it).
struct Statement {
    Words words;
    int line = 0;
};

class StatementReader {
public:
    explicit StatementReader(const std::string &text) : text_(text) {}

    bool next(Statement &out) {
        out.words.clear();
        joined_.clear();
        while (at_ < text_.size()) {
            const std::size_t end = std::min(text_.find('\n', at_), text_.size());
            std::string_view line(text_.data() + at_, end - at_);
            at_ = end + 1;
            ++line_;
            if (joined_.empty()) out.line = line_;
            if (auto hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
            while (!line.empty() && kSpace.find(line.back()) != std::string_view::npos) line.remove_suffix(1);
            const bool continued = !line.empty() && line.back() == '\\';
            if (continued) line.remove_suffix(1);
            joined_.append(line).push_back(' ');
            if (continued) continue;
            split();
            if (!words_.empty()) {
                out.words = words_;
                return true;
            }
            joined_.clear();
        }
        return false;
    }

private:
    void split() {
        words_.clear();
        std::string_view rest(joined_);
        while (true) {
            const auto start = rest.find_first_not_of(kSpace);
            if (start == std::string_view::npos) return;
            rest.remove_prefix(start);
            const auto stop = std::min(rest.find_first_of(kSpace), rest.size());
            words_.push_back(rest.substr(0, stop));
            rest.remove_prefix(stop);
        }
    }

    const std::string &text_;
    std::size_t at_ = 0;
    int line_ = 0;
    std::string joined_;
    Words words_;
};

// A free-form surface between "surf" and "end".
struct OpenSurface {
    std::string object;
    int line = 0;
    bool rational = false, bezier = false, readable = true;
    std::string type_name;
    int degree_u = 0, degree_v = 0;
    double range[4] = {};
    std::vector<int> controls;  // 0-based vertex indices
    std::vector<double> parm_u, parm_v;
    bool has_u = false, has_v = false;
};

// The faces of one object, indices into the file's vertex list.
struct ObjectFaces {
    std::vector<int> sizes, indices;
    bool has_lines = false, has_curves = false;
};

class ObjReader {
public:
    ObjReader(const std::string &text, const std::string &file) : reader_(text), file_(file) {
        const auto slash = file.find_last_of('/');
        std::string stem = file.substr(slash == std::string::npos ? 0 : slash + 1);
        if (auto dot = stem.rfind('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
        default_name_ = stem.empty() ? "Model" : stem;
    }

    ModelPieces read() {
        Statement s;
        while (reader_.next(s)) {
            line_ = s.line;
            statement(s.words);
        }
        if (surface_) fail("the surface begun on line " + std::to_string(surface_->line) + " has no \"end\" (is the file cut short?)", surface_->line);
        return finish();
    }

private:
    [[noreturn]] void fail(const std::string &what, int line = 0) const {
        model_file_error(file_, line ? line : line_, what);
    }

    double real(std::string_view word) const {
        double value = 0;
        auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (ec != std::errc() || end != word.data() + word.size())
            fail("\"" + std::string(word) + "\" is not a number");
        if (!std::isfinite(value)) fail("\"" + std::string(word) + "\" is not a finite number");
        return value;
    }

    int integer(std::string_view word) const {
        int value = 0;
        auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (ec != std::errc() || end != word.data() + word.size())
            fail("\"" + std::string(word) + "\" is not a whole number");
        return value;
    }

    // A 1-based or negative (counting back) reference to one of `count` elements so far.
    int reference(std::string_view word, std::size_t count, const char *what, const char *plural) const {
        const int n = integer(word);
        const long long index = n < 0 ? static_cast<long long>(count) + n : static_cast<long long>(n) - 1;
        if (n == 0 || index < 0 || index >= static_cast<long long>(count))
            fail(std::string(what) + " index " + std::string(word) + " out of range (" + std::to_string(count) + " " +
                 (count == 1 ? what : plural) + " so far)");
        return static_cast<int>(index);
    }

    // "v", "v/vt", "v//vn" or "v/vt/vn": the vertex, the others checked.
    int corner(std::string_view word) const {
        const auto first = word.find('/');
        const int vertex = reference(word.substr(0, first), vertices_.size(), "vertex", "vertices");
        if (first == std::string_view::npos) return vertex;
        std::string_view rest = word.substr(first + 1);
        const auto second = rest.find('/');
        std::string_view texture = rest.substr(0, second);
        if (!texture.empty()) reference(texture, texture_count_, "texture vertex", "texture vertices");
        if (second != std::string_view::npos) {
            std::string_view normal = rest.substr(second + 1);
            if (normal.empty() && texture.empty()) fail("\"" + std::string(word) + "\" is no vertex reference");
            if (!normal.empty()) reference(normal, normal_count_, "normal", "normals");
        }
        return vertex;
    }

    std::string joined(const Words &w, std::size_t from) const {
        std::string out;
        for (std::size_t i = from; i < w.size(); ++i) out += (i > from ? " " : "") + std::string(w[i]);
        return out;
    }

    ObjectFaces &current_object() {
        const std::string &name = !object_name_.empty() ? object_name_ : !group_name_.empty() ? group_name_ : default_name_;
        auto [it, added] = objects_.try_emplace(name);
        if (added) order_.push_back(name);
        return it->second;
    }

    void statement(const Words &w) {
        const std::string_view key = w[0];
        if (surface_ && key != "parm" && key != "end" && key != "trim" && key != "hole" && key != "scrv" &&
            key != "sp")
            fail("\"" + std::string(key) + "\" inside the surface begun on line " + std::to_string(surface_->line) +
                 " (missing \"end\"?)");
        if (key == "v") return vertex(w);
        if (key == "vt") return ++texture_count_, void();
        if (key == "vn") return ++normal_count_, void();
        if (key == "f" || key == "fo") return face(w);
        if (key == "o") {
            object_name_ = joined(w, 1);
            group_name_.clear();
            return;
        }
        if (key == "g") {
            group_name_ = w.size() > 1 ? std::string(w[1]) : "";
            return;
        }
        if (key == "l" || key == "p") return current_object().has_lines = true, void();
        if (key == "curv") return current_object().has_curves = true, void();
        if (key == "cstype") return curve_type(w);
        if (key == "deg") return degrees(w);
        if (key == "surf") return begin_surface(w);
        if (key == "parm") return parameters(w);
        if (key == "trim" || key == "hole" || key == "scrv" || key == "sp") {
            trimmed_ = true;
            return;
        }
        if (key == "end") return end_surface();
        // Everything else (materials, smoothing groups, display attributes, curve techniques,
        // 2-D trimming curves, connectivity) shapes no surface.
    }

    // x y z, with a weight (x y z w) or with a colour (x y z r g b, as many writers add; the
    // colour is not used).
    void vertex(const Words &w) {
        if (w.size() != 4 && w.size() != 5 && w.size() != 7)
            fail("a vertex needs x y z, x y z w or x y z r g b");
        for (std::size_t i = 4; i < w.size(); ++i) real(w[i]);
        vertices_.push_back({real(w[1]), real(w[2]), real(w[3]), w.size() == 5 ? real(w[4]) : 1.0});
    }

    void face(const Words &w) {
        if (w.size() < 4) fail("a face needs at least three vertices");
        ObjectFaces &object = current_object();
        for (std::size_t i = 1; i < w.size(); ++i) object.indices.push_back(corner(w[i]));
        object.sizes.push_back(static_cast<int>(w.size() - 1));
    }

    void curve_type(const Words &w) {
        rational_ = w.size() == 3 && w[1] == "rat";
        if (w.size() != (rational_ ? 3u : 2u)) fail("cstype needs a type: [rat] bspline, bezier, ...");
        type_name_ = std::string(w.back());
    }

    void degrees(const Words &w) {
        if (w.size() < 2 || w.size() > 3) fail("deg needs one degree (curves) or two (surfaces)");
        for (std::size_t i = 1; i < w.size(); ++i) {
            const int d = integer(w[i]);
            if (d < 1 || d > kMaxNurbsDegree)
                fail("degree " + std::to_string(d) + " outside 1.." + std::to_string(kMaxNurbsDegree));
        }
        degree_u_ = integer(w[1]);
        degree_v_ = w.size() == 3 ? integer(w[2]) : 0;
    }

    void begin_surface(const Words &w) {
        if (w.size() < 6) fail("surf needs s0 s1 t0 t1 and its control vertices");
        if (type_name_.empty()) fail("surf without a cstype before it");
        if (degree_v_ == 0) fail("surf without a deg of two degrees before it");
        surface_ = std::make_unique<OpenSurface>();
        OpenSurface &s = *surface_;
        s.object = object_name_.empty() ? (group_name_.empty() ? default_name_ : group_name_) : object_name_;
        current_object();  // keeps the object's place in the file's order
        s.line = line_;
        s.rational = rational_;
        s.type_name = type_name_;
        s.bezier = type_name_ == "bezier";
        s.readable = s.bezier || type_name_ == "bspline";
        s.degree_u = degree_u_;
        s.degree_v = degree_v_;
        for (int k = 0; k < 4; ++k) s.range[k] = real(w[1 + static_cast<std::size_t>(k)]);
        if (!(s.range[0] < s.range[1]) || !(s.range[2] < s.range[3]))
            fail("surf's parameter ranges s0 s1 t0 t1 must each increase");
        for (std::size_t i = 5; i < w.size(); ++i) s.controls.push_back(corner(w[i]));
    }

    void parameters(const Words &w) {
        if (!surface_) return;  // parameters of a curve
        if (w.size() < 3 || (w[1] != "u" && w[1] != "v")) fail("parm needs u or v and its values");
        std::vector<double> &values = w[1] == "u" ? surface_->parm_u : surface_->parm_v;
        (w[1] == "u" ? surface_->has_u : surface_->has_v) = true;
        for (std::size_t i = 2; i < w.size(); ++i) values.push_back(real(w[i]));
    }

    // Bézier parameters are the segments' break points: each inner one becomes a knot of
    // multiplicity `degree`, the ends of multiplicity degree + 1.
    FreeformDirection direction(const std::vector<double> &parm, int degree, bool bezier, const double *range,
                                const char *name, int line) const {
        FreeformDirection d;
        d.degree = degree;
        d.has_range = true;
        d.range_start = range[0];
        d.range_end = range[1];
        if (!bezier) {
            d.knots = parm;
            d.count = static_cast<int>(parm.size()) - degree - 1;
            return d;
        }
        if (parm.size() < 2) fail(std::string("a Bézier surface needs two or more parm ") + name + " values", line);
        for (std::size_t i = 0; i < parm.size(); ++i) {
            const int copies = (i == 0 || i + 1 == parm.size()) ? degree + 1 : degree;
            d.knots.insert(d.knots.end(), static_cast<std::size_t>(copies), parm[i]);
        }
        d.count = static_cast<int>(parm.size() - 1) * degree + 1;
        return d;
    }

    void end_surface() {
        if (!surface_) return;  // the end of a curve
        std::unique_ptr<OpenSurface> open = std::move(surface_);
        const OpenSurface &s = *open;
        if (!s.readable) {
            refused_.push_back(s.object + ": " + s.type_name + " surfaces are not read (only B-spline and Bézier)");
            return;
        }
        if (!s.has_u || !s.has_v) fail("the surface needs parm u and parm v", s.line);
        FreeformSurface f;
        f.name = s.object;
        f.line = s.line;
        f.u = direction(s.parm_u, s.degree_u, s.bezier, s.range, "u", s.line);
        f.v = direction(s.parm_v, s.degree_v, s.bezier, s.range + 2, "v", s.line);
        const long long expected = f.u.count > 0 && f.v.count > 0 ? static_cast<long long>(f.u.count) * f.v.count : -1;
        if (expected != static_cast<long long>(s.controls.size()))
            fail("the surface has " + std::to_string(s.controls.size()) + " control vertices; its degrees and parm values ask for " +
                     (expected < 0 ? std::string("more knots") : std::to_string(expected)),
                 s.line);
        f.points.reserve(s.controls.size());
        for (int index : s.controls) {
            Vec4 p = vertices_[static_cast<std::size_t>(index)];
            if (!s.rational) p[3] = 1.0;
            if (!(p[3] > 0)) fail("vertex " + std::to_string(index + 1) + " has a weight that is not positive", s.line);
            f.points.push_back(p);
        }
        surfaces_.push_back(std::move(f));
    }

    // One mesh per object, holding only the vertices its faces use.
    ModelPieces finish() {
        ModelPieces pieces;
        std::vector<int> local(vertices_.size(), -1);
        for (const std::string &name : order_) {
            ObjectFaces &o = objects_[name];
            bool has_surface = false;
            for (const FreeformSurface &f : surfaces_) has_surface |= f.name == name;
            if (o.has_curves) pieces.refused.push_back(name + ": free-form curves carry no fur");
            if (o.sizes.empty()) {
                if (o.has_lines && !has_surface) pieces.refused.push_back(name + ": lines and points carry no fur");
                continue;
            }
            PolygonMesh mesh;
            mesh.name = name;
            mesh.sizes = std::move(o.sizes);
            mesh.indices.reserve(o.indices.size());
            for (int global : o.indices) {
                int &slot = local[static_cast<std::size_t>(global)];
                if (slot < 0) {
                    slot = static_cast<int>(mesh.positions.size());
                    const Vec4 &v = vertices_[static_cast<std::size_t>(global)];
                    mesh.positions.push_back({v[0], v[1], v[2]});
                }
                mesh.indices.push_back(slot);
            }
            for (int global : o.indices) local[static_cast<std::size_t>(global)] = -1;
            pieces.meshes.push_back(std::move(mesh));
        }
        pieces.surfaces = std::move(surfaces_);
        pieces.refused.insert(pieces.refused.end(), refused_.begin(), refused_.end());
        if (trimmed_) pieces.warnings.push_back("trimming curves are not read: surfaces come in whole");
        return pieces;
    }

    StatementReader reader_;
    std::string file_, default_name_;
    int line_ = 0;
    std::vector<Vec4> vertices_;
    std::size_t texture_count_ = 0, normal_count_ = 0;
    std::string object_name_, group_name_;
    std::map<std::string, ObjectFaces> objects_;
    std::vector<std::string> order_;
    bool rational_ = false, trimmed_ = false;
    std::string type_name_;
    int degree_u_ = 0, degree_v_ = 0;
    std::unique_ptr<OpenSurface> surface_;
    std::vector<FreeformSurface> surfaces_;
    std::vector<std::string> refused_;
};

}  // namespace

ModelPieces read_obj_text(const std::string &text, const std::string &file) { return ObjReader(text, file).read(); }

}  // namespace vellimor::saa
