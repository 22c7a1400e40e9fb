#include "platform/creation_mode.h"

#include <sys/statfs.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

namespace tidemark {

std::optional<mode_t> ProcessUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0) {
            const char* digits = line.c_str() + 6;
            char* end = nullptr;
            const unsigned long bits = std::strtoul(digits, &end, 8);
            return end != digits ? std::optional<mode_t>(static_cast<mode_t>(bits)) : std::nullopt;
        }
    }
    return std::nullopt;
}

bool FolderKeepsGivenBits(int folder) {
    struct statfs about {};
    if (::fstatfs(folder, &about) != 0) {
        return false;
    }
    // Local file systems known to keep a new file's bits; others may map or ignore them.
    switch (static_cast<unsigned long>(about.f_type)) {
        case 0xEF53:      // ext2, ext3, ext4
        case 0x58465342:  // XFS
        case 0x9123683E:  // Btrfs
        case 0x01021994:  // tmpfs
        case 0xF2F52010:  // F2FS
            break;
        default:
            return false;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(folder);
    return ::getxattr(path.c_str(), "system.posix_acl_default", nullptr, 0) < 0 &&
           (errno == ENODATA || errno == EOPNOTSUPP);
}

}  // namespace tidemark
