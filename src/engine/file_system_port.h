#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/failure.h"
#include "engine/path_syntax.h"

namespace tidemark {

/// Last-modified time in nanoseconds since 1970-01-01 00:00 UTC.
using FileTime = std::int64_t;

/// Attribute bits as the walk sees them.
inline constexpr int kHiddenAttribute = 2;
inline constexpr int kSystemAttribute = 4;

/// What a listed item is. Symbolic links are never followed: a link is an item of its own.
enum class EntryKind { kFile, kFolder, kSymlink, kSpecial };

/// One item of a folder listing.
struct FileEntry {
    std::string path;  ///< full path: the folder's path, a separator and the name
    std::string name;
    EntryKind kind = EntryKind::kFile;
    int attributes = 0;  ///< kHiddenAttribute, kSystemAttribute
};

/// A folder kept open while its items are worked on, so that each item is reached from it
/// rather than by finding the folder again along the whole path. What it holds is the file
/// system's own affair.
class HeldFolder {
  public:
    virtual ~HeldFolder() = default;
};

/// What a file system tells of a folder's contents without reading them: while it stays the
/// same, nothing in the folder was added, removed or renamed.
struct FolderState {
    std::uint64_t device = 0;
    std::uint64_t identity = 0;
    FileTime modified = 0;
    FileTime changed = 0;

    bool operator==(const FolderState&) const = default;
};

/// Which folder a folder is: every spelling, link or mount that reaches one folder gives the
/// same identity.
struct FolderIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool operator==(const FolderIdentity&) const = default;
};

/// The immediate contents of a folder, each list in the order the file system lists them.
struct FolderListing {
    std::vector<FileEntry> sub_folders;
    std::vector<FileEntry> files;  ///< everything that is not a folder: files, links, specials
    /// The listed folder, still open where the file system offers that; may be null.
    std::shared_ptr<const HeldFolder> folder;
    /// The folder's state as it was listed, where the file system can tell any later change
    /// from it; for ListFolderAgainIn.
    std::optional<FolderState> state;
    /// The listed folder's identity, where the file system can tell it.
    std::optional<FolderIdentity> identity;
};

/// What the file system says about one existing item that is not a folder.
struct FileStatus {
    EntryKind kind = EntryKind::kFile;
    FileTime modified = 0;
    std::uint64_t size = 0;
    /// Which item it is (an inode number): a file replaced by another has another identity.
    std::uint64_t identity = 0;

    bool operator==(const FileStatus&) const = default;
};

/// A complete copy under a temporary name beside its destination, not yet in place.
struct StagedCopy {
    std::string temporary_path;  ///< empty for an unnamed file
    std::string destination;
    int unnamed_file = -1;    ///< an open file without a name, where the file system offers them
    std::uint64_t bytes = 0;  ///< the size of the copy
};

/// Kept by a pass for as long as its roots stay anchored (see AnchorRoots).
class RootAnchor {
  public:
    virtual ~RootAnchor() = default;
};

/// Every file-system access of the engine goes through this port. Failures carry the number 70
/// for access denied and another number otherwise, with the system's description. The engine
/// calls it from several threads at once: the walk's, and those that prepare files ahead of it.
/// An operation named ...In takes the folder that holds the item (`folder` or `parent`), held
/// open, where the caller has one: null reaches the item by its path, the same item but slower.
/// Its plain twin, where there is one, is for callers that have none.
class FileSystemPort {
  public:
    virtual ~FileSystemPort() = default;

    /// The path syntax this file system uses.
    virtual const PathSyntax& Syntax() const = 0;

    /// For as long as the returned anchor lives, no operation follows a link at or below these
    /// folders: a link where a folder is needed is not a folder, so nothing outside the roots
    /// is read or written through one, however the trees change meanwhile. The roots
    /// themselves may be links (the user chose them) and are resolved now, once. A file
    /// system that never follows links needs no anchor.
    virtual std::unique_ptr<RootAnchor> AnchorRoots(const std::vector<std::string>& /*roots*/) {
        return nullptr;
    }

    /// True only for an existing folder; false for anything else, including a path that
    /// cannot be examined. Below an anchored root a link to a folder is not one.
    virtual bool FolderExistsIn(const HeldFolder* folder, const std::string& path) = 0;
    bool FolderExists(const std::string& path) { return FolderExistsIn(nullptr, path); }

    /// The identity of an existing folder, where the file system can tell it.
    virtual std::optional<FolderIdentity> IdentityOf(const std::string& /*folder*/) {
        return std::nullopt;
    }

    /// The sub-folders and files directly inside the folder. Fails when the folder is missing,
    /// is not a folder or cannot be read.
    virtual Result<FolderListing> ListFolderIn(const HeldFolder* parent,
                                               const std::string& path) = 0;
    Result<FolderListing> ListFolder(const std::string& path) {
        return ListFolderIn(nullptr, path);
    }

