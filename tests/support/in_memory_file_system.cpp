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
    std::string root = syntax_.drive_letters ? UpperCase(path.substr(0, 2)) : std::string();
    std::vector<std::string> components;
    std::string component;
    auto flush = [&] {
        if (component == "..") {
            if (!components.empty())
                components.pop_back();
        } else if (!component.empty() && component != ".") {
            components.push_back(syntax_.fold_case ? UpperCase(component) : component);
        }
        component.clear();
    };
    for (std::size_t i = syntax_.drive_letters ? 2 : 0; i < path.size(); ++i) {
        if (syntax_.IsSeparator(path[i]))
            flush();
        else
            component.push_back(path[i]);
    }
    flush();
    std::string key = root;
    for (const std::string& part : components) {
        const std::string above = key.empty() ? std::string(1, syntax_.separator) : key;
        const bool folded = folding_root_ && IsBelow(above, *folding_root_);
        key += syntax_.separator;
        key += folded ? UpperCase(part) : part;
    }
    return key.empty() ? std::string(1, syntax_.separator) : key;
}

std::string InMemoryFileSystem::ParentKey(const std::string& key) const {
    const std::size_t cut = key.find_last_of(syntax_.separator);
    if (cut == std::string::npos || key.size() == 1)
        return {};  // a root has no parent
    return cut == 0 ? std::string(1, syntax_.separator) : key.substr(0, cut);
}

std::string InMemoryFileSystem::NameOf(const std::string& path) const {
    std::string trimmed = path;
    while (trimmed.size() > 1 && syntax_.IsSeparator(trimmed.back()))
        trimmed.pop_back();
    std::size_t cut = trimmed.size();
    while (cut > 0 && !syntax_.IsSeparator(trimmed[cut - 1]))
        --cut;
    return trimmed.substr(cut);
}

bool InMemoryFileSystem::IsFolderKey(const std::string& key) const {
    const auto found = nodes_.find(key);
    return found != nodes_.end() && found->second.kind == EntryKind::kFolder;
}

const InMemoryFileSystem::Node* InMemoryFileSystem::Find(const std::string& path) const {
    const auto key = KeyOf(path);
    if (!key)
        return nullptr;
    const auto found = nodes_.find(*key);
    return found == nodes_.end() ? nullptr : &found->second;
}

InMemoryFileSystem::Node& InMemoryFileSystem::Insert(const std::string& path, EntryKind kind) {
    const std::string key = *KeyOf(path);
    const std::string parent = ParentKey(key);
    if (auto existing = nodes_.find(key); existing != nodes_.end()) {
        existing->second.kind = kind;
        if (!parent.empty())
            nodes_[parent].version = ++versions_;
        return existing->second;
    }
    if (!parent.empty() && !nodes_.contains(parent)) {
        // Parents are spelled as in the path given.
        std::string parent_path = path;
        while (parent_path.size() > 1 && syntax_.IsSeparator(parent_path.back()))
            parent_path.pop_back();
        parent_path.resize(parent_path.size() - NameOf(path).size());
        Insert(parent_path, EntryKind::kFolder);
    }
    if (!parent.empty()) {
        nodes_[parent].children.push_back(key);
        nodes_[parent].version = ++versions_;
    }
    Node& node = nodes_[key];
    node.version = ++versions_;
    node.identity = ++identities_;
    node.name = parent.empty() ? key : NameOf(path);
    node.kind = kind;
    return node;
}

void InMemoryFileSystem::AddFolder(const std::string& path) {
    std::lock_guard lock(mutex_);
    Insert(path, EntryKind::kFolder);
}

void InMemoryFileSystem::AddFile(const std::string& path, const std::string& content,
                                 FileTime modified, int attributes) {
    std::lock_guard lock(mutex_);
    Node& node = Insert(path, EntryKind::kFile);
    node.content = content;
    node.modified = StoredTime(*KeyOf(path), modified);
    node.attributes = attributes;
}

void InMemoryFileSystem::AddSymlink(const std::string& path, const std::string& target,
                                    FileTime modified) {
    std::lock_guard lock(mutex_);
    Node& node = Insert(path, EntryKind::kSymlink);
    node.content = target;
    node.modified = StoredTime(*KeyOf(path), modified);
}

void InMemoryFileSystem::AddSpecial(const std::string& path) {
    std::lock_guard lock(mutex_);
    Insert(path, EntryKind::kSpecial).attributes = kSystemAttribute;
}

void InMemoryFileSystem::SetReadOnly(const std::string& path, bool read_only) {
    std::lock_guard lock(mutex_);
    nodes_.at(*KeyOf(path)).read_only = read_only;
}

