// The undo history's steps: what merges into one, what is not recorded, and
// that undo and redo go back through the edit path with the values before and after.

#include "editing/edit_history.h"
#include "model/parameter_model.h"

#include <gtest/gtest.h>

using namespace talvex;

namespace {

struct EditHistoryTest : ::testing::Test {
    ParameterModel model;
    ParameterEditor editor{model};
    std::int64_t now = 0;
    EditHistory history{editor, [this] { return now; }};

    void edit(const char* key, int entry, int value, std::int64_t at)
    {
        now = at;
        editor.apply(ParameterEdit("Low gain", key).set(entry, value));
    }
};

} // namespace

TEST_F(EditHistoryTest, StepsMergeByControlAndTime)
{
    struct Case {
        const char* name;
        std::vector<std::tuple<const char*, int, int, std::int64_t>> edits; // key, entry, value, time
        int steps;
    };
    const int e = 10;
    const Case cases[] = {
        {"a wheel burst", {{"box:10", e, 1, 0}, {"box:10", e, 2, 100}, {"box:10", e, 3, 1600}}, 1},
        {"a pause splits it", {{"box:10", e, 1, 0}, {"box:10", e, 2, 1600}}, 2},
        {"another control splits it", {{"box:10", e, 1, 0}, {"box:12", 12, 2, 10}, {"box:10", e, 3, 20}}, 3},
        {"toggles never merge", {{"", e, 1, 0}, {"", e, 0, 10}, {"", e, 1, 20}}, 3},
        {"one drag however slow", {{"marker:10#1", e, 1, 0}, {"marker:10#1", e, 2, 9000}}, 1},
        {"the next drag is a new step", {{"marker:10#1", e, 1, 0}, {"marker:10#2", e, 2, 10}}, 2},
        {"back where it began: no step", {{"box:10", e, 5, 0}, {"box:10", e, 0, 100}}, 0},
        {"no change: no step", {{"box:10", e, 0, 0}}, 0},
    };
    for (const Case& c : cases) {
        model.image.fill(0);
        history.clear();
        now = 0;
        for (const auto& [key, entry, value, at] : c.edits)
            edit(key, entry, value, at);
        EXPECT_EQ(history.stack().count(), c.steps) << c.name;
    }
}

TEST_F(EditHistoryTest, UndoAndRedoReplayTheValuesAndMarkTheChunk)
{
    model.image[20] = 7;
    model.image[21] = 1;
    editor.apply(ParameterEdit("Low gain", "bar").set16(20, 300));
    editor.apply(ParameterEdit("Low gain", "bar").set16(20, 310));
    int replays = 0;
    QObject::connect(&editor, &ParameterEditor::edited, [&](const ParameterEdit&, ParameterEditor::Origin origin) {
        replays += origin == ParameterEditor::Origin::Replay;
    });
    model.clearPending();
    history.stack().undo();
    EXPECT_EQ(model.code16(20), 7 + 256);
    EXPECT_EQ(model.lowestPending(), chunkOf(20));
    history.stack().redo();
    EXPECT_EQ(model.code16(20), 310);
    EXPECT_EQ(replays, 2);
    EXPECT_EQ(history.stack().count(), 1); // replays are not recorded
    EXPECT_EQ(history.stack().undoText(), "Low gain");
}
