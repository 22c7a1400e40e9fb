#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tidemark {

/// Names of the temporary files a copy writes beside its destination:
/// ".tidemark-<boot id>-<process id>-<counter>.tmp", all in hex. The boot id is the kernel's
/// for this start of this machine, so a name proves where and by which process it was made.
class TemporaryName {
  public:
    static constexpr std::string_view kPrefix = ".tidemark-";

    /// A name no other temporary file of this process has had.
    static std::string Next();

    /// The process that made a temporary file of this program on this machine since it last
    /// started; 0 for any other name.
    static std::uint64_t MakerOf(std::string_view name);

    /// True for a temporary file of this program that was made on this machine, since it last
    /// started, by a process that no longer runs: what a copy that died left behind.
    static bool IsLeftover(std::string_view name);

    /// This start of this machine, as the kernel names it; empty where it cannot be told.
    static const std::string& BootId();
};

}  // namespace tidemark
