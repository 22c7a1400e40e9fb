// `tidemark --run`: the real program, copied into a program folder of its own, run with no
// display, against what the window does with the same saved configuration.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QComboBox>
#include <QProcess>
#include <filesystem>
#include <map>
#include <sstream>

#include "tests/ui/main_window_fixture.h"

namespace tidemark::ui::testing {
namespace {

using tidemark::testing::MakeFolders;
using tidemark::testing::ReadFile;
using tidemark::testing::TreeOf;
using tidemark::testing::WriteFile;
namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

/// Installs the program as a portable copy: its folder is its program folder.
std::string InstallProgram(const std::string& folder) {
    MakeFolders(folder);
    const std::string program = folder + "/tidemark";
    fs::copy_file(TIDEMARK_PROGRAM, program, fs::copy_options::overwrite_existing);
    return program;
}

/// Runs the program with no display of any kind and `home` as the user's home.
Outcome Tidemark(const std::string& program, const QStringList& arguments,
                 const std::string& home) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    const QString home_text = QString::fromStdString(home);
    environment.insert(QStringLiteral("HOME"), home_text);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_text + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"),
                       home_text + QStringLiteral("/.local/share"));
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

/// The lines with their dates cut off: the window's test clock and the program's differ.
std::vector<std::string> WithoutDates(const std::vector<std::string>& lines) {
    std::vector<std::string> cut;
    for (const std::string& line : lines) {
        const std::size_t at = line.starts_with("Sychronization ")  ? line.rfind(" at ")
                               : line.starts_with("Updating file ") ? line.find(" - orig: ")
                                                                    : std::string::npos;
        cut.push_back(line.substr(0, at));
    }
    return cut;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class HeadlessRunTest : public MainWindowTest {
  protected:
    /// The source tree, and a destination with an older a.txt.
    void ArrangeFolders() {
        fs::remove_all(temp / "dst");
        MakeFolders(temp / "src/sub/deep");
        MakeFolders(temp / "dst");
        const std::pair<const char*, const char*> files[] = {
            {"src/a.txt", "new a"},      {"src/.hidden", "h"},   {"src/sub/b.txt", "b"},
            {"src/sub/deep/c.txt", "c"}, {"dst/a.txt", "old a"},
        };
        for (const auto& [path, content] : files) {
            WriteFile(temp / path, content);
            tidemark::testing::SetModified(temp / path, 1'700'000'000'000'000'000);
        }
        tidemark::testing::SetModified(temp / "dst/a.txt", 1'600'000'000'000'000'000);
    }
};

TEST_F(HeadlessRunTest, TheSavedConfigurationRunsAsInTheWindowLoggedAndCounted) {
    ArrangeFolders();
    Open(true);
    UseFolders(temp / "src", temp / "dst");
    Child<QComboBox>("cboStyle").setCurrentIndex(1);
    Child<QCheckBox>("chkLogIgnored").setChecked(true);
    Child<QComboBox>("cboConfiguration").setEditText(QStringLiteral("Nightly"));
    Click("cmdConfigSave");
    Click("cmdSynchronize");
    const std::vector<std::string> window_lines = Lines();
    const auto window_tree = TreeOf(temp / "dst");
    ASSERT_EQ(window_lines.back(), "Done!");

    ArrangeFolders();
    const std::string program = InstallProgram(program_folder);
    WriteFile(program_folder + "/logs/2000-01-01.log", "old\n");
    const Outcome run =
        Tidemark(program, {QStringLiteral("--run"), QStringLiteral("Nightly")}, temp / "user");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(WithoutDates(SplitLines(run.out)), WithoutDates(window_lines));
    EXPECT_EQ(TreeOf(temp / "dst"), window_tree);
    EXPECT_NE(run.err.find("Are you sure you want to synchronize 4 files now? [Yes]\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(ReadFile(temp / "user/.config/Tidemark/Tidemark.ini").find("FilesProcessed=4"),
              std::string::npos);

    // The run is in today's file; the file of long ago went at start-up.
    std::vector<std::string> logged;
    for (const auto& item : fs::directory_iterator(program_folder + "/logs")) {
        const std::string text = ReadFile(item.path().string());
        if (text.find(" Nightly ---\n" + run.out) != std::string::npos)
            logged.push_back(item.path().filename().string());
    }
    EXPECT_EQ(logged.size(), 1u);
    EXPECT_FALSE(fs::exists(program_folder + "/logs/2000-01-01.log"));
}

TEST(HeadlessRun, EachOutcomeHasItsExitStatus) {
    App();
    tidemark::testing::TemporaryFolder temp;
    const std::string program = InstallProgram(temp / "program");
    MakeFolders(temp / "program/configurations");
    WriteFile(temp / "src/a.txt", "a");
    ASSERT_EQ(::mkfifo((temp / "src/pipe").c_str(), 0600), 0);
    // System files not ignored: the pipe is a failure of its own.
    WriteFile(
        temp / "program/configurations/Nightly.txt",
        "0\r\n" + temp / "src" + "\r\n" + temp / "dst" + "\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n");
    struct Case {
        QStringList arguments;
        int status;
        std::string out;  // found in standard output
        std::string err;  // found in standard error
    };
    const Case cases[] = {
        {{QStringLiteral("--run"), QStringLiteral("Nightly"), QStringLiteral("--preview")},
         0,
         "Creating file " + temp / "dst/a.txt\n",
         "does not exist.  Would you like to create it"},
        {{QStringLiteral("--run=Nightly")},
         1,
         " --> Total files copied: 1\n",
         "Are you sure you want to synchronize 2 files now? [Yes]"},
        {{QStringLiteral("--run"), QStringLiteral("Weekly")},
         2,
         "",
         "There is no configuration named \"Weekly\""},
        {{QStringLiteral("--version")}, 0, "Tidemark " TIDEMARK_PROJECT_VERSION "\n", ""},
        {{QStringLiteral("--help")}, 0, "Usage: tidemark [--run NAME [--preview]]\n", ""},
        {{QStringLiteral("--bogus")}, 2, "", "Usage: tidemark"},
    };
    for (const Case& c : cases) {
        const std::string shown = c.arguments.join(QLatin1Char(' ')).toStdString();
        const Outcome run = Tidemark(program, c.arguments, temp / "user");
        EXPECT_EQ(run.status, c.status) << shown << "\n" << run.err;
        EXPECT_NE(run.out.find(c.out), std::string::npos) << shown << "\n" << run.out;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << shown << "\n" << run.err;
        if (c.arguments.contains(QStringLiteral("--preview"))) {
            EXPECT_FALSE(fs::exists(temp / "dst")) << shown;
        }
    }
    EXPECT_EQ(ReadFile(temp / "dst/a.txt"), "a");
}

}  // namespace
}  // namespace tidemark::ui::testing
