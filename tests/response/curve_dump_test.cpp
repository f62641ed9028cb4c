// Runs the curve-dump tool as a user would and checks what it prints.

#include "support/files.h"

#include <cstdio>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace {

#ifdef _WIN32
// cmd.exe runs the command: a native, quoted path, and _popen's status is the exit code.
FILE* startCommand(const std::string& command) { return _popen(command.c_str(), "r"); }
int exitStatus(FILE* pipe) { return _pclose(pipe); }
constexpr const char* kDropErrors = " 2>NUL";
#else
FILE* startCommand(const std::string& command) { return popen(command.c_str(), "r"); }
int exitStatus(FILE* pipe)
{
    const int raw = pclose(pipe);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}
constexpr const char* kDropErrors = " 2>/dev/null";
#endif

using talvex::testing::lines;

struct DumpRun {
    int status = -1;
    std::string out;
};

DumpRun curveDump(const std::string& args)
{
    DumpRun run;
    const std::string tool = std::filesystem::path(CURVE_DUMP_PATH).make_preferred().string();
    FILE* pipe = startCommand("\"" + tool + "\" " + args + kDropErrors);
    if (!pipe)
        return run;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    run.status = exitStatus(pipe);
    return run;
}

double levelAtColumn(const std::vector<std::string>& rows, int column)
{
    const std::string& row = rows.at(column - 42 + 1);
    EXPECT_EQ(std::stoi(row), column);
    return std::stod(row.substr(row.rfind(',') + 1));
}

// Each curve as CSV, one row per grid column with at least four decimals on every level; a band's marker.
TEST(CurveDump, PrintsCurvesAsCsvAndTheMarker)
{
    for (const auto& [args, column, level] : {std::tuple{"--hpf 136 1", 430, -6.011}, {"--lpf 243 11", 713, -1.113},
                                              {"--band 136 0 180 42", 420, 5.851}}) {
        const DumpRun run = curveDump(args);
        ASSERT_EQ(run.status, 0) << args;
        const std::vector<std::string> rows = lines(run.out);
        ASSERT_EQ(rows.size(), 673u) << args;
        EXPECT_EQ(rows[0], "column,frequency_hz,level");
        EXPECT_EQ(rows[1].rfind("42,9.917", 0), 0u) << rows[1];
        EXPECT_EQ(rows.back().rfind("713,", 0), 0u);
        EXPECT_GE(rows[1].size() - rows[1].rfind('.') - 1, 4u);
        EXPECT_NEAR(levelAtColumn(rows, column), level, 0.0005) << args;
    }
    const DumpRun run = curveDump("--band 136 0 180 42 --marker");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "430 30\n");
    EXPECT_EQ(curveDump("--band 0 0 0 0 --marker").out, "99 199\n");
    EXPECT_EQ(curveDump("--band 136 0 180 60000").status, 0); // foreign Q codes are clamped, not read past the table
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
