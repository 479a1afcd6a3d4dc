// Status bar, selection list and the custom-effect context.
#include "support/temp_database.h"

using namespace vellimor::test;

TEST(Interface, SelectionHoldsValidElementsOnly) {
    TempDatabase db;
    ASSERT_EQ(db.load_text(scene_with_models(R"({"name": "A", "type": 0}, {"name": "B", "type": 0})")), SAA_OK);
    SAA_Elem b = model_named(db.scene, "B");
    ASSERT_EQ(SAA_selectlistSetElements(&db.scene, 1, 1, &b), SAA_OK);
    SAA_Elem got[4];
    int count = 0;
    ASSERT_EQ(SAA_selectlistGetElements(&db.scene, 4, got, &count), SAA_OK);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(element_name(db.scene, got[0]), "B");
    SAA_Elem stale{1, 0, 0, 0};
    EXPECT_EQ(SAA_selectlistSetElements(&db.scene, 1, 1, &stale), SAA_ERR_INVALID);
    ASSERT_EQ(SAA_selectlistGetElements(&db.scene, 4, got, &count), SAA_OK);
    EXPECT_EQ(count, 1) << "a refused selection keeps the old one";
    ASSERT_EQ(SAA_selectlistClear(&db.scene), SAA_OK);
    ASSERT_EQ(SAA_selectlistGetElements(&db.scene, 4, got, &count), SAA_OK);
    EXPECT_EQ(count, 0);
    SAA_CustomContext context{8};
    int state = 0;
    ASSERT_EQ(SAA_customContextGetState(&context, &state), SAA_OK);
    EXPECT_EQ(state, 8);
}
