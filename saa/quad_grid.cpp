// Grid recognition walks from one quad across shared edges: along -v and -u to a corner (or
// anywhere on a loop), then row by row along +u and +v. Each step finds the quad on the other
// side of an edge and orients it by the shared corners, so faces of either winding join. The
// walk is then checked as a whole: every cell's corners are the grid's vertices, no vertex or
// face is used twice, and the faces left over (fans at the poles aside) are counted.
#include "saa/quad_grid.h"

#include <array>
#include <cstdint>
#include <unordered_map>

#include "saa/surfaces.h"

namespace vellimor::saa {

namespace {

// One grid cell: a quad face and its corners in grid order (u, v): 00, 10, 11, 01.
struct Cell {
    int face = -1;
    std::array<int, 4> corner{};
};

enum Step { kPlusU, kMinusU, kPlusV, kMinusV };

class QuadWalk {
public:
    explicit QuadWalk(const PolygonMesh &mesh) : mesh_(mesh) {}

    // False when an edge joins more than two quads or a quad repeats a corner.
    bool index_edges() {
        for (std::size_t f = 0; f < mesh_.sizes.size(); ++f) {
            if (mesh_.sizes[f] != 4) continue;
            const int *q = corners(static_cast<int>(f));
            for (int k = 0; k < 4; ++k)
                for (int m = k + 1; m < 4; ++m)
                    if (q[k] == q[m]) return false;
            for (int k = 0; k < 4; ++k) {
                auto &pair = edges_.try_emplace(key(q[k], q[(k + 1) % 4]), std::array<int, 2>{-1, -1}).first->second;
                if (pair[0] < 0) pair[0] = static_cast<int>(f);
                else if (pair[1] < 0) pair[1] = static_cast<int>(f);
                else return false;
            }
        }
        return true;
    }

    Cell cell_of_face(int face) const {
        const int *q = corners(face);
        return {face, {q[0], q[1], q[2], q[3]}};
    }

    // The cell across one side of `from`; face -1 at the mesh's border.
    Cell step(const Cell &from, Step direction) const {
        // The shared edge (a, b) and which corners of the new cell they become.
        static constexpr int kShared[4][2] = {{1, 2}, {0, 3}, {3, 2}, {0, 1}};
        static constexpr int kBecome[4][2] = {{0, 3}, {1, 2}, {0, 1}, {3, 2}};
        const int a = from.corner[static_cast<std::size_t>(kShared[direction][0])];
        const int b = from.corner[static_cast<std::size_t>(kShared[direction][1])];
        Cell next;
        auto it = edges_.find(key(a, b));
        if (it == edges_.end()) return next;
        const int other = it->second[0] == from.face ? it->second[1] : it->second[0];
        if (other < 0) return next;
        const int *q = corners(other);
        int at_a = -1, at_b = -1;
        for (int k = 0; k < 4; ++k) {
            if (q[k] == a) at_a = k;
            if (q[k] == b) at_b = k;
        }
        if (at_a < 0 || at_b < 0) return next;
        // a's neighbour in the quad that is not b lies beyond a, and likewise for b.
        const int beyond_a = q[(at_a + 1) % 4] == b ? q[(at_a + 3) % 4] : q[(at_a + 1) % 4];
        const int beyond_b = q[(at_b + 1) % 4] == a ? q[(at_b + 3) % 4] : q[(at_b + 1) % 4];
        next.face = other;
        next.corner[static_cast<std::size_t>(kBecome[direction][0])] = a;
        next.corner[static_cast<std::size_t>(kBecome[direction][1])] = b;
        set_beyond(next, direction, beyond_a, beyond_b);
        return next;
    }

    // Steps from `start` while there is a neighbour and the walk has not come round to `start`;
    // the cells passed, `start` first. `closed` tells whether it came round.
    std::vector<Cell> strip(const Cell &start, Step direction, bool &closed, std::size_t limit) const {
        std::vector<Cell> cells{start};
        closed = false;
        while (cells.size() <= limit) {
            Cell next = step(cells.back(), direction);
            if (next.face < 0) return cells;
            if (next.face == start.face) {
                closed = true;
                return cells;
            }
            cells.push_back(next);
        }
        return cells;
    }

    const int *corners(int face) const {
        return mesh_.indices.data() + starts()[static_cast<std::size_t>(face)];
    }

