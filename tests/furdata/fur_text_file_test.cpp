// The fur settings text file: written and fetched back, its damaged lines, hold files, hostile
// input, and the user documentation that names its keys.
#include "furdata/fur_text_file.h"

#include "support/test_prelude.h"

#include <random>
#include <regex>

#include "furdata/field_bounds.h"
#include "furdata/fur_text_fields.h"
#include "host/configuration.h"
#include "host/globals.h"
#include "host/scene.h"
#include "host/status.h"
#include "render/pic_file.h"
#include "support/paths.h"
#include "support/test_env.h"

namespace vellimor {
namespace {

// Gives every field of the tables a value of its own, counting up from *next: integers n,
// shorts n, reals n + 0.25 (exact in six decimals); a count outside the field's range wraps
// around within it, so that the readers keep it.
template <class Record>
void fill_distinct(Record &record, std::span<const TextField<Record>> fields, int &next) {
    for (const TextField<Record> &f : fields) {
        const TextFieldRef ref = f.field(record);
        const FieldRange range = field_range(f.key, std::holds_alternative<float *>(ref));
        int n = next++;
        if (n < range.min || n > range.max) n = int(range.min) + n % int(range.max - range.min);
        if (auto *i = std::get_if<int *>(&ref)) {
            **i = n;
        } else if (auto *s = std::get_if<short *>(&ref)) {
            **s = static_cast<short>(n);
        } else {
            *std::get<float *>(ref) = static_cast<float>(n) + 0.25f;
        }
    }
}

// Expects equal values in every field of the tables; keys not read back compare with `fresh`.
template <class Record>
void expect_fields(Record &actual, Record &written, Record &fresh,
                   std::span<const TextField<Record>> fields) {
    for (const TextField<Record> &f : fields) {
        Record &expected = f.read_back ? written : fresh;
        const TextFieldRef a = f.field(actual), e = f.field(expected);
        if (auto *i = std::get_if<int *>(&a)) {
            EXPECT_EQ(**i, *std::get<int *>(e)) << f.key;
        } else if (auto *s = std::get_if<short *>(&a)) {
            EXPECT_EQ(**s, *std::get<short *>(e)) << f.key;
        } else {
            EXPECT_EQ(*std::get<float *>(a), *std::get<float *>(e)) << f.key;
        }
    }
}

constexpr int kColorCounts[kColorTypes] = {3, 2, 19, 5};

std::span<const TextField<PatchData>> object_tables(int k) {
    if (k == 0) return object_head_fields();
    if (k == 1) return object_middle_fields();
    if (k < 2 + kRecordChannels) return object_channel_fields(k - 2);
    return object_tail_fields();
}
constexpr int kObjectTables = 3 + kRecordChannels;

// A record with a value of its own in every field the text file holds.
std::unique_ptr<PatchData> distinct_record(const std::string &name, int keys) {
    auto r = patch_new();
    r->name = name;
    int n = 1;
    for (int k = 0; k < kObjectTables; ++k) fill_distinct(*r, object_tables(k), n);
    for (int t = 0; t < kColorTypes; ++t) {
        r->nbColorKeys[t] = kColorCounts[t];
        for (int i = 0; i < kColorCounts[t]; ++i) {
            MainColorKey &m = r->main_color_keys[t][i];
            fill_distinct(m, main_color_key_head_fields(), n);
            fill_distinct(m, main_color_key_tail_fields(), n);
            m.this_key_uses_picture = 0;
        }
    }
    r->texture_keys.clear();
    for (int k = 0; k < keys; ++k) {
        TextureKey key = texture_key_new();
        fill_distinct(key, texture_key_head_fields(), n);
        fill_distinct(key, texture_key_group_fields(), n);
        for (int t = 0; t < kColorTypes; ++t) {
            key.color_active[t] = 1;
            for (int i = 0; i < kColorCounts[t]; ++i) fill_distinct(key.color_keys[t][i], color_key_fields(), n);
        }
        r->texture_keys.push_back(key);
    }
    return r;
}

void expect_same_record(PatchData &actual, PatchData &written) {
    auto fresh = patch_new();
    for (int k = 0; k < kObjectTables; ++k) expect_fields(actual, written, *fresh, object_tables(k));
    for (int t = 0; t < kColorTypes; ++t) {
        for (int i = 0; i < written.nbColorKeys[t]; ++i) {
            MainColorKey &a = actual.main_color_keys[t][i], &w = written.main_color_keys[t][i];
            MainColorKey none;
            expect_fields(a, w, none, main_color_key_head_fields());
            expect_fields(a, w, none, main_color_key_tail_fields());
        }
    }
    ASSERT_EQ(actual.texture_keys.size(), written.texture_keys.size());
    auto a = actual.texture_keys.begin();
    for (TextureKey &w : written.texture_keys) {
        TextureKey none;
        expect_fields(*a, w, none, texture_key_head_fields());
        expect_fields(*a, w, none, texture_key_group_fields());
        for (int t = 0; t < kColorTypes; ++t) {
            for (int i = 0; i < written.nbColorKeys[t]; ++i) {
                ColorKey nothing;
                expect_fields(a->color_keys[t][i], w.color_keys[t][i], nothing, color_key_fields());
            }
        }
        ++a;
    }
}

// Status output into the message file of a temporary directory.
class FurTextFile : public ::testing::Test {
protected:
    void SetUp() override {
        reset_globals();
        status_reset();
        run_state().run_mode = kRunModeStandAlone;
        env.set("TEMP", dir.path());
        open_message_file();
    }
    void TearDown() override {
        close_message_file();
        reset_globals();
    }
    std::string messages() const { return test::read_file(dir.path() + "/fur_message"); }
    std::string path(const std::string &name) const { return dir.path() + "/" + name; }
    // Fetches a file holding `text` into a new record named `name`.
    FetchOutcome fetch_text(const std::string &text, const std::string &name = "ball", int any_name = 0) {
        std::ofstream(path("fur.txt"), std::ios::binary) << text;
        record = patch_new();
        record->name = name;
        return fetch_into_record(record, path("fur.txt"), any_name);
    }

