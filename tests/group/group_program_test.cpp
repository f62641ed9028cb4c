// talvex-group run as a user runs it: exit status, what it prints, what it
// writes, and its graph against the editor's own graph of the same group.

#include "support/amplifier.h"
#include "support/files.h"
#include "support/window.h"

#include "editing/eq_page.h"
#include "editing/response_graph.h"

#include <QDir>
#include <QImage>

#include <cmath>

using namespace talvex;
using namespace talvex::testing;

namespace {

ToolRun tool(const QStringList& arguments) { return runTool(QStringLiteral(TALVEX_GROUP_PATH), arguments); }

struct GroupProgram : WindowTest {
    QString save(const char* name, const std::string& content)
    {
        writeFile(path(name), content);
        return path(name);
    }
    // The amplifier's current group and all its groups, saved as the editor saves them.
    QString saveCurrent(const char* name) { return save(name, oneGroupFile(bus)); }
    QString saveAll(const char* name) { return save(name, allGroupsFile(bus)); }
};

// A High channel with something in every part of the graph.
void shapeHigh(vamp::VirtualAmplifier& amp)
{
    auto& image = amp.image();
    const int xover = crossoverRecord(1);
    for (const auto& [entry, value] : {std::pair{kHpfFrequency, 80}, {kHpfType, 7}, {kLpfFrequency, 200}, {kLpfType, 10}})
        image[xover + entry] = std::uint8_t(value);
    for (int j = 0; j < 10; ++j) {
        const int record = bandRecord(1, j);
        image[record + kBandFrequency] = std::uint8_t(60 + 15 * j);
        image[record + kBandType] = std::uint8_t(j % 5);
        image[record + kBandGain] = std::uint8_t(j % 2 ? 160 : 80);
        image[record + kBandQ] = std::uint8_t(20 + 5 * j);
    }
}

} // namespace

