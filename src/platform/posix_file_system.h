#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/file_system_port.h"
#include "platform/anchored_path.h"
#include "platform/deferred_closer.h"
#include "platform/temporary_name.h"

namespace tidemark {

/// The file-system port on Linux. Listings take the item type from the directory entry where
/// the kernel gives it, so a listing costs no stat per item. Copies go through
/// copy_file_range into an unnamed or hidden temporary file that is renamed into place. Below
/// the anchored roots of a pass no link is followed. Safe to use from several threads at once.
class PosixFileSystem final : public FileSystemPort, public TextFilePort {
  public:
    /// Prefix of the temporary files written beside a destination (see TemporaryName).
    static constexpr std::string_view kTemporaryPrefix = TemporaryName::kPrefix;

    /// How long before a listing a folder must last have changed for the listing to be given
    /// again by ListFolderAgainIn: longer than the coarsest file times kept on disk (two seconds
    /// on FAT), so that a change after the listing cannot leave the folder's times as they were.
    static constexpr FileTime kSettleTime = 2'000'000'000;

    /// Replaced files are let go of on `executor`'s threads; at once without one.
    explicit PosixFileSystem(FileTime settle_time = kSettleTime, Executor* executor = nullptr);

    const PathSyntax& Syntax() const override { return syntax_; }
    std::unique_ptr<RootAnchor> AnchorRoots(const std::vector<std::string>& roots) override;
    bool FolderExistsIn(const HeldFolder* folder, const std::string& path) override;
    std::optional<FolderIdentity> IdentityOf(const std::string& folder) override;
    Result<FolderListing> ListFolderIn(const HeldFolder* parent, const std::string& path) override;
    Result<FolderListing> ListFolderAgainIn(const HeldFolder* parent, const std::string& path,
                                            FolderListing earlier) override;
    std::shared_ptr<const HeldFolder> HoldFolderIn(const HeldFolder* parent,
                                                   const std::string& path) override;
    std::optional<std::uint64_t> FreeSpace(const std::string& folder) override;
    FileTime TimeStep(const std::string& folder) override;
    void ReleaseReplaced() override { replaced_files_.Drain(); }
    Result<std::optional<FileStatus>> FindFileIn(const HeldFolder* folder,
                                                 const std::string& path) override;
    Result<StagedCopy> StageCopyIn(const HeldFolder* source_folder,
                                   const HeldFolder* staging_folder, const FileEntry& source,
                                   const std::string& destination) override;
    void StartWritingOut(const StagedCopy& staged) override;
    Status CommitCopyIn(const HeldFolder* folder, const StagedCopy& staged,
                        bool overwrite) override;
    void DiscardCopy(const StagedCopy& staged) override;
    void RemoveLeftoversIn(const HeldFolder* held, const std::string& folder) override;
    Status CheckDeletableIn(const HeldFolder* folder, const std::string& path) override;
    Status CreateFolderIn(const HeldFolder* parent, const std::string& path) override;
    std::optional<std::string> ResolveFolder(const std::string& path) override;

    Result<std::string> ReadTextFile(const std::string& path) override;
    /// Keeps a link at `path` (its target is replaced) and the mode of the file replaced.
    Status WriteTextFile(const std::string& path, const std::string& text) override;

  private:
    /// The path as a folder and a name, resolved under the roots anchored now.
    AnchoredPath At(const std::string& path) const { return AnchoredPath(path, anchoring_.Get()); }
    /// The same, reached from `folder` (the item's folder held open) when it is not null.
    AnchoredPath AtIn(const HeldFolder* folder, const std::string& path) const;
    /// The folder at path opened with `flags` (O_RDONLY or O_PATH), or why it cannot be.
    Result<int> OpenFolder(const std::string& path, int flags) const;
    /// The same, opened from `parent` (the folder that holds it, held open) when not null.
    Result<int> OpenFolderIn(const HeldFolder* parent, const std::string& path, int flags) const;
    /// Lists the open folder, which the listing then holds.
    Result<FolderListing> ListOpenFolder(int fd, const std::string& path);
    /// A new temporary name beside the destination, or in the staging folder when one is
    /// given.
    std::string TemporaryPathFor(const std::string& destination,
                                 const HeldFolder* staging_folder = nullptr) const;
    Result<StagedCopy> StageRegularFile(int in, const struct stat& source, StagedCopy staged,
                                        const HeldFolder* destination_folder);
    Result<StagedCopy> StageSymlink(int link, const struct stat& source, StagedCopy staged,
                                    const HeldFolder* destination_folder);
    /// Puts a finished temporary file in place; without overwrite a taken name is an error.
    Status Rename(const AnchoredPath& from, const AnchoredPath& to, bool overwrite) const;
    /// Gives an unnamed file a name.
    Status LinkUnnamed(int file, const AnchoredPath& to) const;
    void Unlink(const std::string& path) const;

    PathSyntax syntax_ = PathSyntax::Posix();
    const FileTime settle_time_;
    /// Taken from every file made; unknown, the bits of a copy are always set after.
    const std::optional<mode_t> umask_;
    RootAnchoring anchoring_;
    DeferredCloser replaced_files_;
};

}  // namespace tidemark
