// The drawing pipeline on a furry square in the offscreen target: the sort, the polygon list,
// the light table, what each draw mode draws, the two vertex paths, and the background.
#include <GL/gl.h>
#include <csignal>
#include "support/test_prelude.h"

#include "furdata/display_settings.h"
#include "furdata/fur_data.h"
#include "hair/placement.h"
#include "hair/random_generators.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "platform/key_state.h"
#include "render/background.h"
#include "render/draw.h"
#include "render/draw_fur.h"
#include "render/frame_render.h"
#include "render/hair_draw_gl.h"
#include "render/light_table.h"
#include "render/offscreen_target.h"
#include "render/pic_file.h"
#include "render/polygon_sort.h"
#include "support/fur_square_scene.h"
#include "support/test_env.h"

namespace vellimor {
namespace {

namespace fs = std::filesystem;

std::vector<HairPoint> points_at(const std::vector<float> &distances) {
    std::vector<HairPoint> points(distances.size());
    for (size_t i = 0; i < distances.size(); ++i) points[i].eye_distance = distances[i];
    return points;
}

PolygonList list_of(std::vector<HairPoint> &points) {
    PolygonList list;
    for (HairPoint &p : points) list.push_back(&p);
    return list;
}

// The plain quicksort over the polygons themselves, as the sort has always run.
void reference_sort(PolygonList &list, long first, long last) {
    if (first >= last) return;
    const long pivot_index =
        first + long(double(standard_rand()) * double(last - first) / double(kRandom15Max));
    const float pivot = list[size_t(pivot_index)]->eye_distance;
    long i = first, j = last;
    do {
        while (list[size_t(j)]->eye_distance < pivot) --j;
        while (list[size_t(i)]->eye_distance > pivot) ++i;
        if (i <= j) std::swap(list[size_t(i++)], list[size_t(j--)]);
    } while (i <= j);
    reference_sort(list, first, j);
    reference_sort(list, i, last);
}

TEST(PolygonSort, FarthestFirstWithEqualKeysWhereThePlainQuicksortPutsThemAndTheGeneratorAgrees) {
    // Pictures depend on the order of polygons at the same distance, and later drawings on the
    // generator's state: both must be what the plain quicksort gives, from one key to all distinct.
    for (const int distinct : {1, 3, 40, 100000}) {
        Random48 random(7, uint16_t(distinct), 9);
        std::vector<float> distances(20000);
        for (float &d : distances) d = float(int(random.next() * distinct));
        std::vector<HairPoint> points = points_at(distances);
        PolygonList expected = list_of(points), sorted = list_of(points);
        standard_srand(uint32_t(distinct));
        reference_sort(expected, 0, long(expected.size()) - 1);
        const int expected_next = standard_rand();
        standard_srand(uint32_t(distinct));
        sort_polygons(sorted, 0, long(sorted.size()) - 1);
        EXPECT_TRUE(sorted == expected) << distinct;
        EXPECT_EQ(standard_rand(), expected_next) << distinct;
    }
}

TEST(PolygonSort, InTheBackgroundTheDrawingReadsFinalPolygonsWhileTheRestIsSorted) {
    Random48 random(5, 6, 7);
    std::vector<float> distances(300000);
    for (float &d : distances) d = float(int(random.next() * 5000));  // many equal keys
    std::vector<HairPoint> points = points_at(distances);
    PolygonList expected = list_of(points), list = list_of(points), other = list_of(points);
    standard_srand(3);
    sort_polygons(expected, 0, long(expected.size()) - 1);
    const int expected_next = standard_rand();

    standard_srand(3);
    std::vector<HairPoint *> seen;
    {
        BackgroundDepthSort sorting(list);
        // A list the sort does not sort is never waited for.
        wait_until_sorted(other, other.size());
        for (size_t first = 0; first < list.size(); first += 7919) {
            const size_t end = std::min(list.size(), first + 7919);
            wait_until_sorted(list, end);
            seen.insert(seen.end(), list.begin() + long(first), list.begin() + long(end));
        }
    }
    EXPECT_TRUE(seen == expected);
    EXPECT_TRUE(list == expected);
    EXPECT_EQ(standard_rand(), expected_next);
    EXPECT_TRUE(other == list_of(points));

    // Lists too short to sort, and waits beyond the end, return at once.
    PolygonList one{&points[0]};
    BackgroundDepthSort single(one);
    wait_until_sorted(one, 5);
    EXPECT_EQ(one[0], &points[0]);
}

TEST(PolygonList, OnePolygonPerSegmentLinkedToTheNextPoint) {
    std::vector<HairPoint> a(4), b(3);
    std::vector<HairStrand> strands = {{3, a.data()}, {0, nullptr}, {2, b.data()}};
    PolygonList list;
    ASSERT_TRUE(build_polygon_list(strands, 5, list));
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(std::make_tuple(list[0], list[2]->next, list[3], list[4]->next), std::make_tuple(&a[0], &a[3], &b[0], &b[2]));
}

// The furry square opened as a batch render opens it, drawn into a 64 x 48 memory target.
class Drawing : public ::testing::Test {
protected:
    void SetUp() override {
        database = fs::path(dir.path()) / "db";
        testing::write_fur_scene(database, testing::FurSceneOptions{});
        run_state().run_mode = kRunModeStandAlone;
        run_state().batch = 1;
        ASSERT_EQ(MY_read_scene("fur", database.c_str()), 0);
        read_fur_data(1);
        build_all_patches(0, 0);
        ASSERT_TRUE(offscreen_target_create(64, 48, OffscreenKind::PixMap));
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        graphics_view().state = ViewState::kRendering;
    }