TEST_F(GroupProgram, PlotDrawsTheEditorsGraphPixelForPixel)
{
    shapeHigh(amp);
    makeWindow();
    connectAndRead();
    control<QAbstractButton>("btn_op0_eq")->click(); // the High page
    const QImage screen = control<QLabel>("img_eqbackground")->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(screen.size(), QSize(720, 250));

    const ToolRun run = tool({"plot", saveCurrent("high.datdsp"), "--channel", "High", "--png", path("high.png"), "--csv",
                              path("high.csv")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QImage plotted = QImage(path("high.png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(plotted.size(), screen.size());
    int differing = 0, curve = 0;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x) {
            differing += plotted.pixel(x, y) != screen.pixel(x, y);
            curve += plotted.pixel(x, y) == qRgb(0, 255, 255);
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(curve, 300); // High's curve is there, not only the grid

    // The CSV holds the line the graph draws: its sum lands on the curve's rows.
    const QStringList rows = QString::fromStdString(readFile(path("high.csv"))).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 1 + 13 * 672);
    EXPECT_EQ(rows[0], "curve,column,frequency_hz,level_db");
    ResponseCurve sum{};
    part<EqPage>().graph().responses().sum(part<EqPage>().graph().renderer().grid(), 1, sum);
    for (int i : {0, 200, 388, 671}) {
        const QStringList fields = rows[1 + i].split(',');
        ASSERT_EQ(fields.size(), 4);
        EXPECT_EQ(fields[0], "sum");
        EXPECT_EQ(fields[1].toInt(), 42 + i);
        EXPECT_NEAR(fields[3].toDouble(), sum[std::size_t(i)], 5e-7);
    }
    for (const auto& [curveIndex, start] : {std::pair{1, "hpf,42,"}, {2, "lpf,42,"}, {12, "eq10,42,"}})
        EXPECT_TRUE(rows[1 + curveIndex * 672].startsWith(start)) << start;
}

TEST_F(GroupProgram, ShowAndDiffOfSavedFiles)
{
    const QString factory = saveCurrent("factory.datdsp");
    const QString all = saveAll("all.datgrp");
    amp.image()[outputBlockStart(1) + kOutMute] = 0;         // Mid sounds again
    amp.image()[outputBlockStart(2) + kOutLimiter + 2] = 7;  // Low release 3000ms
    const QString edited = saveCurrent("edited.datdsp");

    ToolRun run = tool({"show", edited, "--channel", "Low"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("Current group, read from Device ID 1\n\nLow\n  mute: off\n")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("\n  limiter release: 3000ms\n"));
    EXPECT_FALSE(run.out.contains("High"));

    EXPECT_EQ(tool({"show", all}).out.count("read from Device ID 1\n\nMain\n"), 20);
    run = tool({"show", all, "--group", "4", "--channel", "mid"});
    EXPECT_TRUE(run.out.startsWith("Group 4, read from Device ID 1\n\nMid\n  mute: on\n")) << run.out.toStdString();

    run = tool({"diff", factory, edited});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, QString::fromUtf8("current / Mid / mute: on → off\n"
                                         "current / Low / limiter release: 300ms → 3000ms\n"));
    run = tool({"diff", factory, factory});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.isEmpty());
    run = tool({"diff", all, edited, "--group", "9"}); // group 9 of the all-groups file is still the factory group
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.startsWith("9 / Mid / mute: on → off\n")) << run.out.toStdString();
    EXPECT_EQ(tool({"diff", all, all}).status, 0);
    EXPECT_EQ(tool({"diff", all, edited}).status, 2); // twenty groups against one: which?
}

TEST_F(GroupProgram, DamagedFilesAndBadArgumentsWriteNothing)
{
    std::string text = readReplyText(bus, 0, frame::kCmdCurrentGroup);
    text[20 + 2 * 300] = 'x';
    const QString damaged = save("damaged.datdsp", text.substr(0, 652) + "\r\n" + text.substr(652) + "\r\n");
    const QString good = saveCurrent("good.datdsp");

    for (const QStringList& args : {QStringList{"show", damaged}, QStringList{"diff", good, damaged},
                                    QStringList{"plot", damaged, "--channel", "Main", "--png", path("out.png"),
                                                "--csv", path("out.csv")}}) {
        const ToolRun run = tool(args);
        EXPECT_EQ(run.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith("File damaged.\n")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("character pair 311")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("line 1, character 621")) << run.err.toStdString();
    }
    // A foreign file: the wrong number of lines for an all-groups file.
    const QString foreign = save("foreign.datgrp", "hello\r\nworld\r\n");
    ToolRun run = tool({"show", foreign});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.startsWith("File damaged.\n")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("2 lines, 40 expected")) << run.err.toStdString();

    // Bad arguments: the usage, status 2; --help on stdout, status 0.
    for (const QStringList& args :
         std::initializer_list<QStringList>{{}, {"show"}, {"show", good, "--group", "21"}, {"show", good, "--channel", "Sub"},
                                            {"plot", good, "--channel", "Low"}, {"plot", good, "--png", path("out.png")},
                                            {"diff", good}, {"show", good, "--frobnicate"}, {"export", good}}) {
        run = tool(args);
        EXPECT_EQ(run.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("usage: talvex-group")) << args.join(' ').toStdString();
    }
    EXPECT_EQ(tool({"show", good, "--group", "2"}).status, 2); // a one-group file has no group 2
    run = tool({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.startsWith("usage: talvex-group"));
    // An output that cannot be written: status 2, and the other output is not left behind.
    run = tool({"plot", good, "--channel", "Main", "--csv", path("out.csv"), "--png", path("no/such/dir/out.png")});
    EXPECT_EQ(run.status, 2);
    EXPECT_FALSE(QFile::exists(path("out.csv")));
    EXPECT_TRUE(QDir(folder.path()).entryList({"out*"}).isEmpty());
}

TEST_F(GroupProgram, MatchChangesOnlyTheChannelsBandsAndPlotShowsTheMeasurement)
{
    const QString base = saveCurrent("base.datdsp");
    std::string rew = "* REW\n";
    for (double f = 20; f < 20000; f *= std::pow(2.0, 1.0 / 12))
        rew += std::to_string(f) + " " + std::to_string(85 + 6 * std::exp(-std::pow(std::log2(f / 150) * 3, 2))) + "\n";
    const QString measured = save("mid.txt", rew);

    ToolRun run = tool({"match", base, "--channel", "Mid", "--measurement", measured, "--range", "50:15000",
                        "--max-boost", "3", "--out", path("out.datdsp")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("RMS deviation before: ")) << run.out.toStdString();
    const auto in = groupfile::parseOneGroup(readFile(base));
    const auto out = groupfile::parseOneGroup(readFile(path("out.datdsp")));
    ASSERT_TRUE(in.ok() && out.ok());
    EXPECT_TRUE(groupfile::checksumMatches(out.groups[0].text));
    int changed = 0;
    for (int e = 0; e < int(groupfile::kGroupBytes); ++e)
        if (in.groups[0].image[std::size_t(e)] != out.groups[0].image[std::size_t(e)]) {
            ++changed;
            EXPECT_TRUE(e >= bandRecord(2, 0) && e < bandRecord(2, 10)) << "entry " << e;
        }
    EXPECT_GT(changed, 0);

    // Bad input: status 2 and nothing written.
    const QString comma = save("comma.txt", "* x\n20 70,5\n");
    for (const QStringList& args : {QStringList{"match", base, "--channel", "Mid", "--measurement", comma, "--out",
                                                path("bad.datdsp")},
                                    QStringList{"match", base, "--channel", "Mid", "--measurement", measured,
                                                "--range", "500:600", "--out", path("bad.datdsp")},
                                    QStringList{"match", base, "--channel", "Mid", "--measurement", measured,
                                                "--tilt", "x", "--out", path("bad.datdsp")}}) {
        run = tool(args);
        EXPECT_EQ(run.status, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(path("bad.datdsp")));
    }
    EXPECT_TRUE(tool({"match", base, "--channel", "Mid", "--measurement", comma, "--out", path("bad.datdsp")})
                    .err.contains("Line 2"));

    run = tool({"plot", base, "--channel", "Mid", "--measurement", measured, "--csv", path("mid.csv")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const std::string csv = readFile(path("mid.csv"));
    EXPECT_TRUE(csv.find("\nmeasured,") != std::string::npos && csv.find("\npredicted,") != std::string::npos);
}
