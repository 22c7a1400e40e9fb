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
    std::vector<std::string> looked_up;
    std::vector<std::string> started;

    std::string FindOnPath(const std::string& name) override {
        looked_up.push_back(name);
        const auto found = installed.find(name);
        return found == installed.end() ? "" : found->second;
    }
    Status StartDetached(const std::string& program) override {
        started.push_back(program);
        if (start_fails) {
            return Failure{1008, "Exec format error"};
        }
        return Status::Ok();
    }
};

constexpr const char* kUnavailable = "System Information Is Unavailable At This Time";

TEST(StartSysInfoTest, StartsTheBestViewerFound) {
    FakeLauncher launcher;
    testing::RecordingRunView messages;
    launcher.installed = {{"kinfocenter", "/usr/bin/kinfocenter"},
                          {"gnome-system-monitor", "/usr/bin/gnome-system-monitor"}};
    EXPECT_TRUE(StartSysInfo(launcher, messages));
    EXPECT_EQ(launcher.started, std::vector<std::string>{"/usr/bin/kinfocenter"});
    EXPECT_TRUE(messages.messages.empty());
}

TEST(StartSysInfoTest, NoViewerGivesTheUnavailableMessage) {
    FakeLauncher launcher;
    testing::RecordingRunView messages;
    EXPECT_FALSE(StartSysInfo(launcher, messages));
    EXPECT_EQ(launcher.looked_up.size(), std::size(kSysInfoViewers));
    EXPECT_TRUE(launcher.started.empty());
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, kUnavailable);
    EXPECT_EQ(messages.messages[0].buttons, MessageButtons::kOk);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::kNone);
}

TEST(StartSysInfoTest, FailedStartGivesTheUnavailableMessage) {
    FakeLauncher launcher;
    testing::RecordingRunView messages;
    launcher.installed = {{"hardinfo", "/usr/bin/hardinfo"}};
    launcher.start_fails = true;
    EXPECT_FALSE(StartSysInfo(launcher, messages));
    EXPECT_EQ(launcher.started, std::vector<std::string>{"/usr/bin/hardinfo"});
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, kUnavailable);
}

}  // namespace
}  // namespace tidemark
