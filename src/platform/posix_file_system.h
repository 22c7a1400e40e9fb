#pragma once

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/file_system_port.h"
#include "platform/deferred_closer.h"

namespace tidemark {

/// The file-system port on Linux. Listings take the item type from the directory entry where
/// the kernel gives it, so a listing costs no stat per item. Copies go through
/// copy_file_range into a hidden temporary file that is renamed into place. Safe to use from
/// several threads at once.
class PosixFileSystem final : public FileSystemPort, public TextFilePort {
  public:
    /// Prefix of the temporary files a copy writes beside its destination. Their names are
    /// ".tidemark-<process id in hex>-<counter in hex>.tmp"; listings never show them.
    static constexpr const char* kTemporaryPrefix = ".tidemark-";

    /// The process that wrote a temporary file of ours, from its name; nullopt for any other
    /// name.
    static std::optional<unsigned> TemporaryFileOwner(std::string_view name);

    /// How long before a listing a folder must last have changed for the listing to be given
    /// again by ListFolderAgain: longer than the coarsest file times kept on disk (two seconds
    /// on FAT), so that a change after the listing cannot leave the folder's times as they were.
    static constexpr FileTime kSettleTime = 2'000'000'000;

    explicit PosixFileSystem(FileTime settle_time = kSettleTime);

    const PathSyntax& Syntax() const override { return syntax_; }
    bool FolderExists(const std::string& path) override;
    Result<FolderListing> ListFolder(const std::string& path) override;
    Result<FolderListing> ListFolderAgain(const std::string& path, FolderListing earlier) override;
    Result<std::optional<FileStatus>> FindFile(const std::string& path) override;
    Result<StagedCopy> StageCopy(const FileEntry& source, const std::string& destination) override;
    std::shared_ptr<const HeldFolder> HoldFolder(const std::string& path) override;
    Result<std::optional<FileStatus>> FindFileIn(const HeldFolder* folder,
                                                 const std::string& path) override;
    Result<StagedCopy> StageCopyIn(const HeldFolder* source_folder,
                                   const HeldFolder* destination_folder, const FileEntry& source,
                                   const std::string& destination) override;
    void StartWritingOut(const StagedCopy& staged) override;
    Status CommitCopy(const StagedCopy& staged, bool overwrite) override;
    void DiscardCopy(const StagedCopy& staged) override;
    Status CheckDeletable(const std::string& path) override;
    Status CreateFolder(const std::string& path) override;
    std::optional<std::string> ResolveFolder(const std::string& path) override;

    /// Returns once the files this file system replaced have been let go of (see
    /// DeferredCloser): their space is free from then on.
    void WaitForReleases() { replaced_files_.Drain(); }

    Result<std::string> ReadTextFile(const std::string& path) override;
    Status WriteTextFile(const std::string& path, const std::string& text) override;

  private:
    /// Lists the open folder, which the listing then holds.
    Result<FolderListing> ListOpenFolder(int fd, const std::string& path);
    /// A new temporary name beside the destination, or in the staging folder when one is
    /// given.
    std::string TemporaryPathFor(const std::string& destination,
                                 const HeldFolder* staging_folder = nullptr);
    Result<StagedCopy> StageRegularFile(int in, const struct stat& source, StagedCopy staged,
                                        const HeldFolder* destination_folder);

    PathSyntax syntax_ = PathSyntax::Posix();
    const FileTime settle_time_;
    std::atomic<std::uint64_t> temporary_counter_ = 0;
    DeferredCloser replaced_files_;
};

}  // namespace tidemark
