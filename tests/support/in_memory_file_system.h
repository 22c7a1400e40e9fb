#pragma once

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "engine/file_system_port.h"
#include "engine/path_syntax.h"

namespace tidemark::testing {

/// The failures the real file system gives, for injecting.
inline Failure AccessDenied() {
    return FailureFromErrno(EACCES);
}
inline Failure NoSuchFile() {
    return FailureFromErrno(ENOENT);
}
inline Failure NoSpace() {
    return FailureFromErrno(ENOSPC);
}

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

    explicit InMemoryFileSystem(PathSyntax syntax = PathSyntax::Posix()) : syntax_(syntax) {
        if (!syntax_.drive_letters)
            nodes_.emplace("/", Node{});
    }

    // Building a tree. Missing parent folders are created; items are listed in the order
    // they were added.
    void AddFolder(const std::string& path) {
        std::lock_guard lock(mutex_);
        Insert(path, EntryKind::kFolder);
    }
    void AddFile(const std::string& path, const std::string& content = {}, FileTime modified = 0,
                 int attributes = 0) {
        std::lock_guard lock(mutex_);
        Put(path, EntryKind::kFile, content, modified).attributes = attributes;
    }
    void AddSymlink(const std::string& path, const std::string& target, FileTime modified = 0) {
        std::lock_guard lock(mutex_);
        Put(path, EntryKind::kSymlink, target, modified);
    }
    void AddSpecial(const std::string& path) {
        std::lock_guard lock(mutex_);
        Insert(path, EntryKind::kSpecial).attributes = kSystemAttribute;
    }
    void Remove(const std::string& path) {
        std::lock_guard lock(mutex_);
        const auto key = KeyOf(path);
        if (!At(key))
            return;
        std::erase_if(nodes_, [&](const auto& item) { return IsBelow(item.first, key); });
        if (const std::string parent = ParentKey(*key); !parent.empty()) {
            std::erase(nodes_[parent].children, *key);
            nodes_[parent].version = ++versions_;
        }
    }

    /// Makes every later call of the operation on this path fail with the given failure.
    void FailOn(Operation operation, const std::string& path, Failure failure) {
        std::lock_guard lock(mutex_);
        faults_.push_back({operation, *KeyOf(path), std::move(failure)});
    }
    /// Throws std::bad_alloc from the `first`-th call of the operation on the path on, as a call
    /// that runs out of memory does; with `once`, from that call only.
    void ThrowOn(Operation operation, const std::string& path, int first = 1, bool once = false) {
        std::lock_guard lock(mutex_);
        faults_.push_back({operation, *KeyOf(path), std::nullopt, first, once});
    }
    /// Fails the first copy whose data would bring the stored bytes over this total.
    void SetCapacity(std::uint64_t bytes) { capacity_ = bytes; }
    /// Names below `root` (one folder) compare without regard to letter case, as on FAT and
    /// exFAT: two names that differ only in case are one item there.
    void FoldCaseBelow(const std::string& root) {
        std::lock_guard lock(mutex_);
        folding_root_ = KeyOf(root);
    }
    /// Keeps the times of everything below `root` (one folder) only in steps of `step` ns, as FAT
    /// (two seconds) or many network file systems (one second) do: every time stored there,
    /// by a copy too, is cut towards the past, or raised to the next step with `round_up`.
    void SetTimePrecision(const std::string& root, FileTime step, bool round_up = false) {
        std::lock_guard lock(mutex_);
        coarse_root_ = KeyOf(root);
        time_step_ = step;
        round_up_ = round_up;
    }
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
    std::map<std::string, std::string> Snapshot(const std::string& root) const {
        std::lock_guard lock(mutex_);
        std::map<std::string, std::string> snapshot;
        const auto root_key = KeyOf(root);
        if (!At(root_key))
            return snapshot;
        const std::string base = JoinPath(SpelledPath(*root_key), "", syntax_);
        static constexpr const char* kKinds[] = {"file", "folder", "link", "special"};
        for (const auto& [key, node] : nodes_) {
            if (key != *root_key && IsBelow(key, root_key)) {
                snapshot[SpelledPath(key).substr(base.size())] =
                    std::string(kKinds[static_cast<int>(node.kind)]) + ":" + node.content + ":" +
                    std::to_string(node.modified);
            }
        }
        return snapshot;
    }
    /// One line per change made through the port ("copy A -> B", "mkdir X", "write X").
    const std::vector<std::string>& Changes() const { return changes_; }
    /// Staged copies neither committed nor discarded yet.
    std::size_t PendingStagedCopies() const {
        std::lock_guard lock(mutex_);
        return staged_.size();
    }