    const std::vector<int> &starts() const {
        if (starts_.empty()) {
            starts_.reserve(mesh_.sizes.size());
            int at = 0;
            for (int size : mesh_.sizes) {
                starts_.push_back(at);
                at += size;
            }
        }
        return starts_;
    }

private:
    static std::uint64_t key(int a, int b) {
        const auto lo = static_cast<std::uint32_t>(std::min(a, b)), hi = static_cast<std::uint32_t>(std::max(a, b));
        return (static_cast<std::uint64_t>(hi) << 32) | lo;
    }

    // The corners beyond the shared edge: across +u they are 10 and 11, across -u 00 and 01,
    // across +v 01 and 11, across -v 00 and 10, matching a and b in order.
    static void set_beyond(Cell &c, Step direction, int beyond_a, int beyond_b) {
        static constexpr int kSlots[4][2] = {{1, 2}, {0, 3}, {3, 2}, {0, 1}};
        c.corner[static_cast<std::size_t>(kSlots[direction][0])] = beyond_a;
        c.corner[static_cast<std::size_t>(kSlots[direction][1])] = beyond_b;
    }

    const PolygonMesh &mesh_;
    std::unordered_map<std::uint64_t, std::array<int, 2>> edges_;
    mutable std::vector<int> starts_;
};

std::string not_a_grid(long long stray, long long total) {
    return with_thousands(stray) + " of " + with_thousands(total) + " faces are not quads of one grid";
}

constexpr const char *kTangled = "the quads do not join as one grid of rows and columns";

void transpose(QuadGrid &g) {
    std::vector<int> swapped(g.vertex.size());
    for (int j = 0; j < g.count_v; ++j)
        for (int i = 0; i < g.count_u; ++i)
            swapped[static_cast<std::size_t>(i) * g.count_v + j] = g.vertex[static_cast<std::size_t>(j) * g.count_u + i];
    g.vertex = std::move(swapped);
    std::swap(g.count_u, g.count_v);
    std::swap(g.closed_u, g.closed_v);
    g.winds_u_to_v = !g.winds_u_to_v;
}

// Triangles around one vertex outside the grid, one on each edge of the first or last row of a
// grid closed in u, become that end's pole. Returns how many triangles were taken.
long long take_poles(const PolygonMesh &mesh, const std::vector<int> &starts, QuadGrid &g) {
    if (!g.closed_u || g.closed_v) return 0;
    std::vector<int> row_of(mesh.positions.size(), -1), column_of(mesh.positions.size(), -1);
    for (int j = 0; j < g.count_v; ++j)
        for (int i = 0; i < g.count_u; ++i) {
            const auto v = static_cast<std::size_t>(g.vertex[static_cast<std::size_t>(j) * g.count_u + i]);
            row_of[v] = j;
            column_of[v] = i;
        }
    int pole[2] = {-1, -1};
    std::vector<char> covered[2] = {std::vector<char>(static_cast<std::size_t>(g.count_u)),
                                    std::vector<char>(static_cast<std::size_t>(g.count_u))};
    long long taken[2] = {0, 0};
    for (std::size_t f = 0; f < mesh.sizes.size(); ++f) {
        if (mesh.sizes[f] != 3) continue;
        const int *t = mesh.indices.data() + starts[f];
        for (int k = 0; k < 3; ++k) {
            const int apex = t[k], a = t[(k + 1) % 3], b = t[(k + 2) % 3];
            if (row_of[static_cast<std::size_t>(apex)] >= 0) continue;
            const int row = row_of[static_cast<std::size_t>(a)];
            if (row < 0 || row != row_of[static_cast<std::size_t>(b)] || (row != 0 && row != g.count_v - 1)) break;
            const int ca = column_of[static_cast<std::size_t>(a)], cb = column_of[static_cast<std::size_t>(b)];
            const int first = (ca + 1) % g.count_u == cb ? ca : (cb + 1) % g.count_u == ca ? cb : -1;
            const int end = row == 0 ? 0 : 1;
            if (first < 0 || (pole[end] >= 0 && pole[end] != apex) || covered[end][static_cast<std::size_t>(first)]) break;
            pole[end] = apex;
            covered[end][static_cast<std::size_t>(first)] = 1;
            ++taken[end];
            break;
        }
    }
    long long total = 0;
    for (int end = 0; end < 2; ++end) {
        // A pole closes its end only with a triangle on every edge of the row.
        if (taken[end] != g.count_u || (end == 1 && pole[1] == pole[0])) continue;
        (end == 0 ? g.pole_start : g.pole_end) = pole[end];
        total += taken[end];
    }
    return total;
}

}  // namespace

std::string with_thousands(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

std::optional<QuadGrid> find_quad_grid(const PolygonMesh &mesh, std::string &reason) {
    const long long total = static_cast<long long>(mesh.sizes.size());
    int first_quad = -1;
    long long quads = 0;
    for (std::size_t f = 0; f < mesh.sizes.size(); ++f)
        if (mesh.sizes[f] == 4 && quads++ == 0) first_quad = static_cast<int>(f);
    if (quads == 0) {
        reason = total == 0 ? "no faces" : not_a_grid(total, total);
        return std::nullopt;
    }
    QuadWalk walk(mesh);
    if (!walk.index_edges()) {
        reason = kTangled;
        return std::nullopt;
    }
    const std::size_t limit = static_cast<std::size_t>(quads);
    bool closed = false;
    // To a corner of the grid (on a loop, anywhere is a corner), then the first row.
    Cell corner = walk.strip(walk.cell_of_face(first_quad), kMinusV, closed, limit).back();
    corner = walk.strip(corner, kMinusU, closed, limit).back();
    QuadGrid g;
    std::vector<std::vector<Cell>> rows{walk.strip(corner, kPlusU, g.closed_u, limit)};
    const std::size_t width = rows[0].size();
    while (rows.size() * width <= limit) {
        std::vector<Cell> next;
        for (const Cell &c : rows.back()) {
            Cell n = walk.step(c, kPlusV);
            if (n.face < 0) break;
            next.push_back(n);
        }
        if (next.empty()) break;
        if (next.size() != width) {
            reason = kTangled;
            return std::nullopt;
        }
        if (next[0].face == corner.face) {
            g.closed_v = true;
            break;
        }
        rows.push_back(std::move(next));
    }
    const int cells_u = static_cast<int>(width), cells_v = static_cast<int>(rows.size());
    g.count_u = cells_u + (g.closed_u ? 0 : 1);
    g.count_v = cells_v + (g.closed_v ? 0 : 1);
    if ((g.closed_u && cells_u < 3) || (g.closed_v && cells_v < 3) ||
        static_cast<long long>(g.count_u) * g.count_v > kMaxSurfaceVertices) {
        reason = kTangled;
        return std::nullopt;
    }
    g.vertex.assign(static_cast<std::size_t>(g.count_u) * g.count_v, -1);
    auto at = [&](int i, int j) -> int & {
        return g.vertex[static_cast<std::size_t>(j % g.count_v) * g.count_u + static_cast<std::size_t>(i % g.count_u)];
    };
    // Every cell puts its corners into the grid; a corner that disagrees with one already there
    // means the quads twist or branch.
    std::vector<char> face_used(mesh.sizes.size());
    long long agree = 0;
    static constexpr int kOffset[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int j = 0; j < cells_v; ++j)
        for (int i = 0; i < cells_u; ++i) {
            const Cell &c = rows[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)];
            if (face_used[static_cast<std::size_t>(c.face)]++) {
                reason = kTangled;
                return std::nullopt;
            }
            for (int k = 0; k < 4; ++k) {
                int &slot = at(i + kOffset[k][0], j + kOffset[k][1]);
                if (slot >= 0 && slot != c.corner[static_cast<std::size_t>(k)]) {
                    reason = kTangled;
                    return std::nullopt;
                }
                slot = c.corner[static_cast<std::size_t>(k)];
            }
            const int *q = walk.corners(c.face);
            int k00 = 0;
            while (q[k00] != c.corner[0]) ++k00;
            agree += q[(k00 + 1) % 4] == c.corner[1] ? 1 : -1;
        }
    std::vector<char> vertex_used(mesh.positions.size());
    for (int v : g.vertex)
        if (vertex_used[static_cast<std::size_t>(v)]++) {
            reason = kTangled;
            return std::nullopt;
        }
    g.winds_u_to_v = agree >= 0;
    if (g.closed_v && !g.closed_u) transpose(g);
    const long long fans = take_poles(mesh, walk.starts(), g);
    const long long stray = total - static_cast<long long>(cells_u) * cells_v - fans;
    if (stray > 0) {
        reason = not_a_grid(stray, total);
        return std::nullopt;
    }
    return g;
}

}  // namespace vellimor::saa
