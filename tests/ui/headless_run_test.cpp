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
    // No display of any kind, and a home of its own.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    for (const auto& [name, folder] : {std::pair{"HOME", ""},
                                       {"XDG_CONFIG_HOME", "/.config"},
                                       {"XDG_DATA_HOME", "/.local/share"}})
        environment.insert(QString::fromLatin1(name),
                           QString::fromStdString(temp / "user" + folder));
    std::vector<std::string> runs;
    for (const Case& c : cases) {
        QProcess run;
        run.setProcessEnvironment(environment);
        run.start(QString::fromStdString(program),
                  QString::fromLatin1(c.arguments).split(QLatin1Char(' ')));
        ASSERT_TRUE(run.waitForFinished(120000) && run.exitStatus() == QProcess::NormalExit);
        const std::string out = run.readAllStandardOutput().toStdString();
        const std::string err = run.readAllStandardError().toStdString();
        EXPECT_EQ(run.exitCode(), c.status) << c.arguments << "\n" << err;
        EXPECT_NE(out.find(c.out), std::string::npos) << c.arguments << "\n" << out;
        EXPECT_NE(err.find(c.err), std::string::npos) << c.arguments << "\n" << err;
        EXPECT_TRUE(!runs.empty() || !std::filesystem::exists(temp / "dst")) << "the preview";
        if (runs.size() < 2)
            runs.push_back(out);
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