    void TearDown() override {
        offscreen_target_destroy();
        free_all();
        set_hair_vertex_path(HairVertexPath::kVertexArrays);
        graphics_view() = GraphicsView{};
        reset_globals();
    }

    // Fills the target with one colour, then returns what it holds after `draw`.
    template <class F>
    std::vector<uint8_t> pixels_after(F draw) {
        SceneState &s = scene_state();
        SAA_grCameraApply(&s.scene, &s.camera);
        glEnable(GL_DEPTH_TEST);
        glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw();
        glFinish();
        std::vector<uint8_t> rgba(64 * 48 * 4);
        glReadPixels(0, 0, 64, 48, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }

    static std::vector<uint8_t> cleared() {
        std::vector<uint8_t> rgba;
        for (int i = 0; i < 64 * 48; ++i) rgba.insert(rgba.end(), {51, 102, 153, 255});
        return rgba;
    }

    test::TempDir dir;
    fs::path database;
};

// A render draws the hairs and reports their count; the save and export modes draw nothing.
TEST_F(Drawing, RenderDrawsHairsAndSaveAndExportDrawNothing) {
    int hairs = 0;
    const auto rgba = pixels_after([&] { hairs = draw_fur(kDrawRender, 1, true, false); });
    EXPECT_EQ(hairs, scene_state().patches[0]->hair_count);
    EXPECT_GT(hairs, 1000);
    int red = 0;
    for (size_t i = 0; i < rgba.size(); i += 4) red += rgba[i] > 2 * rgba[i + 1] && rgba[i] > 60;
    EXPECT_GT(red, 64 * 48 / 5);

    const auto before = cleared();
    ::testing::internal::CaptureStderr();
    int saved = 0, exported = 0;
    EXPECT_TRUE(pixels_after([&] { saved = drawing_driver(kDrawSaveHairMesh, 1); }) == before);
    const auto files = [&] {
        std::set<fs::path> all;
        for (const auto &entry : fs::recursive_directory_iterator(dir.path())) all.insert(entry.path());
        return all;
    };
    const auto after_save = files();
    EXPECT_TRUE(pixels_after([&] { exported = drawing_driver(kDrawExport, 1); }) == before);
    ::testing::internal::GetCapturedStderr();
    EXPECT_GT(saved, 0);
    EXPECT_EQ(exported, saved);
    // The export step writes nothing.
    EXPECT_EQ(files(), after_save);
}

TEST_F(Drawing, VertexArraysDrawTheSamePixelsAsImmediateMode) {
    // The arrays draw each quad as two triangles: the same pixels only if they are the two
    // triangles OpenGL makes of the quad, corners in the same order. With antialiasing the later
    // passes draw the vertices the first pass filled; the alpha pass fills its own.
    display_settings()->exact_tubes = true;
    for (int level : {0, 2}) {
        display_settings()->antialias_level = level;
        for (int use_opengl : {1, 0}) {
            display_settings()->use_opengl = use_opengl;
            for (int mode : {kDrawRender, kDrawRenderAlpha}) {
                set_hair_vertex_path(HairVertexPath::kImmediate);
                const auto immediate = pixels_after([mode] { drawing_driver(mode, 1); });
                set_hair_vertex_path(HairVertexPath::kVertexArrays);
                const auto arrays = pixels_after([mode] { drawing_driver(mode, 1); });
                EXPECT_TRUE(immediate == arrays) << use_opengl << " level " << level << " mode " << mode;
                int changed = 0;
                const auto background = cleared();
                for (size_t i = 0; i < arrays.size(); ++i) changed += arrays[i] != background[i];
                EXPECT_GT(changed, 1000) << use_opengl << " level " << level << " mode " << mode;
            }
        }
    }
}

// Many thin, crossing, half-transparent tubes in a 256 x 256 target, as random as hairs come:
// any other split of the quads into triangles, or another corner order, changes some pixels.
TEST(HairPolygons, IndexedTrianglesDrawExactlyTheQuadsOfEveryStyle) {
    constexpr int kSide = 256;
    ASSERT_TRUE(offscreen_target_create(kSide, kSide, OffscreenKind::PixMap));
    display_settings_create().exact_tubes = true;
    Random48 random(11, 12, 13);
    auto unit = [&] { return float(random.next()) * 2.0f - 1.0f; };
    std::vector<HairPoint> points(2 * 30000);
    PolygonList list;
    for (size_t k = 0; k < points.size(); k += 2) {
        HairPoint &a = points[k], &b = points[k + 1];
        for (int c = 0; c < 3; ++c) {
            a.position[c] = unit();
            b.position[c] = a.position[c] + 0.15f * unit();
            a.side[c] = b.side[c] = 0.01f * unit();
            a.normal[c] = b.normal[c] = 0.01f * unit();
        }
        for (int c = 0; c < 4; ++c) a.color[c] = float(random.next()), b.color[c] = float(random.next());
        a.next = &b;
        list.push_back(&a);
    }

    auto draw = [&](HairVertexPath path, int use_opengl, bool alpha) {
        set_hair_vertex_path(path);
        display_settings()->use_opengl = use_opengl;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, -2, 2);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glClearColor(0.1f, 0.2f, 0.3f, 0.5f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        EXPECT_EQ(draw_hair_polygons(list, alpha), 1);
        glFinish();
        std::vector<uint8_t> rgba(size_t(kSide) * kSide * 4);
        glReadPixels(0, 0, kSide, kSide, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    };
    for (int use_opengl : {1, 0}) {
        for (bool alpha : {false, true}) {
            const auto quads = draw(HairVertexPath::kImmediate, use_opengl, alpha);
            const auto triangles = draw(HairVertexPath::kVertexArrays, use_opengl, alpha);
            size_t differing = 0, drawn = 0;
            for (size_t i = 0; i < quads.size(); i += 4) {
                differing += !std::equal(&quads[i], &quads[i] + 4, &triangles[i]);
                drawn += quads[i + 2] != 77;  // the clear colour's blue byte
            }
            EXPECT_EQ(differing, 0u) << "opengl " << use_opengl << " alpha " << alpha;
            EXPECT_GT(drawn, size_t(kSide * kSide / 2)) << "opengl " << use_opengl << " alpha " << alpha;
        }
    }
    // Escape stops the drawing between batches (the batch being filled meanwhile is finished
    // first); a later drawing is whole again.
    const auto whole = draw(HairVertexPath::kVertexArrays, 1, false);
    platform::route_interrupt_to_escape();
    std::raise(SIGINT);
    EXPECT_EQ(draw_hair_polygons(list, false), 0);
    platform::clear_interrupt();
    platform::stop_routing_interrupt_to_escape();
    EXPECT_TRUE(draw(HairVertexPath::kVertexArrays, 1, false) == whole);

    set_hair_vertex_path(HairVertexPath::kVertexArrays);
    display_settings_free();
    offscreen_target_destroy();
}

TEST_F(Drawing, LightTableReadsTheSceneLightsOncePerFrameOrPutsOneAtTheCamera) {
    SceneState &s = scene_state();
    update_light_table();
    ASSERT_EQ(s.light_cache.size(), 1u);
    EXPECT_EQ(s.light_cache[0].frame, s.current_frame);
    EXPECT_FLOAT_EQ(s.light_cache[0].position[2], 6.0f);
    EXPECT_FLOAT_EQ(s.light_cache[0].shadow_color[0], 0.5f);
    EXPECT_EQ(s.light_cache[0].shadow, 0);  // host shadow type 1: no fur shadow
    s.light_cache[0].position[2] = 99.0f;   // cached for the frame...
    update_light_table();
    EXPECT_EQ(s.light_cache[0].position[2], 99.0f);
    s.current_frame += 1;                   // ...and read again at another
    update_light_table();
    EXPECT_FLOAT_EQ(s.light_cache[0].position[2], 6.0f);

    // A scene without lights is lit by one light at the camera.
    s.lights.clear();
    s.current_frame += 1;
    update_light_table();
    ASSERT_EQ(s.light_cache.size(), 1u);
    float eye[3];
    SAA_cameraGetPosition(&s.scene, &s.camera, eye);
    const LightInfo &light = s.light_cache[0];
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(light.position[c], eye[c]);
        EXPECT_FLOAT_EQ(light.color[c], 0.8f);
        EXPECT_FLOAT_EQ(light.shadow_color[c], 0.4f);
    }
    EXPECT_EQ(std::tie(light.shadow, light.start, light.end), std::make_tuple(short(1), 100000.0f, 100000.0f));
}

// A width x height picture whose red value is 10 x row + column + 1 and whose green is 200.
void write_picture(const std::string &path, int width, int height, uint8_t green = 200) {
    auto picture = pic_create(width, height, false);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            picture->red()[size_t(y * width + x)] = uint8_t(10 * y + x + 1);
            picture->green()[size_t(y * width + x)] = green;
        }
    ASSERT_TRUE(pic_write_file(path, *picture));
}

class BackgroundTest : public ::testing::Test {
protected:
    void SetUp() override {
        run_state().batch = 1;  // status lines go to stderr
        background_cache_reset();
    }
    void TearDown() override {
        offscreen_target_destroy();
        background_cache_reset();
        reset_globals();
    }
    std::string path(const std::string &name) const { return dir_.path() + "/" + name; }

