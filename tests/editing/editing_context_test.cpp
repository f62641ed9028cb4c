#include "editing/editing_context.h"
#include "model/parameter_model.h"

#include <gtest/gtest.h>

using namespace talvex;
using Kind = EditingContext::BoxKind;

namespace {

struct ContextTest : ::testing::Test {
    ParameterModel model;
    EditingContext context;
    std::vector<std::string> applied;

    ContextTest()
    {
        model.writeDefaults();
        // The apply operation stores the stepped code (the page's edit path).
        for (std::string name : {"edt_hpf_freq", "edt_lpf_freq", "edt_eq_freq", "edt_eq_gain", "edt_eq_qval"})
            context.setApply(name + "Change", [this, name](int code) {
                applied.push_back(name);
                if (name == "edt_eq_gain" || name == "edt_eq_qval")
                    model.setCode16(context.targetField, code);
                else
                    model.image[std::size_t(context.targetField)] = code;
            });
    }
};

} // namespace

TEST_F(ContextTest, BoxBindingDesignatesFieldChunkAndWheel)
{
    context.bindBox(Kind::HpfFrequency, 7, 0, "edt_op3hpf_freq");
    EXPECT_EQ(std::tuple(context.bandNumber, context.targetField, context.targetChunk, context.wheelTarget,
                         context.wheelActive, context.wheelMax), std::tuple(0, 8, 1, "edt_hpf_freq", true, 243));

    context.bindBox(Kind::LpfFrequency, 0, 3, "edt_op3lpf_freq");
    EXPECT_EQ(std::pair(context.targetField, context.targetChunk), std::pair(456 + 4, 57));

    context.bindBox(Kind::BandQ, 9, 3, "edt_op3eq_qval_09");
    EXPECT_EQ(std::tuple(context.bandNumber, context.targetRecord, context.targetField, context.targetChunk),
              std::tuple(9, 456 + 16 + 72, 456 + 16 + 72 + 6, 68));
    EXPECT_EQ(std::tuple(context.targetBox, context.wheelMax), std::tuple("edt_op3eq_qval_09", 78));
    // Unbinding keeps everything but the wheel fields.
    context.unbind();
    EXPECT_EQ(std::tuple(context.wheelActive, context.wheelTarget, context.targetChunk), std::tuple(false, "", 68));
}

TEST_F(ContextTest, WheelClampsThenStepsOncePerEvent)
{
    context.bindBox(Kind::BandGain, 2, 1, "edt_op3eq_gain_02");
    const int field = context.targetField;
    model.setCode16(field, 200); // beyond the 0..180 range

    EXPECT_TRUE(context.wheelTurned(+1200, model)); // a large delta is still one step
    EXPECT_EQ(model.code16(field), 180);
    model.setCode16(field, 200);
    EXPECT_TRUE(context.wheelTurned(-120, model));
    EXPECT_EQ(model.code16(field), 179);
    EXPECT_EQ(applied, (std::vector<std::string>{"edt_eq_gain", "edt_eq_gain"}));
    // At the lower limit the code stays but the apply operation still runs.
    model.setCode16(field, 0);
    context.wheelTurned(-120, model);
    EXPECT_EQ(model.code16(field), 0);
    EXPECT_EQ(applied.size(), 3u);
}

TEST_F(ContextTest, FrequencyWheelTouchesOneEntryOnly)
{
    context.bindBox(Kind::BandFrequency, 0, 0, "edt_op3eq_freq_00");
    model.image[16] = 243;
    model.image[17] = 4; // the type entry next to it
    context.wheelTurned(120, model);
    EXPECT_EQ(std::pair(model.image[16], model.image[17]), std::pair(243, 4));
}

TEST_F(ContextTest, UnboundWheelIsLeftToTheFocusedControl)
{
    EXPECT_FALSE(context.wheelTurned(120, model));
    context.openWheel(0, 10); // active, but no target: deactivates itself
    EXPECT_FALSE(context.wheelTurned(120, model) || context.wheelActive);
    EXPECT_TRUE(applied.empty());
}

TEST_F(ContextTest, TrackBarsStepThroughTheirOwnChangePath)
{
    std::vector<std::pair<std::string, int>> steps;
    context.setTrackBarStepper([&](const std::string& name, int step) { steps.emplace_back(name, step); });
    context.bindTrackBar("rztrckbr_delay");
    EXPECT_TRUE(context.wheelTurned(120, model));
    EXPECT_TRUE(context.wheelTurned(-1, model));
    EXPECT_EQ(steps, (std::vector<std::pair<std::string, int>>{{"rztrckbr_delay", 1}, {"rztrckbr_delay", -1}}));
    // A drag prefix or any other name: handled, nothing applied.
    context.wheelTarget = "edt_op3eq_gain_0";
    context.wheelActive = true;
    context.targetField = 16;
    EXPECT_TRUE(context.wheelTurned(120, model)); // "edt_op3eq_gain_0Change" has no operation
    EXPECT_TRUE(applied.empty());
}
