#include "fcurve/fcurve_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

#include "fcurve/fcurve_list.h"
#include "furdata/fur_text_line.h"

namespace vellimor {
namespace {

constexpr const char *kCurveKey = "fcurve";
constexpr const char *kComponentKey = "fcurve.component";
constexpr const char *kPointKey = "fcurve.key";
// More keys than any curve is shaped with: a file claiming more is damaged.
constexpr size_t kMaxPoints = 100000;
// Floats written with enough digits to come back exactly.
constexpr const char *kReal = " %.9g";

void setting(std::string &out, const char *key, const std::string &value) {
    char line[kMaxFurLineLength + 2];
    std::snprintf(line, sizeof line, "%-30s = \t %s\n", key, value.c_str());
    out += line;
}

void append(std::string &text, const char *format, double value) {
    char word[48];
    std::snprintf(word, sizeof word, format, value);
    text += word;
}

std::string curve_line(const FCurve &f) {
    std::string v = std::to_string(f.id) + " " + std::to_string(f.type) + " " + std::to_string(f.nb_curves);
    for (int u : f.use) v += " " + std::to_string(u);
    return v;
}

std::string component_line(int i, const FCurveLimit &limit) {
    const Herm &c = *limit.curve;
    std::string v = std::to_string(i) + " " + std::to_string(limit.has_min) + " " + std::to_string(limit.has_max);
    for (float x : {limit.min, limit.max}) append(v, kReal, x);
    v += " " + std::to_string(c.limit_flags);
    for (float x : {c.x_min, c.x_max, c.y_min, c.y_max, c.color[0], c.color[1], c.color[2]}) append(v, kReal, x);
    return v + " " + std::to_string(c.nb_samples);
}

std::string point_line(const HermKey &p) {
    std::string v;
    for (float x : {p.x, p.y, p.in_dx, p.in_dy, p.out_dx, p.out_dy}) append(v, kReal, x);
    return v.substr(1) + " " + std::to_string(p.type);
}

// The numbers of a setting's value; none when a word is no finite number or the count differs.
std::vector<double> numbers(const std::string &text, size_t count) {
    std::vector<double> out;
    const char *at = text.c_str();
    for (;;) {
        while (*at == ' ' || *at == '\t') ++at;
        if (!*at) break;
        char *stop = nullptr;
        const double v = std::strtod(at, &stop);
        if (stop == at || !(std::fabs(v) <= std::numeric_limits<float>::max()) ||
            (*stop && *stop != ' ' && *stop != '\t'))
            return {};
        out.push_back(v);
        at = stop;
    }
    if (out.size() != count) return {};
    return out;
}

bool whole(double v, double lo, double hi) { return v == std::floor(v) && v >= lo && v <= hi; }

// One curve as the lines give it; complete() says whether it may join the list.
struct CurveBeingRead {
    std::unique_ptr<FCurve> curve;
    Herm *component = nullptr;
    bool damaged = false;

    bool complete() const {
        if (!curve || damaged) return false;
        for (int i = 0; i < curve->nb_curves; ++i)
            if (!curve->limits[i].curve || curve->limits[i].curve->points.empty()) return false;
        return true;
    }

    void begin(const std::string &value) {
        const std::vector<double> n = numbers(value, 3 + kFCurveMaxComponents);
        curve.reset();
        component = nullptr;
        damaged = n.empty() || !whole(n[0], 1, 2147483647.0) || !whole(n[1], 1, kFCurveMaxComponents) || n[2] != n[1];
        if (damaged) return;
        curve = fcurve_alloc();
        curve->id = int(n[0]);
        curve->type = curve->nb_curves = int(n[1]);
        for (int u = 0; u < kFCurveMaxComponents; ++u) curve->use[u] = n[3 + size_t(u)] != 0 ? 1 : 0;
    }

    void add_component(const std::string &value) {
        const std::vector<double> n = numbers(value, 14);
        if (!curve || n.empty() || !whole(n[0], 0, curve->nb_curves - 1) || !whole(n[5], 0, 15) ||
            curve->limits[int(n[0])].curve) {
            damaged = true;
            return;
        }
        FCurveLimit &limit = curve->limits[int(n[0])];
        limit.has_min = n[1] != 0;
        limit.has_max = n[2] != 0;
        limit.min = float(n[3]);
        limit.max = float(n[4]);
        limit.curve = std::make_unique<Herm>();
        Herm &c = *limit.curve;
        c.limit_flags = uint32_t(n[5]);
        c.x_min = float(n[6]);
        c.x_max = float(n[7]);
        c.y_min = float(n[8]);
        c.y_max = float(n[9]);
        for (int k = 0; k < 3; ++k) c.color[k] = float(n[10 + size_t(k)]);
        c.nb_samples = whole(n[13], 0, 1e6) ? int(n[13]) : 0;
        component = &c;
    }

    void add_point(const std::string &value) {
        const std::vector<double> n = numbers(value, 7);
        if (!component || n.empty() || !whole(n[6], herm::Contin, herm::Linear) ||
            component->points.size() >= kMaxPoints) {
            damaged = true;
            return;
        }
        HermKey p;
        p.x = float(n[0]);
        p.y = float(n[1]);
        p.in_dx = float(n[2]);
        p.in_dy = float(n[3]);
        p.out_dx = float(n[4]);
        p.out_dy = float(n[5]);
        p.type = int(n[6]);
        component->points.push_back(p);
    }

    // Adds the curve to the list when it is whole; true when it did.
    bool finish() {
        const bool ok = complete();
        if (ok) {
            for (int i = 0; i < curve->nb_curves; ++i) HermRecompute(*curve->limits[i].curve);
            fcurve_add_to_list(std::move(curve));
        }
        curve.reset();
        component = nullptr;
        damaged = false;
        return ok;
    }
};

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

}  // namespace

std::string fcurves_text() {
    std::string out;
    for (int id : fcurve_ids()) {
        const FCurve *f = fcurve_find(id);
        setting(out, kCurveKey, curve_line(*f));
        for (int i = 0; i < f->nb_curves && i < kFCurveMaxComponents; ++i) {
            if (!f->limits[i].curve) continue;  // such a curve reads back as none, as it loads from a scene
            setting(out, kComponentKey, component_line(i, f->limits[i]));
            for (const HermKey &p : f->limits[i].curve->points) setting(out, kPointKey, point_line(p));
        }
    }
    return out;
}

int fetch_fcurves(const std::string &path) {
    std::unique_ptr<std::FILE, FileCloser> file(path.empty() ? nullptr : std::fopen(path.c_str(), "r"));
    if (!file) return 0;
    int errors = 0, added = 0;
    CurveBeingRead reading;
    for (FurLine line = read_fur_line(file.get(), errors);
         line.kind != kLineEndOfFile && line.kind != kLineError; line = read_fur_line(file.get(), errors)) {
        if (line.kind != kLineSetting) continue;
        if (line.key == kCurveKey) {
            added += reading.finish();
            reading.begin(line.value_text);
        } else if (line.key == kComponentKey) {
            reading.add_component(line.value_text);
        } else if (line.key == kPointKey) {
            reading.add_point(line.value_text);
        }
    }
    return added + reading.finish();
}

}  // namespace vellimor
