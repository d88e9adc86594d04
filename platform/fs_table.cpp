// The table of file-system services, filled with the system's own.
#include "platform/fs_services.h"

namespace platform {
namespace {

using namespace service;

constexpr FsOps kFsOps{
    .attributes = attributes,
    .drive_mask = drive_mask,
    .remove = remove_file,
    .move = move_file,
    .make_folder = make_folder,
    .last_error = last_error,
    .find_first = find_first,
    .find_next = find_next,
    .find_close = find_close,
    .listed = listed,
    .write_time = write_time,
    .resolve = resolve,
    .is_link = is_link,
    .open_source = open_source,
    .create_unnamed = create_unnamed,
    .create_new = create_new,
    .volume = volume,
    .copy_range = copy_range,
    .read = read_file,
    .write = write_file,
    .seek = seek_file,
    .prefetch = prefetch,
    .write_back = write_back,
    .finish = finish,
    .flush = flush,
    .flush_volume = flush_volume,
    .keep = keep,
    .link_unnamed = link_unnamed,
    .rename_new = rename_new,
    .rename_over = rename_over,
    .set_attributes = set_attributes,
    .close = close_file,
    .discard = discard,
};

} // namespace

FsOps& fs_ops() {
    static FsOps ops = kFsOps;
    return ops;
}

const FsOps& default_fs_ops() {
    return kFsOps;
}

} // namespace platform
