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

TEST(StartSysInfoTest, StartsTheBestViewerFound) {
    FakeLauncher launcher;
    testing::RecordingRunView messages;
    launcher.installed = {{"kinfocenter", "/usr/bin/kinfocenter"},
                          {"gnome-system-monitor", "/usr/bin/gnome-system-monitor"}};
    EXPECT_TRUE(StartSysInfo(launcher, messages));
    EXPECT_EQ(launcher.started, std::vector<std::string>{"/usr/bin/kinfocenter"});
    EXPECT_TRUE(messages.messages.empty());
}

TEST(StartSysInfoTest, NoViewerOrAFailedStartIsReported) {
    for (const bool viewer_present : {false, true}) {
        FakeLauncher launcher;
        testing::RecordingRunView messages;
        if (viewer_present)
            launcher.installed = {{"hardinfo", "/usr/bin/hardinfo"}};
        launcher.start_fails = true;
        EXPECT_FALSE(StartSysInfo(launcher, messages));
        EXPECT_EQ(launcher.started.size(), viewer_present ? 1u : 0u);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "System Information Is Unavailable At This Time");
        EXPECT_EQ(messages.messages[0].buttons, MessageButtons::kOk);
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::kNone);
    }
}

}  // namespace
}  // namespace tidemark