    /// ListFolder for a folder that this file system listed before as `earlier`: gives
    /// `earlier` back, with the folder held again, when the folder's state shows that nothing
    /// in it changed since; lists it again otherwise.
    virtual Result<FolderListing> ListFolderAgainIn(const HeldFolder* /*parent*/,
                                                    const std::string& path,
                                                    FolderListing /*earlier*/) {
        return ListFolder(path);
    }

    /// The status of the item at path when it exists and is not a folder; nullopt when nothing
    /// or a folder is there. Fails only when the path cannot be examined for another reason.
    virtual Result<std::optional<FileStatus>> FindFileIn(const HeldFolder* folder,
                                                         const std::string& path) = 0;
    Result<std::optional<FileStatus>> FindFile(const std::string& path) {
        return FindFileIn(nullptr, path);
    }

    /// Copies the listed item `source` into a new temporary file beside `destination`, keeping
    /// its last-modified time and permission bits; a link is copied as a link with the same
    /// target text. Nothing at `destination` changes. Fails for special files (pipes, sockets,
    /// devices) without opening them, when the destination's folder does not exist, and with
    /// SourceChanged() when the source changed while it was copied; a failure leaves no
    /// temporary file. Either folder may be given held open, which is quicker: the source's,
    /// and the one to stage in, which is the destination's own or, while that does not exist
    /// yet, one above it on the same file system (committing then puts the copy in its place).
    virtual Result<StagedCopy> StageCopyIn(const HeldFolder* source_folder,
                                           const HeldFolder* staging_folder,
                                           const FileEntry& source,
                                           const std::string& destination) = 0;

    /// Keeps the folder at path open for the ...In operations; nullptr where that gains
    /// nothing or the folder cannot be opened.
    virtual std::shared_ptr<const HeldFolder> HoldFolderIn(const HeldFolder* /*parent*/,
                                                           const std::string& /*path*/) {
        return nullptr;
    }

    /// The bytes a copy may still take in the folder's file system; nullopt where it cannot be
    /// told.
    virtual std::optional<std::uint64_t> FreeSpace(const std::string& /*folder*/) {
        return std::nullopt;
    }

    /// How finely the folder's file system keeps last-modified times, in nanoseconds: two
    /// seconds on FAT and exFAT, one on coarse network shares, 1 where every nanosecond is kept.
    virtual FileTime TimeStep(const std::string& /*folder*/) { return 1; }

    /// The staged copy will replace an existing file: starts writing it out now, off the walk,
    /// where putting it in place over another file would otherwise wait for that.
    virtual void StartWritingOut(const StagedCopy& /*staged*/) {}

    /// Puts a staged copy in place of its destination in one step. With overwrite false it
    /// fails when the destination exists; read-only destinations are replaced. On failure the
    /// staged copy is still there, for DiscardCopy.
    virtual Status CommitCopyIn(const HeldFolder* folder, const StagedCopy& staged,
                                bool overwrite) = 0;

    /// Removes a staged copy that will not be committed.
    virtual void DiscardCopy(const StagedCopy& staged) = 0;

    /// Returns once the files replaced so far have been let go of, so that their space is
    /// free: replacing lets go of them in the background where that is quicker.
    virtual void ReleaseReplaced() {}

    /// Removes what copies of this program that died left in the folder: temporary files whose
    /// names show they were made on this machine by a process that no longer runs. For the
    /// destination folders a real pass writes to; nothing else is ever removed. `held`, when
    /// not null, is that folder itself held open.
    virtual void RemoveLeftoversIn(const HeldFolder* /*held*/, const std::string& /*folder*/) {}

    /// Succeeds when the existing file at path could be deleted (read-only files included);
    /// the step a replacement takes before the new copy is put in place. Changes nothing.
    virtual Status CheckDeletableIn(const HeldFolder* folder, const std::string& path) = 0;

    /// Creates exactly one folder level. Fails when it exists or its parent is missing.
    virtual Status CreateFolderIn(const HeldFolder* parent, const std::string& path) = 0;
    Status CreateFolder(const std::string& path) { return CreateFolderIn(nullptr, path); }

    /// The folder's own location with every link, "." and ".." resolved and no trailing
    /// separator, so that two spellings of one folder give the same text; nullopt when the
    /// path is not an existing folder.
    virtual std::optional<std::string> ResolveFolder(const std::string& path) = 0;
};

/// The text-file module: whole-file text input and output for the program's own files.
class TextFilePort {
  public:
    virtual ~TextFilePort() = default;

    /// The whole content of a regular file; empty text when no such file exists. Fails when an
    /// existing file cannot be read.
    virtual Result<std::string> ReadTextFile(const std::string& path) = 0;

    /// Replaces the file's content with text, atomically: readers see the old or the new
    /// content, never a mixture or a truncated file. Fails when the folder does not exist or
    /// the file cannot be written.
    virtual Status WriteTextFile(const std::string& path, const std::string& text) = 0;
};

}  // namespace tidemark