    test::ScopedEnv env;
    test::TempDir dir;
    std::unique_ptr<PatchData> record;
};

TEST_F(FurTextFile, WriteThenFetchRestoresEveryFieldReadBack) {
    auto written = distinct_record("ball", 3);
    const FetchOutcome outcome = fetch_text(object_text(*written));
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.objects, 1);
    EXPECT_EQ(outcome.errors, 0) << messages();
    expect_same_record(*record, *written);
    // Kept at their new-record values: the surface type and the wind groups' curves.
    EXPECT_EQ(std::tie(record->surfacetype, record->wind_color.fcurve_id, record->wind_multiply_hair_speed.fcurve_id),
              std::make_tuple(0, 0, 0));
    EXPECT_EQ(record->velocity_scale.fcurve_id, written->velocity_scale.fcurve_id);
}

TEST_F(FurTextFile, WriterFormat) {
    auto r = patch_new();
    r->name = "ground";
    r->sub_res_u = 12;
    r->velocity_scale.value = 1.5f;
    const std::string text = object_text(*r);
    EXPECT_EQ(text.rfind("OBJECT 1 ground\n\tpresistant_rebuild             = \t 0\n", 0), 0u) << text;
    for (const char *part : {"\tsub_res_u                      = \t 12\n", "\tvelocity_scale.value           = \t 1.500000\n",
                             "\tMAIN_COLORKEY 3 1\n\t\twhere                          = \t 1.000000\n", "\tTEXTUREKEY 0\n\t\tselected",
                             "\t\tCOLORKEY 0 1\n\t\t\tR                              = \t 0.000000\n"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    EXPECT_EQ(text.find("COLORKEY 1 1"), std::string::npos);  // ambient has one key
    EXPECT_EQ(text.substr(text.size() - 4), "END\n");
}

TEST_F(FurTextFile, PicturesComeBackWithTheirSettingsAndWholeFileNames) {
    auto r = patch_new();
    r->name = "ball";
    r->length_picture = std::make_unique<Picture>();  // no file name: kept without an image
    r->length_picture->tileu = 3;
    r->length_picture->offv = 0.5f;
    fetch_text(object_text(*r));
    ASSERT_NE(record->length_picture, nullptr);
    EXPECT_EQ(std::tie(record->length_picture->tileu, record->length_picture->offv), std::make_tuple(3, 0.5f));
    EXPECT_EQ(record->curl_picture, nullptr);

    // A picture whose file can't be loaded gives the channel no picture; the name was read whole.
    fetch_text("OBJECT 1 ball\n\tPICTURE grow_textures\n\t\ttexture_filename = \t my fur/skin map.pic\n\tEND\nEND\n");
    EXPECT_EQ(record->grow_picture, nullptr);
    EXPECT_NE(messages().find("my fur/skin map.pic"), std::string::npos) << messages();

    // Pictures that load are restored, and written back with their picture blocks.
    auto image = pic_create(4, 2, false);
    ASSERT_TRUE(pic_write_file(path("skin.pic"), *image));
    const FetchOutcome o = fetch_text(
        "OBJECT 1 ball\n\tPICTURE density_textures\n\t\ttexture_filename = \t " + path("skin.pic") +
        "\n\t\ttileu = 2\n\tEND\n\tMAIN_COLORKEY 1 0\n\t\tthis_key_uses_picture = 0\n"
        "\t\tPICTURE picture\n\t\t\ttexture_filename = " + path("skin.pic") + "\n\t\tEND\n\tEND\nEND\n");
    EXPECT_TRUE(o.ok);
    ASSERT_NE(record->density_picture, nullptr);
    ASSERT_NE(record->density_picture->image, nullptr);
    EXPECT_EQ(std::tie(record->density_picture->image->width, record->density_picture->tileu), std::make_tuple(4, 2));
    const MainColorKey &key = record->main_color_keys[kColorAmbient][0];
    EXPECT_EQ(key.this_key_uses_picture, 1);
    EXPECT_EQ(key.picture.texture_filename, path("skin.pic"));
    ASSERT_NE(key.picture.image, nullptr);
    const std::string text = object_text(*record);
    EXPECT_NE(text.find("\t\tPICTURE picture\n\t\t\ttexture_filename               = \t " + path("skin.pic")),
              std::string::npos);
    EXPECT_NE(text.find("\tPICTURE density_textures\n"), std::string::npos);
}

TEST_F(FurTextFile, LineErrorsWithTheirMessages) {
    struct Case {
        const char *line;
        const char *message;
        const char *line_prefix;
    } cases[] = {
        {"OBJECT 2", "Fetch Error: no number of texturekeys and name after OBJECT\n", "line: "},
        {"END now", "Fetch Error: END must be the only word on a line\n", "line: "},
        {"COLORKEY 1", "Fetch Error: no type and number after COLORKEY\n", "line: "},
        {"MAIN_COLORKEY", "Fetch Error: no type and number after MAIN_COLORKEY\n", "line: "},
        {"TEXTUREKEY", "Fetch Error: no  number after TEXTUREKEY\n", "line: "},
        {"PICTURE", "Fetch Error: no name after PICTURE\n", "line: "},
        {"sub_res_u 12", "Fetch Error: variable definition must be: var = val\n", "       line: "},
        {"sub_res_u =", "Fetch Error: variable definition must be: var = val\n", "       line: "},
    };
    for (const Case &c : cases) {
        close_message_file();
        open_message_file();
        const FetchOutcome o = fetch_text(std::string(c.line) + "\nOBJECT 1 ball\nsub_res_u = 7\nEND\n");
        // A malformed line at the top level ends the reading.
        EXPECT_FALSE(o.ok) << c.line;
        EXPECT_EQ(o.objects, 0);
        EXPECT_EQ(messages(), std::string("ERROR: ") + c.message + "\n" + c.line_prefix + c.line + "\n\n");
    }
}

// Damaged lines and blocks are reported; the reading goes on where it can, and what was read
// before stays.
TEST_F(FurTextFile, DamagedLinesAndBlocksAreReportedAndTheRestIsRead) {
    using Value = std::pair<double (*)(PatchData &), double>;
#define V(expr, value) Value{[](PatchData &r) { return double(r.expr); }, value}
    const std::string long_line = "\tlength_map_res = " + std::string(500, '0') + "7 sub_res_u = 3";
    const std::string fits = "sub_res_v = 4" + std::string(511 - 13, ' ');
    const struct {
        std::string text;
        bool ok;
        std::vector<Value> values;
        std::vector<std::string> messages;
    } cases[] = {
        // The malformed line is named by its first word; a line without words has none.
        {"OBJECT 1 ball\n\tsub_res_u 3\n\tsub_res_v = 4\n\n\tCOLORKEY 0 0\nEND\n", true, {V(sub_res_v, 4), V(sub_res_u, 10)},
         {"ERROR: Fetch OBJECT wrong command sub_res_u, 9\n", "ERROR: Fetch OBJECT wrong command , 8\n",
          "ERROR: Fetch OBJECT wrong command COLORKEY, 3\n"}},
        {"OBJECT 1 ball\n\tTEXTUREKEY 0\n\t\tu 0.5\n\t\tv = 0.25\n\tEND\nEND\n", true, {V(texture_keys.front().v, 0.25)},
         {"ERROR: Fetch TEXTURE wrong command u, 9\n"}},
        // The tail of a long line would read as a setting of its own if the line were split; 511
        // characters are still a line.
        {"OBJECT 1 ball\n" + long_line + "\nEND\n", true, {V(length_map_res, 50), V(sub_res_u, 10)},
         {"ERROR: Fetch Error: line longer than 511 characters\n"}},
        {"OBJECT 1 ball\n" + fits + "\nEND\n", true, {V(sub_res_v, 4)}, {}},
        // A line without "=" at the top level ends the reading.
        {"junk line here\nOBJECT 1 ball\n\tsub_res_v = 6\nEND\n", false, {V(sub_res_v, 10)}, {}},
        // Other surfaces' objects and unknown keys are passed over; an unknown picture's END ends the object.
        {"OBJECT 1 other\n\tsub_res_u = 3\nEND\nEND\nOBJECT 1 ball\n\tno_such_key = 5\n\tsub_res_v = 6\n"
         "\tPICTURE nothing\n\t\ttileu = 4\n\tEND\n\tsub_res_u = 9\nEND\n",
         true, {V(sub_res_v, 6), V(sub_res_u, 10)}, {}},
        // Too many texture keys, or one twice, end the object.
        {"OBJECT 2 ball\n\tTEXTUREKEY 2\n\t\tu = 0.5\n\tEND\n\tsub_res_u = 3\nEND\n", true,
         {V(texture_keys.front().u, -1), V(sub_res_u, 10)}, {"ERROR: TEXTUREKEY to many texture keys\n"}},
        {"OBJECT 1 ball\n\tTEXTUREKEY 0\n\tEND\n\tTEXTUREKEY 0\n\t\tu = 0.5\n\tEND\n\tsub_res_u = 3\nEND\n", true,
         {V(texture_keys.front().u, -1), V(sub_res_u, 10)}, {}},
        // Colour keys out of range end the object; the rest of a texture key is read by the object
        // reader, where v is no key, and the colour key's END ends the object.
        {"OBJECT 1 ball\n\tsub_res_u = 3\n\tMAIN_COLORKEY 4 0\n\t\twhere = 0.5\n\tEND\n\tsub_res_v = 4\nEND\n", true,
         {V(sub_res_u, 3), V(sub_res_v, 10)}, {"ERROR: MAIN_COLORKEY color_type\n"}},
        {"OBJECT 1 ball\n\tsub_res_u = 3\n\tMAIN_COLORKEY -1 0\nEND\n", true, {V(sub_res_u, 3)},
         {"ERROR: MAIN_COLORKEY color_type\n"}},
        {"OBJECT 1 ball\n\tsub_res_u = 3\n\tMAIN_COLORKEY 0 20\n\tEND\n\tsub_res_v = 4\nEND\n", true,
         {V(sub_res_u, 3), V(sub_res_v, 10)}, {"ERROR: MAIN_COLORKEY colorNr\n"}},
        {"OBJECT 1 ball\n\tMAIN_COLORKEY 0 -5\nEND\n", true, {}, {"ERROR: MAIN_COLORKEY colorNr\n"}},
        {"OBJECT 1 ball\n\tTEXTUREKEY 0\n\t\tu = 0.5\n\t\tCOLORKEY 7 0\n\t\t\tR = 0.5\n\t\tEND\n\t\tv = 0.25\n\tEND\n"
         "\tsub_res_v = 4\nEND\n",
         true, {V(texture_keys.front().u, 0.5), V(texture_keys.front().v, -1), V(sub_res_v, 10)},
         {"ERROR: COLORKEY color_type\n"}},
        {"OBJECT 1 ball\n\tTEXTUREKEY 0\n\t\tCOLORKEY 1 99\n\t\tEND\n\tEND\nEND\n", true, {}, {"ERROR: COLORKEY colorNr\n"}},
        // A number too large for an int reads as the largest one.
        {"OBJECT 1 ball\n\tsub_res_u = 99999999999\nEND\n", true, {V(sub_res_u, 10)},
         {"WARNING: ball: sub_res_u = 2147483647 is out of range, 10 used\n"}},
        // Colour key counts out of range get the defaults.
        {"OBJECT 1 ball\n\tnbColorKeys[0] = 20\n\tnbColorKeys[1] = -3\n\tnbColorKeys[3] = 4\nEND\n", true,
         {V(nbColorKeys[0], 2), V(main_color_keys[0][1].where, 1), V(nbColorKeys[1], 1), V(nbColorKeys[3], 4)},
         {"WARNING: #Colorkeys out of range, deleting keys\n"}},
    };
#undef V
    for (const auto &c : cases) {
        close_message_file();
        open_message_file();
        EXPECT_EQ(fetch_text(c.text).ok, c.ok) << c.text;
        for (const auto &[value, expected] : c.values) EXPECT_EQ(value(*record), float(expected)) << c.text;
        for (const std::string &m : c.messages) EXPECT_NE(messages().find(m), std::string::npos) << c.text << messages();
    }
}

TEST_F(FurTextFile, CommentsArePassedOverAndDoubtfulSettingsNotedWithTheirLines) {
    const FetchOutcome o = fetch_text(
        "# a note for people\n"                     // line 1
        "OBJECT 2 ball\n"                           // 2
        "\t# comments may stand inside blocks\n"    // 3
        "\tnumber_of_hairs_pr_squre_unit = 500\n"   // 4: misspelt
        "\tsub_res_u = lots\n"                      // 5: not a number
        "\tsurfacetype = 1\n"                       // 6: written for reference, not a doubt
        "\tsub_res_v = 12 \t\n"                     // 7: blanks after a number are fine
        "\tTEXTUREKEY 0\n"                          // 8
        "\t\tlenght.value = 2\n"                    // 9: misspelt
        "\t\tlength.value = 1.5cm\n"                // 10: a number and more
        "\tEND\n"
        "END\n"
        "OBJECT 1 other\n\tbogus = 1\nEND\n");      // another surface's object is not read
    EXPECT_EQ(std::make_tuple(o.ok, o.errors, o.objects), std::make_tuple(true, 0, 1));
    ASSERT_EQ(o.notices.size(), 4u);
    const std::tuple<int, std::string, std::string> expected[] = {
        {4, "number_of_hairs_pr_squre_unit", ""}, {5, "sub_res_u", "lots"}, {9, "lenght.value", ""},
        {10, "length.value", "1.5cm"}};
    for (size_t i = 0; i < o.notices.size(); ++i)
        EXPECT_EQ(std::tie(o.notices[i].line, o.notices[i].key, o.notices[i].value), expected[i]) << i;
    // Read as ever: unknown keys change nothing, a value counts by its leading number; a
    // subdivision of 0 is out of range and refused.
    EXPECT_EQ(std::tie(record->number_of_hairs_pr_square_unit, record->sub_res_u, record->sub_res_v), std::make_tuple(0, 10, 12));
    EXPECT_FLOAT_EQ(record->texture_keys.front().length.value, 1.5f);
    EXPECT_EQ(messages(), "Fetch data for ball\nWARNING: ball: sub_res_u = 0 is out of range, 10 used\n");
    // A picture block of no channel is noted by its name.
    const FetchOutcome picture = fetch_text("OBJECT 1 ball\n\tPICTURE lenght_textures\n\tEND\nEND\n");
    ASSERT_EQ(picture.notices.size(), 1u);
    EXPECT_EQ(std::tie(picture.notices[0].line, picture.notices[0].key), std::make_tuple(2, std::string("lenght_textures")));
}

TEST_F(FurTextFile, HoldFilesWrittenAndFetched) {
    SceneState &scene = scene_state();
    scene.patches.clear();
    scene.patches.push_back(distinct_record("ball", 2));
    scene.patches.push_back(distinct_record("ground", 1));
    scene.hold_file_path = hold_file_name(dir.path(), 1, 28, 9, 5);
    EXPECT_EQ(scene.hold_file_path, dir.path() + "/fur_hold_0128_1006");

    config().backup = 0;
    EXPECT_EQ(write_hold_file(), 0);
    config().backup = 1;
    EXPECT_EQ(write_hold_file(), 1);

    for (auto &written : scene.patches) {
        record = patch_new();
        record->name = written->name;
        EXPECT_TRUE(fetch_into_record(record, scene.hold_file_path, 0).ok);
        expect_same_record(*record, *written);
    }

    // Two failed backups are reported once.
    hold_file_reset();
    scene.hold_file_path = dir.path() + "/no/such/dir/fur_hold";
    EXPECT_EQ(write_hold_file(), 0);
    EXPECT_EQ(write_hold_file(), 0);
    const std::string m = messages();
    const std::string report = "ERROR: Can't open save file: " + scene.hold_file_path + "\n";
    EXPECT_NE(m.find(report), std::string::npos);
    EXPECT_EQ(m.find(report), m.rfind(report));
    hold_file_reset();
    scene.patches.clear();
    scene.hold_file_path.clear();
}

// Hostile input: the reader must neither crash nor allocate without bound.
TEST_F(FurTextFile, HostileFiles) {
    std::mt19937 random(7);
    const std::string valid = object_text(*distinct_record("ball", 2));
    for (size_t cut = 0; cut < valid.size(); cut += 97) {
        fetch_text(valid.substr(0, cut));
        ASSERT_NE(record, nullptr);
    }
    for (int round = 0; round < 15; ++round) {
        std::string bytes(static_cast<size_t>(random() % 3000), '\0');
        for (char &c : bytes) c = static_cast<char>(random());
        fetch_text(bytes, "ball", 1);
        // Random bytes with the reader's own words mixed in.
        std::string words = "OBJECT 3 ball\n";
        const char *pieces[] = {"TEXTUREKEY 1\n", "COLORKEY 3 19\n", "MAIN_COLORKEY 2 2\n",
                                "PICTURE length_textures\n", "END\n", "nbColorKeys[2] = 99999\n",
                                "texture_filename = x\n", "OBJECT -4 ball\n", "\n",
                                "TEXTUREKEY 99999999999\n", "COLORKEY -2147483648 0\n"};
        for (int k = 0; k < 200; ++k) words += pieces[random() % std::size(pieces)];
        fetch_text(words, "ball", 1);
        ASSERT_NE(record, nullptr);
        for (int t = 0; t < kColorTypes; ++t) {
            EXPECT_GE(record->nbColorKeys[t], 0);
            EXPECT_LT(record->nbColorKeys[t], kMaxColorKeys);
        }
    }
}

constexpr const char *kChannelNames[kRecordChannels] = {"length",   "curl",    "grow",   "bend",
                                                        "segments", "gravity", "density"};

class FurSettingsDocs : public ::testing::Test {
protected:
    const std::string docs = test::read_file(test::source_dir() + "/docs/fur-settings.md");

    // The key as the docs spell it: in backquotes, the channel's name standing as CHANNEL in the
    // keys of the channel pictures.
    void expect_documented(std::string key, int channel = -1) const {
        if (channel >= 0) key = "CHANNEL" + key.substr(std::string(kChannelNames[channel]).size());
        EXPECT_NE(docs.find("`" + key + "`"), std::string::npos) << key;
    }
    template <class Record>
    void expect_documented(std::span<const TextField<Record>> fields, int channel = -1) const {
        for (const TextField<Record> &f : fields) expect_documented(f.key, channel);
    }

    // The "unit, range" cell of the table row that names the key (the key itself before its
    // CHANNEL form); nullopt when no row names it, "" when the row has no such cell.
    std::optional<std::string> range_cell(const std::string &key, int channel) const {
        std::vector<std::string> names = {key};
        if (channel >= 0) names.push_back("CHANNEL" + key.substr(std::string(kChannelNames[channel]).size()));
        for (const std::string &name : names) {
            std::istringstream lines(docs);
            for (std::string line; std::getline(lines, line);) {
                std::vector<std::string> cells;
                for (size_t start = 1, bar; line.starts_with("|") && (bar = line.find('|', start)) != std::string::npos;
                     start = bar + 1)
                    cells.push_back(line.substr(start, bar - start));
                if (cells.size() < 2 || cells[0].find("`" + name + "`") == std::string::npos) continue;
                return cells.size() >= 4 ? cells[2] : "";
            }
        }
        return std::nullopt;
    }

    // The ranges a cell states: "A..B" ("0..1 typical" is a hint, not a range), and 0..1 when it
    // says "flag" (with_flag).
    static std::vector<FieldRange> stated_ranges(std::string cell, bool with_flag) {
        for (size_t at; (at = cell.find("\u2212")) != std::string::npos;) cell.replace(at, 3, "-");
        std::vector<FieldRange> ranges;
        const std::regex range(R"((-?\d+(?:\.\d+)?)\.\.(-?\d+(?:\.\d+)?)( typical)?)");
        for (std::sregex_iterator m(cell.begin(), cell.end(), range), end; m != end; ++m)
            if (!(*m)[3].matched) ranges.push_back({std::stod((*m)[1]), std::stod((*m)[2])});
        if (with_flag && cell.find("flag") != std::string::npos) ranges.push_back({0, 1});
        return ranges;
    }

    // The docs state the range the readers hold the key to, and no other; a key kept with any
    // value of its type states none (a row naming it with a flag may say "flag").
    template <class Record>
    void expect_range_documented(std::span<const TextField<Record>> fields, int channel = -1) const {
        Record record{};
        for (const TextField<Record> &f : fields) {
            const bool is_real = std::holds_alternative<float *>(f.field(record));
            const FieldRange code = field_range(f.key, is_real);
            const std::optional<std::string> cell = range_cell(f.key, channel);
            ASSERT_TRUE(cell) << f.key;
            const bool any_value = is_any_value_range(code, is_real);
            const std::vector<FieldRange> stated = stated_ranges(*cell, !any_value);
            if (any_value) {
                EXPECT_TRUE(stated.empty()) << f.key << ": \"" << *cell << "\" states a range, the readers take any value";
                continue;
            }
            const bool all_equal = std::all_of(stated.begin(), stated.end(), [&](FieldRange r) {
                return r.min == code.min && r.max == code.max;
            });
            EXPECT_TRUE(!stated.empty() && all_equal)
                << f.key << ": \"" << *cell << "\" does not state " << code.min << ".." << code.max;
        }
    }
};

// Calls check(fields, channel) for every table of keys the file holds (channel -1 outside the
// channel tables).
template <class Check>
void for_each_table(Check check) {
    check(object_head_fields(), -1);
    check(object_middle_fields(), -1);
    check(object_tail_fields(), -1);
    for (int c = 0; c < kRecordChannels; ++c) check(object_channel_fields(c), c);
    check(main_color_key_head_fields(), -1);
    check(main_color_key_tail_fields(), -1);
    check(texture_key_head_fields(), -1);
    check(texture_key_group_fields(), -1);
    check(color_key_fields(), -1);
    check(picture_fields(), -1);
}

TEST_F(FurSettingsDocs, EveryKeyIsDocumentedWithTheRangeTheReadersHoldItTo) {
    ASSERT_FALSE(docs.empty());
    for_each_table([&](auto fields, int channel) {
        expect_documented(fields, channel);
        expect_range_documented(fields, channel);
    });
    for (int c = 0; c < kRecordChannels; ++c) {
        ASSERT_EQ(std::string(channel_picture_key(c)).rfind(kChannelNames[c], 0), 0u);
        expect_documented(channel_picture_key(c), c);
    }
    expect_documented(std::string(kTextureFilenameKey));
}

}  // namespace
}  // namespace vellimor
