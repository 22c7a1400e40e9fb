#include "tests/support/in_memory_file_system.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "engine/path_syntax.h"

namespace tidemark::testing {

Failure AccessDenied() {
    return FailureFromErrno(EACCES);
}
Failure NoSuchFile() {
    return FailureFromErrno(ENOENT);
}
Failure NoSpace() {
    return FailureFromErrno(ENOSPC);
}

InMemoryFileSystem::InMemoryFileSystem(PathSyntax syntax) : syntax_(syntax) {
    if (!syntax_.drive_letters)
        nodes_.emplace("/", Node{});
}

std::optional<std::string> InMemoryFileSystem::KeyOf(const std::string& path) const {
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

std::string InMemoryFileSystem::ParentKey(const std::string& key) const {
    const std::size_t cut = key.find_last_of(syntax_.separator);
    if (cut == std::string::npos || key.size() == 1)
        return {};  // a root has no parent
    return cut == 0 ? std::string(1, syntax_.separator) : key.substr(0, cut);
}

bool InMemoryFileSystem::IsBelow(const std::string& key,
                                 const std::optional<std::string>& root_key) const {
    return root_key && key.starts_with(*root_key) &&
           (key.size() == root_key->size() || root_key->ends_with(syntax_.separator) ||
            key[root_key->size()] == syntax_.separator);
}

InMemoryFileSystem::Node& InMemoryFileSystem::Insert(const std::string& path, EntryKind kind) {
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

InMemoryFileSystem::Node& InMemoryFileSystem::Put(const std::string& path, EntryKind kind,
                                                  const std::string& content, FileTime modified) {
    Node& node = Insert(path, kind);
    node.content = content;
    node.modified = StoredTime(*KeyOf(path), modified);
    return node;
}

void InMemoryFileSystem::AddFolder(const std::string& path) {
    std::lock_guard lock(mutex_);
    Insert(path, EntryKind::kFolder);
}

void InMemoryFileSystem::AddFile(const std::string& path, const std::string& content,
                                 FileTime modified, int attributes) {
    std::lock_guard lock(mutex_);
    Put(path, EntryKind::kFile, content, modified).attributes = attributes;
}

void InMemoryFileSystem::AddSymlink(const std::string& path, const std::string& target,
                                    FileTime modified) {
    std::lock_guard lock(mutex_);
    Put(path, EntryKind::kSymlink, target, modified);
}

void InMemoryFileSystem::AddSpecial(const std::string& path) {
    std::lock_guard lock(mutex_);
    Insert(path, EntryKind::kSpecial).attributes = kSystemAttribute;
}

void InMemoryFileSystem::SetReadOnly(const std::string& path, bool read_only) {
    std::lock_guard lock(mutex_);
    nodes_.at(*KeyOf(path)).read_only = read_only;
}

void InMemoryFileSystem::Remove(const std::string& path) {
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

void InMemoryFileSystem::FoldCaseBelow(const std::string& root) {
    std::lock_guard lock(mutex_);
    folding_root_ = KeyOf(root);
}

void InMemoryFileSystem::SetTimePrecision(const std::string& root, FileTime step, bool round_up) {
    std::lock_guard lock(mutex_);
    coarse_root_ = KeyOf(root);
    time_step_ = step;
    round_up_ = round_up;
}

FileTime InMemoryFileSystem::StoredTime(const std::string& key, FileTime time) const {
    if (!IsBelow(key, coarse_root_))
        return time;
    // Towards the past, before 1970 too.
    const FileTime cut = time - time % time_step_ - (time % time_step_ < 0 ? time_step_ : 0);
    return round_up_ && cut != time ? cut + time_step_ : cut;
}

FileTime InMemoryFileSystem::TimeStep(const std::string& folder) {
    std::lock_guard lock(mutex_);
    const auto key = KeyOf(folder);
    return key && IsBelow(*key, coarse_root_) ? time_step_ : 1;
}

std::uint64_t InMemoryFileSystem::UsedBytes() const {
    std::uint64_t used = 0;
    for (const auto& [key, node] : nodes_)
        used += node.kind == EntryKind::kFile ? node.content.size() : 0;
    for (const auto& [temporary, node] : staged_)
        used += node.content.size();
    return used;
}

std::optional<std::uint64_t> InMemoryFileSystem::FreeSpace(const std::string&) {
    std::lock_guard lock(mutex_);
    if (!capacity_)
        return std::nullopt;
    return std::max(*capacity_, UsedBytes()) - UsedBytes();
}

std::optional<FolderIdentity> InMemoryFileSystem::IdentityOf(const std::string& folder) {
    std::lock_guard lock(mutex_);
    const Node* node = Find(folder);
    return IsFolder(node) ? std::optional(FolderIdentity{1, node->identity}) : std::nullopt;
}

void InMemoryFileSystem::FailOn(Operation operation, const std::string& path, Failure failure) {
    std::lock_guard lock(mutex_);
    faults_.push_back({operation, *KeyOf(path), std::move(failure)});
}

void InMemoryFileSystem::ThrowOn(Operation operation, const std::string& path, int first,
                                 bool once) {
    std::lock_guard lock(mutex_);
    faults_.push_back({operation, *KeyOf(path), std::nullopt, first, once});
}

std::optional<Failure> InMemoryFileSystem::Inject(Operation operation, const std::string& path) {
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

std::optional<InMemoryFileSystem::Node> InMemoryFileSystem::NodeAt(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const Node* node = Find(path);
    return node == nullptr ? std::nullopt : std::optional(*node);
}

std::map<std::string, std::string> InMemoryFileSystem::Snapshot(const std::string& root) const {
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

bool InMemoryFileSystem::FolderExistsIn(const HeldFolder*, const std::string& path) {
    std::lock_guard lock(mutex_);
    return IsFolder(Find(path));
}

Result<FolderListing> InMemoryFileSystem::ListFolderIn(const HeldFolder*, const std::string& path) {
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
        // The same rules as the real file system: a leading dot hides, specials are system.
        int attributes = child.attributes;
        if (!syntax_.drive_letters && child.name.starts_with('.'))
            attributes |= kHiddenAttribute;
        if (!syntax_.drive_letters && child.kind == EntryKind::kSpecial)
            attributes |= kSystemAttribute;
        (child.kind == EntryKind::kFolder ? listing.sub_folders : listing.files)
            .push_back({JoinPath(path, child.name, syntax_), child.name, child.kind, attributes});
    }
    return listing;
}

Result<FolderListing> InMemoryFileSystem::ListFolderAgainIn(const HeldFolder*,
                                                            const std::string& path,
                                                            FolderListing earlier) {
    std::lock_guard lock(mutex_);
    const Node* folder = Find(path);
    if (!IsFolder(folder) || !earlier.state ||
        earlier.state->changed != static_cast<FileTime>(folder->version))
        return ListFolder(path);
    if (auto failure = Inject(Operation::kListFolder, path))
        return *failure;
    return earlier;
}

Result<std::optional<FileStatus>> InMemoryFileSystem::FindFileIn(const HeldFolder*,
                                                                 const std::string& path) {
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

Result<StagedCopy> InMemoryFileSystem::StageCopyIn(const HeldFolder*, const HeldFolder*,
                                                   const FileEntry& source,
                                                   const std::string& destination) {
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
    StagedCopy staged{destination + ".staged-" + std::to_string(++staged_counter_), destination, -1,
                      from->content.size()};
    staged_[staged.temporary_path] = *from;
    return staged;
}

Status InMemoryFileSystem::CommitCopyIn(const HeldFolder*, const StagedCopy& staged,
                                        bool overwrite) {
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
    to.read_only = node.read_only;
    changes_.push_back("copy -> " + staged.destination);
    return Status::Ok();
}

void InMemoryFileSystem::DiscardCopy(const StagedCopy& staged) {
    std::lock_guard lock(mutex_);
    staged_.erase(staged.temporary_path);
}

std::size_t InMemoryFileSystem::PendingStagedCopies() const {
    std::lock_guard lock(mutex_);
    return staged_.size();
}

Status InMemoryFileSystem::CheckDeletableIn(const HeldFolder*, const std::string& path) {
    std::lock_guard lock(mutex_);
    if (auto failure = Inject(Operation::kCheckDeletable, path))
        return *failure;
    return Find(path) == nullptr ? Status(NoSuchFile()) : Status::Ok();
}

Status InMemoryFileSystem::CreateFolderIn(const HeldFolder*, const std::string& path) {
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

std::string InMemoryFileSystem::SpelledPath(const std::string& key) const {
    const std::string parent = ParentKey(key);
    return parent.empty() ? nodes_.at(key).name
                          : JoinPath(SpelledPath(parent), nodes_.at(key).name, syntax_);
}

std::optional<std::string> InMemoryFileSystem::ResolveFolder(const std::string& path) {
    std::lock_guard lock(mutex_);
    const auto key = KeyOf(path);
    return IsFolder(At(key)) ? std::optional(SpelledPath(*key)) : std::nullopt;
}

Result<std::string> InMemoryFileSystem::ReadTextFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (auto failure = Inject(Operation::kReadTextFile, path))
        return *failure;
    const Node* node = Find(path);
    return node && node->kind == EntryKind::kFile ? node->content : std::string();
}

Status InMemoryFileSystem::WriteTextFile(const std::string& path, const std::string& text) {
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

}  // namespace tidemark::testing
