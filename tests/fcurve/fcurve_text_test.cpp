// Function curves in the fur settings text: what a hold file carries comes back exactly, and a
// damaged curve is left out without taking the others with it.
#include "fcurve/fcurve_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "fcurve/fcurve_list.h"

namespace vellimor {
namespace {

class FCurveText : public ::testing::Test {
protected:
    void SetUp() override { fcurve_delete_all(); }
    void TearDown() override {
        fcurve_delete_all();
        std::remove(path.c_str());
    }
    int fetch(const std::string &text) {
        std::FILE *f = std::fopen(path.c_str(), "w");
        std::fputs(text.c_str(), f);
        std::fclose(f);
        fcurve_delete_all();
        return fetch_fcurves(path);
    }
    std::string path = ::testing::TempDir() + "fcurve_text_test.txt";
};

TEST_F(FCurveText, CurvesComeBackUnderTheirIdsWithEveryKeyAndLimit) {
    const float values[2] = {0.2f, 0.1f};
    const int id = fcurve_create(2, 1.0f, values);
    Herm &length = *fcurve_find(id)->limits[0].curve;
    HermInsertPoint(length, 1, 30.0f, 0.8f);
    HermSetPointType(length, 1, herm::Break);
    fcurve_set_limits(id, 1, 1, 1, 0.0f, 1.0f);
    fcurve_set_use(id, 1, 0);
    const std::string text = fcurves_text();

    ASSERT_EQ(fetch(text), 1);
    EXPECT_EQ(fcurves_text(), text);  // every field, bit for bit
    const FCurve *f = fcurve_find(id);
    ASSERT_NE(f, nullptr);
    float at30[2] = {};
    ASSERT_EQ(fcurve_query(id, 30, at30), 1);
    EXPECT_NEAR(at30[0], 0.8f, 1e-3f);
    EXPECT_EQ(f->limits[0].curve->points[1].type, herm::Break);
}

TEST_F(FCurveText, ADamagedCurveIsLeftOutAndTheNextOneRead) {
    const std::string good = "fcurve = 9 1 1 1 0 0 0 0\n"
                             "fcurve.component = 0 0 0 0 0 0 0 100 0 1 1 0 0 0\n"
                             "fcurve.key = 1 0.5 0 0 0 0 0\n";
    const char *damaged[] = {
        "fcurve = 4 1 1 1 0 0 0\n",                                      // a use flag missing
        "fcurve = 4 6 6 1 1 1 1 1\n",                                    // six components
        "fcurve = 4 1 1 1 0 0 0 0\nfcurve.key = 1 0.5 0 0 0 0 0\n",       // a key before its component
        "fcurve = 4 1 1 1 0 0 0 0\nfcurve.component = 0 0 0 0 0 0 0 100 0 1 1 0 0 0\n",  // no key
        "fcurve = 4 1 1 1 0 0 0 0\nfcurve.component = 1 0 0 0 0 0 0 100 0 1 1 0 0 0\n"
        "fcurve.key = 1 0.5 0 0 0 0 0\n",                                // component 1 of 1
        "fcurve = 4 1 1 1 0 0 0 0\nfcurve.component = 0 0 0 0 0 0 0 100 0 1 1 0 0 0\n"
        "fcurve.key = 1 nan 0 0 0 0 0\n",                                // no number
        "fcurve = 4 1 1 1 0 0 0 0\nfcurve.component = 0 0 0 0 0 0 0 100 0 1 1 0 0 0\n"
        "fcurve.key = 1 1e300 0 0 0 0 0\n",                              // no float
        "fcurve = 4 1 1 1 0 0 0 0\nfcurve.component = 0 0 0 0 0 0 0 100 0 1 1 0 0 0\n"
        "fcurve.key = 1 0.5 0 0 0 0 7\n",                                // no point type
    };
    for (const char *text : damaged) {
        SCOPED_TRACE(text);
        EXPECT_EQ(fetch(std::string(text) + good), 1);
        EXPECT_EQ(fcurve_count(), 1);
        EXPECT_NE(fcurve_find(9), nullptr);
    }
}

}  // namespace
}  // namespace vellimor