    // FileSystemPort
    const PathSyntax& Syntax() const override { return syntax_; }
    bool FolderExistsIn(const HeldFolder*, const std::string& path) override {
        std::lock_guard lock(mutex_);
        return IsFolder(Find(path));
    }
    Result<FolderListing> ListFolderIn(const HeldFolder*, const std::string& path) override {
        std::lock_guard lock(mutex_);
        ++calls_;
        if (auto failure = Inject(Operation::kListFolder, path))
            return *failure;
        const Node* folder = Find(path);
        if (folder == nullptr)
            return NoSuchFile();
        if (folder->kind != EntryKind::kFolder)
            return FailureFromErrno(ENOTDIR);
        FolderListing listing;
        listing.state = FolderState{0, 0, 0, static_cast<FileTime>(folder->version)};
        listing.identity = FolderIdentity{1, folder->identity};
        for (const std::string& child_key : folder->children) {
            const Node& child = nodes_.at(child_key);
            // As on the real file system, a leading dot hides (specials are made system).
            int attributes = child.attributes;
            if (!syntax_.drive_letters && child.name.starts_with('.'))
                attributes |= kHiddenAttribute;
            (child.kind == EntryKind::kFolder ? listing.sub_folders : listing.files)
                .push_back(
                    {JoinPath(path, child.name, syntax_), child.name, child.kind, attributes});
        }
        return listing;
    }
    Result<FolderListing> ListFolderAgainIn(const HeldFolder*, const std::string& path,
                                            FolderListing earlier) override {
        std::lock_guard lock(mutex_);
        const Node* folder = Find(path);
        if (!IsFolder(folder) || !earlier.state ||
            earlier.state->changed != static_cast<FileTime>(folder->version))
            return ListFolder(path);
        if (auto failure = Inject(Operation::kListFolder, path))
            return *failure;
        return earlier;
    }
    std::optional<FolderIdentity> IdentityOf(const std::string& folder) override {
        std::lock_guard lock(mutex_);
        const Node* node = Find(folder);
        return IsFolder(node) ? std::optional(FolderIdentity{1, node->identity}) : std::nullopt;
    }
    Result<std::optional<FileStatus>> FindFileIn(const HeldFolder*,
                                                 const std::string& path) override {
        std::lock_guard lock(mutex_);
        ++calls_;
        if (auto failure = Inject(Operation::kFindFile, path))
            return *failure;
        const Node* node = Find(path);
        if (node == nullptr || node->kind == EntryKind::kFolder)
            return std::optional<FileStatus>();
        return std::optional<FileStatus>(
            FileStatus{node->kind, node->modified, node->content.size(), node->identity});
    }
    Result<StagedCopy> StageCopyIn(const HeldFolder*, const HeldFolder*, const FileEntry& source,
                                   const std::string& destination) override {
        std::lock_guard lock(mutex_);
        ++calls_;
        for (const std::string* path : {&source.path, &destination}) {
            if (auto failure = Inject(Operation::kCopyFile, *path))
                return *failure;
        }
        const Node* from = Find(source.path);
        if (from == nullptr || from->kind == EntryKind::kFolder)
            return NoSuchFile();
        if (from->kind == EntryKind::kSpecial)
            return FailureFromErrno(EOPNOTSUPP);
        const auto key = KeyOf(destination);
        if (!key || !IsFolder(At(ParentKey(*key))))
            return NoSuchFile();
        if (capacity_ && UsedBytes() + from->content.size() > *capacity_)
            return NoSpace();
        StagedCopy staged{destination + ".staged-" + std::to_string(++staged_counter_), destination,
                          -1, from->content.size()};
        staged_[staged.temporary_path] = *from;
        return staged;
    }
    std::optional<std::uint64_t> FreeSpace(const std::string&) override {
        std::lock_guard lock(mutex_);
        return capacity_ ? std::optional(std::max(*capacity_, UsedBytes()) - UsedBytes())
                         : std::nullopt;
    }
    FileTime TimeStep(const std::string& folder) override {
        std::lock_guard lock(mutex_);
        const auto key = KeyOf(folder);
        return key && IsBelow(*key, coarse_root_) ? time_step_ : 1;
    }
    Status CommitCopyIn(const HeldFolder*, const StagedCopy& staged, bool overwrite) override {
        std::lock_guard lock(mutex_);
        if (auto failure = Inject(Operation::kCommitCopy, staged.destination))
            return *failure;
        const auto copy = staged_.find(staged.temporary_path);
        const auto key = KeyOf(staged.destination);
        if (copy == staged_.end() || !IsFolder(At(ParentKey(*key))))
            return NoSuchFile();
        if (const Node* existing = At(key); existing && (IsFolder(existing) || !overwrite))
            return FailureFromErrno(IsFolder(existing) ? EISDIR : EEXIST);
        const Node node = copy->second;
        staged_.erase(copy);
        Node& to = Put(staged.destination, node.kind, node.content, node.modified);
        to.identity = ++identities_;  // a file put in place of another is another file
        to.attributes = node.attributes;
        changes_.push_back("copy -> " + staged.destination);
        return Status::Ok();
    }
    void DiscardCopy(const StagedCopy& staged) override {
        std::lock_guard lock(mutex_);
        staged_.erase(staged.temporary_path);
    }
    Status CheckDeletableIn(const HeldFolder*, const std::string& path) override {
        std::lock_guard lock(mutex_);
        if (auto failure = Inject(Operation::kCheckDeletable, path))
            return *failure;
        return Find(path) == nullptr ? Status(NoSuchFile()) : Status::Ok();
    }
    Status CreateFolderIn(const HeldFolder*, const std::string& path) override {
        std::lock_guard lock(mutex_);
        if (auto failure = Inject(Operation::kCreateFolder, path))
            return *failure;
        const auto key = KeyOf(path);
        if (!key)
            return NoSuchFile();
        if (At(key) || ParentKey(*key).empty())  // a drive or the root is always there
            return FailureFromErrno(EEXIST);
        if (!IsFolder(At(ParentKey(*key))))
            return NoSuchFile();
        Insert(path, EntryKind::kFolder);
        changes_.push_back("mkdir " + path);
        return Status::Ok();
    }
    std::optional<std::string> ResolveFolder(const std::string& path) override {
        std::lock_guard lock(mutex_);
        const auto key = KeyOf(path);
        return IsFolder(At(key)) ? std::optional(SpelledPath(*key)) : std::nullopt;
    }

