#include "editing/editing_context.h"
#include "model/parameter_model.h"

#include <gtest/gtest.h>

#include <vector>

using namespace talvex;
using Kind = EditingContext::BoxKind;

TEST(EditingContext, BoxDesignationNamesTheEntryOfItsChannel)
{
    struct Case {
        Kind kind;
        int band, channel, field, record;
    };
    const Case cases[] = {
        {Kind::HpfFrequency, 7, 0, 8, -1},                  // the band is ignored
        {Kind::LpfFrequency, 0, 3, 456 + 4, -1},
        {Kind::BandQ, 9, 3, 456 + 16 + 72 + 6, 456 + 16 + 72},
        {Kind::BandGain, 2, 1, 186, 184},
    };
    for (const Case& c : cases) {
        EditingContext context;
        EXPECT_EQ(context.designateBox(c.kind, c.band, c.channel), c.field);
        EXPECT_EQ(context.targetRecord, c.record);
    }
}

TEST(EditingContext, TheWheelCallsItsBindingOncePerNotchUntilUnbound)
{
    EditingContext context;
    EXPECT_FALSE(context.wheelTurned(120)); // unbound: the focused control gets it
    std::vector<int> notches;
    const int control = 0;
    context.bindWheel({&control, 16, [&](int direction) { notches.push_back(direction); }});
    EXPECT_TRUE(context.wheelTurned(+1200) && context.wheelTurned(-1));
    EXPECT_EQ(notches, (std::vector<int>{1, -1}));
    EXPECT_TRUE(context.wheelControl() == &control && context.wheelEntry() == 16);
    context.unbind();
    EXPECT_FALSE(context.wheelTurned(120) || context.wheelBound());
    EXPECT_EQ(notches.size(), 2u);
}

TEST(EditingContext, SteppedCodesAreBroughtIntoRangeFirst)
{
    EXPECT_EQ(steppedCode(200, +1, 180), 180); // beyond the range: clamped, then held at the top
    EXPECT_EQ(steppedCode(200, -1, 180), 179);
    EXPECT_EQ(steppedCode(0, -1, 78), 0);
    EXPECT_EQ(steppedCode(-5, +1, 243), 1);
}
