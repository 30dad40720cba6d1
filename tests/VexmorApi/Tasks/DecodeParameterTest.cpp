// Decode settings: the selected area shared by copies, equality over every
// field, and the height that is to be appended.
#include "VexmorApi/Tasks/DecodeParameter.h"

#include <gtest/gtest.h>

namespace {

TEST(DecodeParameter, CopiesShareTheAreaUntilOneSetsItsOwn)
{
    DecodeParameter original;
    original.SetSelectedArea({10, 20, 300, 400});
    DecodeParameter copy(original);
    DecodeParameter assigned;
    assigned = original;
    copy.GetSelectedArea()->width = 250;  // as the decode task fits it to the data
    EXPECT_EQ(original.GetSelectedArea()->width, 250u);
    EXPECT_EQ(assigned.GetSelectedArea()->width, 250u);

    copy.SetSelectedArea({0, 0, 1, 1});  // detaches the copy only
    EXPECT_EQ(original.GetSelectedArea()->width, 250u);
    EXPECT_EQ(copy.GetSelectedArea()->width, 1u);
    EXPECT_EQ(DecodeParameter().GetSelectedArea(), nullptr);
}

TEST(DecodeParameter, EqualityAndAppendedHeight)
{
    auto const make = [] {
        DecodeParameter p;
        p.SetResolution(300);
        p.SetColorType(DecodeParameter::TrueGray);
        p.SetHeight(3508);
        p.SetSelectedArea({1, 2, 3, 4});
        return p;
    };
    DecodeParameter const base = make();
    EXPECT_TRUE(base.IsEqual(make()));
    struct Case {
        char const* what;
        void (*change)(DecodeParameter&);
    } const cases[] = {
        {"resolution", [](DecodeParameter& p) { p.SetResolution(600); }},
        {"colour type", [](DecodeParameter& p) { p.SetColorType(DecodeParameter::Color); }},
        {"height", [](DecodeParameter& p) { p.SetHeight(1); }},
        {"end of page", [](DecodeParameter& p) { p.SetDetectEndOfPage(true); }},
        {"reversal", [](DecodeParameter& p) { p.SetReversal(true); }},
        {"area",
         [](DecodeParameter& p) {
             p.SetSelectedArea({1, 2, 3, 5});
         }},
    };
    for (Case const& c : cases) {
        DecodeParameter changed = make();
        c.change(changed);
        EXPECT_FALSE(base.IsEqual(changed)) << c.what;
        EXPECT_FALSE(changed.IsEqual(base)) << c.what;
    }
    EXPECT_FALSE(base.IsEqual(DecodeParameter()));
    EXPECT_TRUE(DecodeParameter().IsEqual(DecodeParameter()));

    EXPECT_TRUE(base.WillAppendHeight());
    DecodeParameter found = make();
    found.SetDetectEndOfPage(true);
    EXPECT_FALSE(found.WillAppendHeight());
    EXPECT_FALSE(DecodeParameter().WillAppendHeight());
    EXPECT_EQ(base.GetHeight(), 3508u);
    EXPECT_EQ(base.GetColorType(), DecodeParameter::TrueGray);
}

}  // namespace
