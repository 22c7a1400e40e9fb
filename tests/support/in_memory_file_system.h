#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_system_port.h"

namespace tidemark::testing {

/// The file-system port in memory, in either path syntax, with fault injection on every
/// operation and a log of every change it makes. Every operation takes one lock, so workers
/// may use it from several threads.
class InMemoryFileSystem final : public FileSystemPort, public TextFilePort {
  public:
    enum class Operation {
        kListFolder,
        kFindFile,
        kCopyFile,    ///< staging a copy; matches the source or the destination path
        kCommitCopy,  ///< putting a staged copy in place; matches the destination path
        kCheckDeletable,
        kCreateFolder,
        kReadTextFile,
        kWriteTextFile,
    };

    explicit InMemoryFileSystem(PathSyntax syntax = PathSyntax::Posix());

    // Building a tree. Missing parent folders are created; items are listed in the order
    // they were added.
    void AddFolder(const std::string& path);
    void AddFile(const std::string& path, const std::string& content = {}, FileTime modified = 0,
                 int attributes = 0);
    void AddSymlink(const std::string& path, const std::string& target, FileTime modified = 0);
    void AddSpecial(const std::string& path);
    void SetReadOnly(const std::string& path, bool read_only = true);
    void Remove(const std::string& path);

    /// Makes every later call of the operation on this path fail with the given failure.
    void FailOn(Operation operation, const std::string& path, Failure failure);
    /// Throws std::bad_alloc from the `first`-th call of the operation on the path on, as a call
    /// that runs out of memory does; with `once`, from that call only.
    void ThrowOn(Operation operation, const std::string& path, int first = 1, bool once = false);
    /// Fails the first copy whose data would bring the stored bytes over this total.
    void SetCapacity(std::uint64_t bytes) { capacity_ = bytes; }
    /// Names below `root` (one folder) compare without regard to letter case, as on FAT and
    /// exFAT: two names that differ only in case are one item there.
    void FoldCaseBelow(const std::string& root);
    /// Keeps the times of everything below `root` (one folder) only in steps of `step` ns, as FAT
    /// (two seconds) or many network file systems (one second) do: every time stored there,
    /// by a copy too, is cut towards the past, or raised to the next step with `round_up`.
    void SetTimePrecision(const std::string& root, FileTime step, bool round_up = false);
    /// How many calls failed through FailOn so far.
    int InjectedFailuresFired() const { return faults_fired_; }
    /// How many times the files or folders of the tree were looked at or copied so far.
    int Calls() const { return calls_; }

    // Looking at the tree.
    bool Exists(const std::string& path) const { return NodeAt(path).has_value(); }
    std::optional<std::string> ContentOf(const std::string& path) const {
        const auto node = NodeAt(path);
        return node && node->kind != EntryKind::kFolder ? std::optional(node->content)
                                                        : std::nullopt;
    }
    std::optional<FileTime> ModifiedOf(const std::string& path) const {
        const auto node = NodeAt(path);
        return node ? std::optional(node->modified) : std::nullopt;
    }
    std::optional<std::string> LinkTargetOf(const std::string& path) const {
        const auto node = NodeAt(path);
        return node && node->kind == EntryKind::kSymlink ? std::optional(node->content)
                                                         : std::nullopt;
    }
    /// Every item below the path as "relative path" -> "kind:content:time", for comparing trees.
    std::map<std::string, std::string> Snapshot(const std::string& root) const;
    /// One line per change made through the port ("copy A -> B", "mkdir X", "write X").
    const std::vector<std::string>& Changes() const { return changes_; }

