#include "platform/file_copy.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <optional>

namespace tidemark {

namespace {

Failure LastError() {
    return FailureFromErrno(errno);
}

constexpr std::size_t kBufferSize = 256 * 1024;

/// The buffer for copies the kernel cannot make on its own (from one file system to another):
/// one per thread, made once and never cleared, since thousands of copies follow one another.
char* CopyBuffer() {
    thread_local const std::unique_ptr<char[]> buffer =
        std::make_unique_for_overwrite<char[]>(kBufferSize);
    return buffer.get();
}

/// Copies `length` bytes at `offset` of `in` to the same offset of `out`, in the kernel where
/// it can. A source that ends sooner has changed.
Status CopyRange(int in, int out, std::uint64_t offset, std::uint64_t length) {
    std::uint64_t copied = 0;
    while (copied < length) {
        auto in_offset = static_cast<loff_t>(offset + copied);
        auto out_offset = in_offset;
        const ssize_t n = ::copy_file_range(in, &in_offset, out, &out_offset, length - copied, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                errno == EBADF) {
                break;  // read and write below
            }
            return LastError();
        }
        if (n == 0) {
            return SourceChanged();
        }
        copied += static_cast<std::uint64_t>(n);
    }
    while (copied < length) {
        char* const buffer = CopyBuffer();
        const auto position = static_cast<off_t>(offset + copied);
        const ssize_t n =
            ::pread(in, buffer, std::min<std::uint64_t>(kBufferSize, length - copied), position);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return LastError();
        }
        if (n == 0) {
            return SourceChanged();
        }
        for (ssize_t written = 0; written < n;) {
            const ssize_t w = ::pwrite(out, buffer + written, static_cast<size_t>(n - written),
                                       position + written);
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return LastError();
            }
            written += w;
        }
        copied += static_cast<std::uint64_t>(n);
    }
    return Status::Ok();
}

/// Copies the data of a file with holes and leaves the holes out, so that a sparse file (a
/// disk image, say) stays sparse instead of filling the destination with zeros. Answers
/// nullopt when the file system cannot say where the holes are.
std::optional<Status> CopySparse(int in, int out, std::uint64_t size) {
    std::uint64_t position = 0;
    while (position < size) {
        const off_t data = ::lseek(in, static_cast<off_t>(position), SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) {
                break;  // only a hole is left
            }
            if (position == 0 && (errno == EINVAL || errno == EOPNOTSUPP)) {
                return std::nullopt;
            }
            return LastError();
        }
        const off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0) {
            return LastError();
        }
        const auto end = std::min<std::uint64_t>(static_cast<std::uint64_t>(hole), size);
        if (static_cast<std::uint64_t>(data) >= end) {
            break;
        }
        if (Status copied = CopyRange(in, out, static_cast<std::uint64_t>(data),
                                      end - static_cast<std::uint64_t>(data));
            !copied) {
            return copied;
        }
        position = end;
    }
    // The length, trailing hole included.
    if (::ftruncate(out, static_cast<off_t>(size)) != 0) {
        return LastError();
    }
    return Status::Ok();
}

Status CopyBytes(int in, const struct stat& source, int out) {
    const auto size = static_cast<std::uint64_t>(source.st_size);
    const auto allocated = static_cast<std::uint64_t>(source.st_blocks) * 512;
    if (allocated < size) {
        if (std::optional<Status> sparse = CopySparse(in, out, size)) {
            return *sparse;
        }
    }
    return CopyRange(in, out, 0, size);
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

Status CopyRegularFileInto(int in, const struct stat& source, int out, bool has_bits) {
    if (Status copied = CopyBytes(in, source, out); !copied) {
        return copied;
    }
    struct stat after {};
    if (::fstat(in, &after) != 0) {
        return LastError();
    }
    if (after.st_dev != source.st_dev || after.st_ino != source.st_ino ||
        after.st_size != source.st_size || !SameTime(after.st_mtim, source.st_mtim) ||
        !SameTime(after.st_ctim, source.st_ctim)) {
        return SourceChanged();
    }
    static const bool privileged = ::geteuid() == 0;
    if (privileged && (source.st_uid != 0 || source.st_gid != 0)) {
        (void)::fchown(out, source.st_uid, source.st_gid);  // best effort, like cp -p
    }
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    if ((!has_bits && ::fchmod(out, source.st_mode & 07777) != 0) || ::futimens(out, times) != 0) {
        return LastError();
    }
    return Status::Ok();
}

}  // namespace tidemark
