# Destinations people plug in, made from image files and mounted for a test or a benchmark.
# Source this file, as root:
#   mount_dest <kind> <mount point> <size in MiB>   kinds: ext4 xfs btrfs ntfs exfat fat tmpfs
#   unmount_dest <mount point>                      unmounts and removes its image
#   unmount_all_dests                               every destination this shell mounted
# mount_dest fails (status 1, one line on standard error saying why) where this machine
# cannot make or mount that kind. The image of a destination lies beside its mount point
# (<mount point>.img) and goes when it is unmounted.

dest_kinds="ext4 xfs btrfs ntfs exfat fat tmpfs"
_mounted_dests=()

_dest_need() { # <command>...: fails with a reason when one is missing
    local c
    for c in "$@"; do
        command -v "$c" >/dev/null 2>&1 || { echo "$c is not installed" >&2; return 1; }
    done
}

mount_dest() { # <kind> <mount point> <size MiB>
    local kind=$1 dir=$2 size=$3 img="$2.img" dev
    mkdir -p "$dir" || return 1
    if mountpoint -q "$dir"; then unmount_dest "$dir" || return 1; fi
    rm -f "$img"
    case $kind in
    tmpfs)
        mount -t tmpfs -o "size=${size}m" "lumbrake-$kind" "$dir" || return 1 ;;
    ext4 | xfs | btrfs)
        _dest_need "mkfs.$kind" || return 1
        # btrfs refuses images below about 110 MiB.
        [ "$kind" = btrfs ] && [ "$size" -lt 128 ] && size=128
        [ "$kind" = xfs ] && [ "$size" -lt 300 ] && size=300
        truncate -s "${size}M" "$img" || return 1
        case $kind in
        ext4) mkfs.ext4 -q -F "$img" ;;
        xfs) mkfs.xfs -q -f "$img" ;;
        btrfs) mkfs.btrfs -q -f "$img" >/dev/null ;;
        esac || { echo "mkfs.$kind failed" >&2; return 1; }
        mount -o loop "$img" "$dir" || { echo "the kernel does not mount $kind here" >&2; return 1; } ;;
    ntfs)
        _dest_need mkntfs ntfs-3g || return 1
        truncate -s "${size}M" "$img" || return 1
        mkntfs -q -F -Q "$img" >/dev/null 2>&1 || { echo "mkntfs failed" >&2; return 1; }
        ntfs-3g "$img" "$dir" || { echo "ntfs-3g does not mount here" >&2; return 1; } ;;
    exfat)
        _dest_need mkfs.exfat mount.exfat-fuse losetup || return 1
        truncate -s "${size}M" "$img" || return 1
        dev=$(losetup -f --show "$img") || { echo "no free loop device" >&2; return 1; }
        mkfs.exfat "$dev" >/dev/null 2>&1 || { losetup -d "$dev"; echo "mkfs.exfat failed" >&2; return 1; }
        mount.exfat-fuse "$dev" "$dir" >/dev/null 2>&1 ||
            { losetup -d "$dev"; echo "exfat-fuse does not mount here" >&2; return 1; }
        echo "$dev" >"$img.loop" ;;
    fat)
        _dest_need mkfs.vfat fusefat || return 1
        truncate -s "${size}M" "$img" || return 1
        mkfs.vfat "$img" >/dev/null || { echo "mkfs.vfat failed" >&2; return 1; }
        fusefat -o rw+ "$img" "$dir" >/dev/null 2>&1 || { echo "fusefat does not mount here" >&2; return 1; } ;;
    *)
        echo "unknown kind of destination: $kind" >&2
        return 1 ;;
    esac
    _mounted_dests+=("$dir")
}

unmount_dest() { # <mount point>
    local dir=$1 img="$1.img" i
    if mountpoint -q "$dir"; then
        sync -f "$dir" 2>/dev/null
        # A FUSE driver may still be busy for a moment after its last writer closed.
        for i in 1 2 3 4 5 6 7 8 9 10; do
            umount "$dir" 2>/dev/null && break
            fusermount -u "$dir" 2>/dev/null && break
            sleep 0.5
        done
        mountpoint -q "$dir" && umount -l "$dir"
    fi
    if [ -f "$img.loop" ]; then
        losetup -d "$(cat "$img.loop")" 2>/dev/null
        rm -f "$img.loop"
    fi
    rm -f "$img"
    rmdir "$dir" 2>/dev/null
    return 0
}

unmount_all_dests() {
    local d
    for d in "${_mounted_dests[@]}"; do unmount_dest "$d"; done
    _mounted_dests=()
}
