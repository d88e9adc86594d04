#include "fs/link_rule.h"

#include <cstring>

#include "platform/drive.h"

namespace {

platform::FsOps& ops() {
    return platform::fs_ops();
}

bool separator(char c) {
    return c == '\\' || c == '/';
}

// The folder that holds a path, lexically; empty above the root.
std::string parent_of(std::string path) {
    while (path.size() > 1 && separator(path.back()))
        path.pop_back();
    const size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos) return std::string();
    return path.substr(0, cut == 0 || (cut == 2 && path[1] == ':') ? cut + 1 : cut);
}

// The folder at path and each folder above it, as far as they exist.
void add_chain(std::vector<platform::FolderId>& out, std::string path) {
    for (int guard = 0; guard < 4096 && !path.empty(); ++guard) {
        platform::FolderId id;
        if (platform::folder_id(path.c_str(), id)) out.push_back(id);
        const std::string up = parent_of(path);
        if (up == path) break;
        path = up;
    }
}

} // namespace

LinkRule::LinkRule(std::string top, std::string folder)
    : top_(top.empty() ? folder : std::move(top)), folder_(std::move(folder)) {}

const std::string& LinkRule::Confine() {
    if (!have_confine_) {
        const std::string top = ops().resolve(top_.c_str());
        if (!top.empty()) {
            const std::string disc = platform::volume_root(top.c_str());
            confine_ = disc.empty() || platform::system_root(disc) ? top : disc;
        }
        have_confine_ = true;
    }
    return confine_;
}

bool LinkRule::LeadsUpwards(const platform::FolderId& target) {
    if (!have_ancestors_) {
        add_chain(ancestors_, folder_);
        add_chain(ancestors_, ops().resolve(folder_.c_str()));
        have_ancestors_ = true;
    }
    for (const platform::FolderId& a : ancestors_)
        if (a == target) return true;
    return false;
}

bool LinkRule::Takes(const platform::FindRecord& entry) {
    if (entry.attributes == platform::kAttrInvalid) return false; // leads nowhere
    const bool folder = (entry.attributes & platform::kAttrDirectory) != 0;
    if (!entry.link && !(folder && platform::folders_may_be_links())) return true;
    // "." and ".." name this folder and the one above as the system lists them.
    if (std::strcmp(entry.name, ".") == 0 || std::strcmp(entry.name, "..") == 0) return true;
    const std::string path =
        folder_ + (folder_.empty() || separator(folder_.back()) ? "" : "\\") + entry.name;
    if (entry.link) {
        const std::string target = ops().resolve(path.c_str());
        if (target.empty() || !platform::path_within(target, Confine())) return false;
        if (!folder) return true;
    }
    platform::FolderId id;
    // A plain folder whose identity cannot be told is met by the walk, which reports it.
    if (!platform::folder_id(path.c_str(), id)) return !entry.link;
    return !LeadsUpwards(id);
}

bool LinkRule::TopAllowed() {
    auto trimmed = [](std::string p) {
        while (p.size() > 1 && separator(p.back()))
            p.pop_back();
        return p;
    };
    if (trimmed(folder_) != trimmed(top_) || !ops().is_link(folder_.c_str())) return true;
    const std::string holder = ops().resolve(parent_of(folder_).c_str());
    if (holder.empty()) return false;
    const std::string disc = platform::volume_root(holder.c_str());
    if (platform::system_root(disc)) return true; // the source folder itself
    return platform::path_within(ops().resolve(folder_.c_str()), disc);
}
