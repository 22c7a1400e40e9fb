// `tidemark --run` and the other command lines: the real program, copied into a program folder
// of its own, run with no display.
#include <sys/stat.h>

#include <QProcess>
#include <filesystem>

#include "tests/ui/main_window_fixture.h"

namespace tidemark::ui::testing {
namespace {

using tidemark::testing::ReadFile;
using tidemark::testing::WriteFile;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

/// Runs the program with no display of any kind and `home` as the user's home.
Outcome Tidemark(const std::string& program, const QStringList& arguments,
                 const std::string& home) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    for (const auto& [name, folder] : {std::pair{"HOME", ""},
                                       {"XDG_CONFIG_HOME", "/.config"},
                                       {"XDG_DATA_HOME", "/.local/share"}})
        environment.insert(QString::fromLatin1(name), QString::fromStdString(home + folder));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QString::fromStdString(program), arguments);
    Outcome outcome;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return outcome;
    outcome.status = process.exitCode();
    outcome.out = process.readAllStandardOutput().toStdString();
    outcome.err = process.readAllStandardError().toStdString();
    return outcome;
}

// A portable copy: its folder is its program folder, with the configurations and the logs.
TEST(HeadlessRun, EachOutcomeHasItsExitStatusAndARunIsLoggedAndCounted) {
    App();
    tidemark::testing::TemporaryFolder temp;
    const std::string program = temp / "program/tidemark";
    WriteFile(temp / "program/logs/2000-01-01.log", "old\n");
    std::filesystem::copy_file(TIDEMARK_PROGRAM, program);
    WriteFile(temp / "src/a.txt", "a");
    ASSERT_EQ(::mkfifo((temp / "src/pipe").c_str(), 0600), 0);
    // System files not ignored: the pipe is a failure of its own.
    WriteFile(
        temp / "program/configurations/Nightly.txt",
        "0\r\n" + temp / "src" + "\r\n" + temp / "dst" + "\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n");
    struct Case {
        const char* arguments;  // split at blanks
        int status;
        std::string out;  // found in standard output
        std::string err;  // found in standard error
    };
    const Case cases[] = {
        {"--run Nightly --preview", 0, "Creating file " + temp / "dst/a.txt\n",
         "does not exist.  Would you like to create it"},
        {"--run=Nightly", 1, " --> Total files copied: 1\n",
         "Are you sure you want to synchronize 2 files now? [Yes]"},
        {"--run Weekly", 2, "", "There is no configuration named \"Weekly\""},
        {"--version", 0, "Tidemark " TIDEMARK_PROJECT_VERSION "\n", ""},
        {"--help", 0, "Usage: tidemark [--run NAME [--preview]]\n", ""},
        {"--bogus", 2, "", "Usage: tidemark"},
    };
    std::vector<std::string> runs;
    for (const Case& c : cases) {
        const Outcome run = Tidemark(
            program, QString::fromLatin1(c.arguments).split(QLatin1Char(' ')), temp / "user");
        EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.err;
        EXPECT_NE(run.out.find(c.out), std::string::npos) << c.arguments << "\n" << run.out;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << c.arguments << "\n" << run.err;
        EXPECT_TRUE(!runs.empty() || !std::filesystem::exists(temp / "dst")) << "the preview";
        if (runs.size() < 2)
            runs.push_back(run.out);
    }
    EXPECT_EQ(ReadFile(temp / "dst/a.txt"), "a");
    // Both runs are in today's file, and counted; the file of long ago went at start-up.
    EXPECT_FALSE(std::filesystem::exists(temp / "program/logs/2000-01-01.log"));
    std::string day_files;
    for (const auto& item : std::filesystem::directory_iterator(temp / "program/logs"))
        day_files += ReadFile(item.path().string());
    for (const std::string& out : runs)
        EXPECT_NE(day_files.find(" Nightly ---\n" + out), std::string::npos) << day_files;
    EXPECT_NE(ReadFile(temp / "user/.config/Tidemark/Tidemark.ini").find("FilesProcessed=4"),
              std::string::npos);
}

}  // namespace
}  // namespace tidemark::ui::testing