    void make_target(int width, int height) {
        ::testing::internal::CaptureStderr();
        ASSERT_TRUE(offscreen_target_create(width, height, OffscreenKind::PBuffer));
        ::testing::internal::GetCapturedStderr();
        glViewport(0, 0, width, height);
    }

    // Draws and returns what went to stderr.
    std::string draw(const DisplaySettings &settings, int frame, int width, int height) {
        ::testing::internal::CaptureStderr();
        draw_background(settings, frame, width, height);
        return ::testing::internal::GetCapturedStderr();
    }

    test::TempDir dir_;
};

TEST_F(BackgroundTest, NumberedNamesFollowTheFrameOnlyAfterASeparator) {
    for (const char *file : {"stem.12.pic", "plain.0001.pic", "dir\\stem.12.pic"}) std::ofstream(path(file)) << "x";
    EXPECT_EQ(resolve_background_file_name(path("stem.0001.pic"), 12), path("stem.12.pic"));
    EXPECT_EQ(resolve_background_file_name(path("stem.7.pic"), 12), path("stem.12.pic"));
    // Backslashes separate as well (a relative name is resolved in the working directory).
    fs::path previous = fs::current_path();
    fs::current_path(dir_.path());
    EXPECT_EQ(resolve_background_file_name("dir\\stem.0001.pic", 12), std::optional<std::string>("dir\\stem.12.pic"));
    // Without a separator the name is never a sequence.
    EXPECT_EQ(resolve_background_file_name("plain.0001.pic", 12), std::optional<std::string>("plain.0001.pic"));
    fs::current_path(previous);
    EXPECT_EQ(resolve_background_file_name("", 3), std::nullopt);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(resolve_background_file_name(path("stem.0001.pic"), 13), std::nullopt);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "WARNING: Background image: " + path("stem.13.pic") + " does not exist\n\n");
}

TEST_F(BackgroundTest, PictureIsScaledByNearestNeighbourWithRounding) {
    write_picture(path("bg.pic"), 2, 2);
    make_target(4, 3);
    DisplaySettings settings;
    settings.use_background_image = 1;
    settings.background_image_name = path("bg.pic");
    std::string messages = draw(settings, 1, 4, 3);
    EXPECT_EQ(messages, "Background image set to " + path("bg.pic") + "\n\n");
    auto shown = offscreen_target_read_picture(nullptr);
    ASSERT_TRUE(shown);
    // Columns 0,1 | 2,3 take picture columns 0 | 1; the top row takes picture row 0, the two
    // lower rows picture row 1.
    const std::vector<uint8_t> expected_red{1, 1, 2, 2, 11, 11, 12, 12, 11, 11, 12, 12};
    EXPECT_EQ(shown->red(), expected_red);
    EXPECT_EQ(shown->green(), std::vector<uint8_t>(12, 200));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
}

TEST_F(BackgroundTest, MissingOrUnreadablePicturesWarnAndClearToTheColour) {
    make_target(3, 3);
    DisplaySettings settings;
    settings.background_color = int(0xFF2040C0u);  // red 0xC0, green 0x40, blue 0x20
    settings.use_background_image = 1;
    settings.background_image_name = path("missing.pic");
    EXPECT_EQ(draw(settings, 1, 3, 3), "WARNING: Background image: " + path("missing.pic") + " does not exist\n\n");
    auto shown = offscreen_target_read_picture(nullptr);
    EXPECT_EQ(shown->red(), std::vector<uint8_t>(9, 0xC0));
    EXPECT_EQ(shown->green(), std::vector<uint8_t>(9, 0x40));
    EXPECT_EQ(shown->blue(), std::vector<uint8_t>(9, 0x20));
    EXPECT_FALSE(background_cache_state().has_pixels);

    std::ofstream(path("broken.pic")) << "not a picture";
    settings.background_image_name = path("broken.pic");
    EXPECT_EQ(draw(settings, 1, 3, 3), "WARNING: Read background error: " + path("broken.pic") + "\n\n");
    EXPECT_EQ(background_cache_state().frame, kNoBackgroundFrame);
    EXPECT_EQ(offscreen_target_read_picture(nullptr)->red()[4], 0xC0);
    // The next drawing tries again, and finds the mended file.
    write_picture(path("broken.pic"), 1, 1);
    EXPECT_NE(draw(settings, 1, 3, 3).find("Background image set to"), std::string::npos);
    EXPECT_EQ(offscreen_target_read_picture(nullptr)->red()[4], 1);

    // Without "Use image" only the colour is drawn.
    settings.use_background_image = 0;
    EXPECT_EQ(draw(settings, 1, 3, 3), "");
    EXPECT_EQ(offscreen_target_read_picture(nullptr)->red()[4], 0xC0);
}


}  // namespace
}  // namespace vellimor