void InMemoryFileSystem::RemoveKey(const std::string& key) {
    for (const std::string& child : std::vector<std::string>(nodes_[key].children))
        RemoveKey(child);
    if (const std::string parent = ParentKey(key); !parent.empty()) {
        std::erase(nodes_[parent].children, key);
        nodes_[parent].version = ++versions_;
    }
    nodes_.erase(key);
}

void InMemoryFileSystem::Remove(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (const auto key = KeyOf(path); key && nodes_.contains(*key))
        RemoveKey(*key);
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

bool InMemoryFileSystem::IsBelow(const std::string& key, const std::string& root_key) const {
    return key == root_key ||
           (key.starts_with(root_key) &&
            (root_key.ends_with(syntax_.separator) || key[root_key.size()] == syntax_.separator));
}

FileTime InMemoryFileSystem::StoredTime(const std::string& key, FileTime time) const {
    if (!IsCoarse(key))
        return time;
    // Towards the past, before 1970 too.
    const FileTime cut = time - time % time_step_ - (time % time_step_ < 0 ? time_step_ : 0);
    return round_up_ && cut != time ? cut + time_step_ : cut;
}

FileTime InMemoryFileSystem::TimeStep(const std::string& folder) {
    std::lock_guard lock(mutex_);
    const auto key = KeyOf(folder);
    return key && IsCoarse(*key) ? time_step_ : 1;
}

std::uint64_t InMemoryFileSystem::UsedBytes() const {
    std::uint64_t used = 0;
    for (const auto& [node_key, node] : nodes_) {
        if (node.kind == EntryKind::kFile)
            used += node.content.size();
    }
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
    if (node == nullptr || node->kind != EntryKind::kFolder)
        return std::nullopt;
    return FolderIdentity{1, node->identity};
}

void InMemoryFileSystem::FailOn(Operation operation, const std::string& path, Failure failure) {
    std::lock_guard lock(mutex_);
    faults_.emplace_back(operation, *KeyOf(path), std::move(failure));
}

void InMemoryFileSystem::ThrowOn(Operation operation, const std::string& path, int first,
                                 bool once) {
    std::lock_guard lock(mutex_);
    throwing_operation_ = operation;
    throwing_key_ = *KeyOf(path);
    calls_to_throw_ = first;
    throw_once_ = once;
}

void InMemoryFileSystem::ThrowIfDue(Operation operation, const std::string& path) {
    if (calls_to_throw_ > 0 && operation == throwing_operation_ && KeyOf(path) == throwing_key_ &&
        --calls_to_throw_ == 0) {
        calls_to_throw_ = throw_once_ ? 0 : 1;  // or every call after it
        throw std::bad_alloc();
    }
}

std::optional<Failure> InMemoryFileSystem::InjectedFailure(Operation operation,
                                                           const std::string& path) const {
    const auto key = KeyOf(path);
    for (const auto& [faulty_operation, faulty_key, failure] : faults_) {
        if (faulty_operation == operation && key && faulty_key == *key) {
            ++faults_fired_;
            return failure;
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
    if (!root_key || !nodes_.contains(*root_key))
        return snapshot;
    std::vector<std::pair<std::string, std::string>> pending{{*root_key, ""}};
    while (!pending.empty()) {
        auto [key, relative] = pending.back();
        pending.pop_back();
        for (const std::string& child_key : nodes_.at(key).children) {
            const Node& child = nodes_.at(child_key);
            const std::string child_relative =
                relative.empty() ? child.name : relative + syntax_.separator + child.name;
            static constexpr const char* kKinds[] = {"file", "folder", "link", "special"};
            snapshot[child_relative] = std::string(kKinds[static_cast<int>(child.kind)]) + ":" +
                                       child.content + ":" + std::to_string(child.modified);
            if (child.kind == EntryKind::kFolder)
                pending.emplace_back(child_key, child_relative);
        }
    }
    return snapshot;
}

int InMemoryFileSystem::AttributesOf(const Node& node) const {
    int attributes = node.attributes;
    if (!syntax_.drive_letters) {
        // The same rules as the real file system: a leading dot hides, specials are system.
        if (!node.name.empty() && node.name.front() == '.')
            attributes |= kHiddenAttribute;
        if (node.kind == EntryKind::kSpecial)
            attributes |= kSystemAttribute;
    }
    return attributes;
}

bool InMemoryFileSystem::FolderExistsIn(const HeldFolder*, const std::string& path) {
    std::lock_guard lock(mutex_);
    const auto key = KeyOf(path);
    return key && IsFolderKey(*key);
}

Result<FolderListing> InMemoryFileSystem::ListFolderIn(const HeldFolder*, const std::string& path) {
    std::lock_guard lock(mutex_);
    ++calls_;
    ThrowIfDue(Operation::kListFolder, path);
    if (auto failure = InjectedFailure(Operation::kListFolder, path))
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
        FileEntry entry{JoinPath(path, child.name, syntax_), child.name, child.kind,
                        AttributesOf(child)};
        (child.kind == EntryKind::kFolder ? listing.sub_folders : listing.files)
            .push_back(std::move(entry));
    }
    return listing;
}

Result<FolderListing> InMemoryFileSystem::ListFolderAgainIn(const HeldFolder*,
                                                            const std::string& path,
                                                            FolderListing earlier) {
    std::lock_guard lock(mutex_);
    if (auto failure = InjectedFailure(Operation::kListFolder, path))
        return *failure;
    const Node* folder = Find(path);
    if (folder != nullptr && folder->kind == EntryKind::kFolder && earlier.state &&
        earlier.state->changed == static_cast<FileTime>(folder->version)) {
        ThrowIfDue(Operation::kListFolder, path);
        return earlier;
    }
    return ListFolder(path);
}

Result<std::optional<FileStatus>> InMemoryFileSystem::FindFileIn(const HeldFolder*,
                                                                 const std::string& path) {
    std::lock_guard lock(mutex_);
    ++calls_;
    ThrowIfDue(Operation::kFindFile, path);
    if (auto failure = InjectedFailure(Operation::kFindFile, path))
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
        if (auto failure = InjectedFailure(Operation::kCopyFile, *path))
            return *failure;
    }
    const Node* from = Find(source.path);
    if (from == nullptr || from->kind == EntryKind::kFolder)
        return NoSuchFile();
    if (from->kind == EntryKind::kSpecial)
        return FailureFromErrno(EOPNOTSUPP);
    const auto key = KeyOf(destination);
    if (!key || !IsFolderKey(ParentKey(*key)))
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
    if (auto failure = InjectedFailure(Operation::kCommitCopy, staged.destination))
        return *failure;
    const auto copy = staged_.find(staged.temporary_path);
    if (copy == staged_.end())
        return NoSuchFile();
    const auto key = KeyOf(staged.destination);
    if (!IsFolderKey(ParentKey(*key)))
        return NoSuchFile();
    if (const Node* existing = Find(staged.destination)) {
        if (existing->kind == EntryKind::kFolder)
            return FailureFromErrno(EISDIR);
        if (!overwrite)
            return FailureFromErrno(EEXIST);
    }
    const Node node = copy->second;
    staged_.erase(copy);
    Node& to = Insert(staged.destination, node.kind);
    to.identity = ++identities_;  // a file put in place of another is another file
    to.content = node.content;
    to.modified = StoredTime(*key, node.modified);
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
    if (auto failure = InjectedFailure(Operation::kCheckDeletable, path))
        return *failure;
    if (Find(path) == nullptr)
        return NoSuchFile();
    return Status::Ok();
}

Status InMemoryFileSystem::CreateFolderIn(const HeldFolder*, const std::string& path) {
    std::lock_guard lock(mutex_);
    if (auto failure = InjectedFailure(Operation::kCreateFolder, path))
        return *failure;
    const auto key = KeyOf(path);
    if (!key)
        return NoSuchFile();
    if (nodes_.contains(*key) || ParentKey(*key).empty())  // a drive or the root is always there
        return FailureFromErrno(EEXIST);
    if (!IsFolderKey(ParentKey(*key)))
        return NoSuchFile();
    Insert(path, EntryKind::kFolder);
    changes_.push_back("mkdir " + path);
    return Status::Ok();
}

std::string InMemoryFileSystem::SpelledPath(const std::string& key) const {
    const std::string parent = ParentKey(key);
    if (parent.empty())
        return nodes_.at(key).name;
    return JoinPath(SpelledPath(parent), nodes_.at(key).name, syntax_);
}

std::optional<std::string> InMemoryFileSystem::ResolveFolder(const std::string& path) {
    std::lock_guard lock(mutex_);
    const auto key = KeyOf(path);
    return key && IsFolderKey(*key) ? std::optional(SpelledPath(*key)) : std::nullopt;
}

Result<std::string> InMemoryFileSystem::ReadTextFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    if (auto failure = InjectedFailure(Operation::kReadTextFile, path))
        return *failure;
    const Node* node = Find(path);
    if (node == nullptr || node->kind != EntryKind::kFile)
        return std::string();
    return node->content;
}

Status InMemoryFileSystem::WriteTextFile(const std::string& path, const std::string& text) {
    std::lock_guard lock(mutex_);
    if (auto failure = InjectedFailure(Operation::kWriteTextFile, path))
        return *failure;
    const auto key = KeyOf(path);
    if (!key || !nodes_.contains(ParentKey(*key)))
        return NoSuchFile();
    Insert(path, EntryKind::kFile).content = text;
    changes_.push_back("write " + path);
    return Status::Ok();
}

}  // namespace tidemark::testing
