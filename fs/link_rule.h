#pragma once
// Which links a walk of the source follows. A disc made to harm, or a tree with links in it,
// must never lead the copy out of the disc or round in a loop: a link is followed only when
// its target lies on the disc that holds the walk's top folder (below its mount point or
// drive root; below the top folder itself when that lies on the system's root file system,
// where the rest of the system is) and, for a folder, is neither the listed folder nor one
// above it. A link that leads nowhere is left out. The top folder may itself be a link: it
// obeys the rule too, judged from the disc that holds the link.
#include <string>
#include <vector>

#include "platform/folder_id.h"
#include "platform/fs.h"

class LinkRule {
  public:
    // top: the walk's top folder; folder: the folder being listed (library paths).
    LinkRule(std::string top, std::string folder);

    // Whether the walk takes the entry just listed in the folder.
    bool Takes(const platform::FindRecord& entry);
    // Whether the folder, when it is the top folder and a link, leads somewhere on its disc.
    bool TopAllowed();

  private:
    const std::string& Confine();
    bool LeadsUpwards(const platform::FolderId& target);

    std::string top_, folder_;
    bool have_confine_ = false, have_ancestors_ = false;
    std::string confine_;
    std::vector<platform::FolderId> ancestors_; // the folder and every folder above it
};
