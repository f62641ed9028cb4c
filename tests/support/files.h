#pragma once
// Temp folders, files and lines of text, and running the project's programs.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifdef QT_CORE_LIB
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#endif

namespace talvex::testing {

inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

inline std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeText(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// A fresh folder under the system's temp folder, removed with everything in it.
struct TempFolder {
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("talvex-test-" + std::to_string(std::random_device{}()));
    TempFolder() { std::filesystem::create_directories(dir); }
    ~TempFolder() { std::filesystem::remove_all(dir); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return dir / name; }
    // Writes a file of the folder; its path.
    std::string write(const std::string& name, const std::string& content) const
    {
        writeText(dir / name, content);
        return (dir / name).string();
    }
};

#ifdef QT_CORE_LIB
inline std::string readFile(const QString& file) { return readText(file.toStdString()); }

inline void writeFile(const QString& file, const std::string& content)
{
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly)) << file.toStdString();
    out.write(content.data(), qint64(content.size()));
}

struct ToolRun {
    int status = -1; // -1: did not start, crashed or ran over 20 s
    QString out;
    QString err;
};

// Runs one of the project's programs to its end.
inline ToolRun runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.status = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
#endif

} // namespace talvex::testing