    // FileSystemPort
    const PathSyntax& Syntax() const override { return syntax_; }
    bool FolderExistsIn(const HeldFolder* folder, const std::string& path) override;
    Result<FolderListing> ListFolderIn(const HeldFolder*, const std::string& path) override;
    Result<FolderListing> ListFolderAgainIn(const HeldFolder*, const std::string& path,
                                            FolderListing earlier) override;
    std::optional<FolderIdentity> IdentityOf(const std::string& folder) override;
    Result<std::optional<FileStatus>> FindFileIn(const HeldFolder*, const std::string&) override;
    Result<StagedCopy> StageCopyIn(const HeldFolder*, const HeldFolder*, const FileEntry& source,
                                   const std::string& destination) override;
    std::optional<std::uint64_t> FreeSpace(const std::string& folder) override;
    FileTime TimeStep(const std::string& folder) override;
    Status CommitCopyIn(const HeldFolder*, const StagedCopy& staged, bool overwrite) override;
    void DiscardCopy(const StagedCopy& staged) override;
    /// Staged copies neither committed nor discarded yet.
    std::size_t PendingStagedCopies() const;
    Status CheckDeletableIn(const HeldFolder* folder, const std::string& path) override;
    Status CreateFolderIn(const HeldFolder*, const std::string& path) override;
    std::optional<std::string> ResolveFolder(const std::string& path) override;

    // TextFilePort
    Result<std::string> ReadTextFile(const std::string& path) override;
    Status WriteTextFile(const std::string& path, const std::string& text) override;

  private:
    struct Node {
        // The name as spelled when created; file data, or a link's target.
        std::string name, content;
        EntryKind kind = EntryKind::kFolder;
        FileTime modified = 0;
        int attributes = 0;
        bool read_only = false;
        std::vector<std::string> children;  // keys, in creation order
        // A new version whenever the children change, a new identity whenever the item is
        // made or replaced.
        std::uint64_t version = 0, identity = 0;
    };
    /// A fault injected on an operation and path: a failure, or std::bad_alloc when due.
    struct Fault {
        Operation operation;
        std::string key;
        std::optional<Failure> failure;
        int calls_to_throw = 0;
        bool once = false;
    };

    /// The lookup key of a path: "." and ".." resolved, case folded where the syntax folds
    /// it; nullopt for a path that does not start at a root.
    std::optional<std::string> KeyOf(const std::string& path) const;
    /// The key of the folder holding the item; empty for a root.
    std::string ParentKey(const std::string& key) const;
    const Node* At(const std::optional<std::string>& key) const {
        const auto found = key ? nodes_.find(*key) : nodes_.end();
        return found == nodes_.end() ? nullptr : &found->second;
    }
    const Node* Find(const std::string& path) const { return At(KeyOf(path)); }
    static bool IsFolder(const Node* node) { return node && node->kind == EntryKind::kFolder; }
    /// A copy of the item at path, taken under the lock.
    std::optional<Node> NodeAt(const std::string& path) const;
    Node& Insert(const std::string& path, EntryKind kind);
    Node& Put(const std::string& path, EntryKind kind, const std::string& content,
              FileTime modified);
    /// The failure injected on this call, if any; throws when a ThrowOn is due.
    std::optional<Failure> Inject(Operation operation, const std::string& path);
    std::string SpelledPath(const std::string& key) const;
    bool IsBelow(const std::string& key, const std::optional<std::string>& root_key) const;
    FileTime StoredTime(const std::string& key, FileTime time) const;
    std::uint64_t UsedBytes() const;

    PathSyntax syntax_;
    std::map<std::string, Node> nodes_;
    std::vector<Fault> faults_;
    std::vector<std::string> changes_;
    std::optional<std::uint64_t> capacity_;
    // Keys: SetTimePrecision, FoldCaseBelow.
    std::optional<std::string> coarse_root_, folding_root_;
    FileTime time_step_ = 1;
    bool round_up_ = false;
    std::atomic<int> faults_fired_ = 0, calls_ = 0;
    std::map<std::string, Node> staged_;
    std::uint64_t staged_counter_ = 0, versions_ = 0, identities_ = 0;
    mutable std::recursive_mutex mutex_;
};

/// The failures the real file system gives, for injecting.
Failure AccessDenied();
Failure NoSuchFile();
Failure NoSpace();

}  // namespace tidemark::testing
