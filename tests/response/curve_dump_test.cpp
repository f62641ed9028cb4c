// Runs the curve-dump tool as a user would and checks what it prints.

#include "support/files.h"

using namespace talvex::testing;

namespace {

struct DumpRun {
    int status = -1;
    std::string out;
};

// Arguments are split at blanks; standard error is left out.
DumpRun curveDump(const std::string& args)
{
    const ToolRun run = runTool(QStringLiteral(CURVE_DUMP_PATH), QString::fromStdString(args).split(' ', Qt::SkipEmptyParts));
    return {run.status, run.out.toStdString()};
}

double levelAtColumn(const std::vector<std::string>& rows, int column)
{
    const std::string& row = rows.at(column - 42 + 1);
    EXPECT_EQ(std::stoi(row), column);
    return std::stod(row.substr(row.rfind(',') + 1));
}

TEST(CurveDump, PrintsCrossoverCurvesAsCsv)
{
    DumpRun run = curveDump("--hpf 136 1");
    ASSERT_EQ(run.status, 0);
    std::vector<std::string> rows = lines(run.out);
    ASSERT_EQ(rows.size(), 673u);
    EXPECT_EQ(rows[0], "column,frequency_hz,level");
    EXPECT_EQ(rows[1].rfind("42,9.917", 0), 0u) << rows[1];
    EXPECT_EQ(rows.back().rfind("713,", 0), 0u);
    EXPECT_NEAR(levelAtColumn(rows, 430), -6.011, 0.0005);
    // At least four decimals on every level.
    EXPECT_GE(rows[1].size() - rows[1].rfind('.') - 1, 4u);

    run = curveDump("--lpf 243 11");
    ASSERT_EQ(run.status, 0);
    rows = lines(run.out);
    EXPECT_NEAR(levelAtColumn(rows, 713), -1.113, 0.0005);
}

TEST(CurveDump, PrintsBandCurveAndMarker)
{
    DumpRun run = curveDump("--band 136 0 180 42");
    ASSERT_EQ(run.status, 0);
    const std::vector<std::string> rows = lines(run.out);
    ASSERT_EQ(rows.size(), 673u);
    EXPECT_NEAR(levelAtColumn(rows, 430), 11.974, 0.0005);
    EXPECT_NEAR(levelAtColumn(rows, 420), 5.851, 0.0005);

    run = curveDump("--band 136 0 180 42 --marker");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "430 30\n");
    EXPECT_EQ(curveDump("--band 0 0 0 0 --marker").out, "99 199\n");
    // Foreign Q codes are clamped, not read past the table.
    EXPECT_EQ(curveDump("--band 136 0 180 60000").status, 0);
}

TEST(CurveDump, BadArgumentsExitWithStatus2)
{
    for (const char* args : {"", "--hpf", "--hpf 136", "--hpf 136 1 2", "--lpf x 1", "--lpf 136 1x", "--lpf -1 1",
                             "--hpf 256 1", "--band 1 2 3", "--band 1 2 3 65536", "--hpf 136 1 --marker",
                             "--marker", "--notch 1 2", "--band 1 2 3 4 --marker --marker"}) {
        const DumpRun run = curveDump(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_TRUE(run.out.empty()) << args;
    }
}

} // namespace
