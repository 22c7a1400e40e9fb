#include "app/sys_info.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/recording_run_view.h"

namespace tidemark {
namespace {

class FakeLauncher final : public ProgramLauncher {
  public:
    std::map<std::string, std::string> installed;  // name -> full path
    bool start_fails = false;
    std::vector<std::string> started;

    std::string FindOnPath(const std::string& name) override {
        const auto found = installed.find(name);
        return found == installed.end() ? "" : found->second;
    }
    Status StartDetached(const std::string& program) override {
        started.push_back(program);
        return start_fails ? Status(Failure{1008, "Exec format error"}) : Status::Ok();
    }
};

TEST(StartSysInfo, StartsTheBestViewerFoundOrReportsThatNoneCouldStart) {
    FakeLauncher launcher;
    testing::RecordingRunView messages;
    launcher.installed = {{"kinfocenter", "/usr/bin/kinfocenter"},
                          {"gnome-system-monitor", "/usr/bin/gnome-system-monitor"}};
    EXPECT_TRUE(StartSysInfo(launcher, messages));
    EXPECT_EQ(launcher.started, std::vector<std::string>{"/usr/bin/kinfocenter"});
    EXPECT_TRUE(messages.messages.empty());

    launcher.start_fails = true;
    EXPECT_FALSE(StartSysInfo(launcher, messages));
    launcher.installed.clear();
    EXPECT_FALSE(StartSysInfo(launcher, messages));
    EXPECT_EQ(launcher.started.size(), 2u);
    ASSERT_EQ(messages.messages.size(), 2u);
    for (const testing::ShownMessage& shown : messages.messages) {
        EXPECT_EQ(shown.text, "System Information Is Unavailable At This Time");
        EXPECT_EQ(shown.buttons, MessageButtons::kOk);
    }
}

}  // namespace
}  // namespace tidemark