    // TextFilePort
    Result<std::string> ReadTextFile(const std::string& path) override {
        std::lock_guard lock(mutex_);
        if (auto failure = Inject(Operation::kReadTextFile, path))
            return *failure;
        const Node* node = Find(path);
        return node && node->kind == EntryKind::kFile ? node->content : std::string();
    }
    Status WriteTextFile(const std::string& path, const std::string& text) override {
        std::lock_guard lock(mutex_);
        if (auto failure = Inject(Operation::kWriteTextFile, path))
            return *failure;
        const auto key = KeyOf(path);
        if (!key || !At(ParentKey(*key)))
            return NoSuchFile();
        Insert(path, EntryKind::kFile).content = text;
        changes_.push_back("write " + path);
        return Status::Ok();
    }

  private:
    struct Node {
        // The name as spelled when created; file data, or a link's target.
        std::string name, content;
        EntryKind kind = EntryKind::kFolder;
        FileTime modified = 0;
        int attributes = 0;
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
    std::optional<std::string> KeyOf(const std::string& path) const {
        if (!syntax_.IsComplete(path))
            return std::nullopt;
        std::string key = syntax_.drive_letters ? UpperCase(path.substr(0, 2)) : std::string();
        std::string part;
        for (std::size_t i = syntax_.drive_letters ? 2 : 0; i <= path.size(); ++i) {
            if (i < path.size() && !syntax_.IsSeparator(path[i])) {
                part.push_back(path[i]);
                continue;
            }
            if (const std::size_t cut = key.find_last_of(syntax_.separator);
                part == ".." && cut != std::string::npos) {
                key.resize(cut);
            } else if (!part.empty() && part != "." && part != "..") {
                const bool folded =
                    syntax_.fold_case ||
                    IsBelow(key.empty() ? std::string(1, syntax_.separator) : key, folding_root_);
                key += syntax_.separator + (folded ? UpperCase(part) : part);
            }
            part.clear();
        }
        return key.empty() ? std::string(1, syntax_.separator) : key;
    }
    /// The key of the folder holding the item; empty for a root.
    std::string ParentKey(const std::string& key) const {
        const std::size_t cut = key.find_last_of(syntax_.separator);
        if (cut == std::string::npos || key.size() == 1)
            return {};  // a root has no parent
        return cut == 0 ? std::string(1, syntax_.separator) : key.substr(0, cut);
    }
    bool IsBelow(const std::string& key, const std::optional<std::string>& root_key) const {
        return root_key && key.starts_with(*root_key) &&
               (key.size() == root_key->size() || root_key->ends_with(syntax_.separator) ||
                key[root_key->size()] == syntax_.separator);
    }
    const Node* At(const std::optional<std::string>& key) const {
        const auto found = key ? nodes_.find(*key) : nodes_.end();
        return found == nodes_.end() ? nullptr : &found->second;
    }
    const Node* Find(const std::string& path) const { return At(KeyOf(path)); }
    static bool IsFolder(const Node* node) { return node && node->kind == EntryKind::kFolder; }
    /// A copy of the item at path, taken under the lock.
    std::optional<Node> NodeAt(const std::string& path) const {
        std::lock_guard lock(mutex_);
        const Node* node = Find(path);
        return node == nullptr ? std::nullopt : std::optional(*node);
    }
    Node& Insert(const std::string& path, EntryKind kind) {
        const std::string key = *KeyOf(path);
        const std::string parent = ParentKey(key);
        std::string trimmed = path;  // the name is the last part of the path as given
        while (trimmed.size() > 1 && syntax_.IsSeparator(trimmed.back()))
            trimmed.pop_back();
        std::size_t cut = trimmed.size();
        while (cut > 0 && !syntax_.IsSeparator(trimmed[cut - 1]))
            --cut;
        if (!parent.empty() && !nodes_.contains(parent))
            Insert(trimmed.substr(0, cut), EntryKind::kFolder);  // spelled as in the path given
        if (!parent.empty()) {
            if (!nodes_.contains(key))
                nodes_[parent].children.push_back(key);
            nodes_[parent].version = ++versions_;
        }
        const auto [found, added] = nodes_.try_emplace(key);
        Node& node = found->second;
        if (added) {
            node.version = ++versions_;
            node.identity = ++identities_;
            node.name = parent.empty() ? key : trimmed.substr(cut);
        }
        node.kind = kind;
        return node;
    }
    Node& Put(const std::string& path, EntryKind kind, const std::string& content,
              FileTime modified) {
        Node& node = Insert(path, kind);
        node.content = content;
        node.modified = StoredTime(*KeyOf(path), modified);
        return node;
    }
    /// The failure injected on this call, if any; throws when a ThrowOn is due.
    std::optional<Failure> Inject(Operation operation, const std::string& path) {
        const auto key = KeyOf(path);
        for (Fault& fault : faults_) {
            if (fault.operation != operation || key != fault.key)
                continue;
            if (fault.failure) {
                ++faults_fired_;
                return fault.failure;
            }
            if (fault.calls_to_throw > 0 && --fault.calls_to_throw == 0) {
                fault.calls_to_throw = fault.once ? 0 : 1;  // or every call after it
                throw std::bad_alloc();
            }
        }
        return std::nullopt;
    }
    std::string SpelledPath(const std::string& key) const {
        const std::string parent = ParentKey(key);
        return parent.empty() ? nodes_.at(key).name
                              : JoinPath(SpelledPath(parent), nodes_.at(key).name, syntax_);
    }
    FileTime StoredTime(const std::string& key, FileTime time) const {
        if (!IsBelow(key, coarse_root_))
            return time;
        // Towards the past, before 1970 too.
        const FileTime cut = time - time % time_step_ - (time % time_step_ < 0 ? time_step_ : 0);
        return round_up_ && cut != time ? cut + time_step_ : cut;
    }
    std::uint64_t UsedBytes() const {
        std::uint64_t used = 0;
        for (const auto& [key, node] : nodes_)
            used += node.kind == EntryKind::kFile ? node.content.size() : 0;
        for (const auto& [temporary, node] : staged_)
            used += node.content.size();
        return used;
    }

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

}  // namespace tidemark::testing
