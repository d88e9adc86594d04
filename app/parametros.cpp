#include "app/parametros.h"

#include "platform/args.h"
#include "platform/drive.h"

namespace {

bool starts_with_slash(const char* arg) {
    return arg && arg[0] == '/';
}

// Starts a group with argument i and joins every following word that does not begin with '/',
// one blank between words. Returns the index after the group.
int read_group(int i, int argc, DString& group) {
    group.assign(platform::arg_at(i));
    for (++i; i < argc && !starts_with_slash(platform::arg_at(i)); ++i) {
        group.append(" ");
        group.append(platform::arg_at(i));
    }
    return i;
}

} // namespace

bool ReadCommandLine(CommandLine& line, DString& error) {
    const int argc = platform::arg_count();
    if (argc < 3) {
        error.assign("_argc<3");
        return false;
    }

    DString src, dst, drm;
    int i = read_group(1, argc, src);
    if (i >= argc) {
        DString msg("i>_argc, src2 = ");
        msg.append(src);
        for (int j = 0; j < argc; ++j) {
            msg.append("\r\n argv");
            msg.append_int(j);
            msg.append("-");
            msg.append(platform::arg_at(j));
        }
        error.assign(msg);
        return false;
    }
    i = read_group(i, argc, dst);
    if (i >= argc) {
        error.assign((DString("i>_argc, dst2 = ") + dst).c_str());
        return false;
    }
    read_group(i, argc, drm); // anything after this group is ignored

    if (src.compare_n("/src=", 5) != 0) {
        error.assign("falta /src");
        return false;
    }
    if (dst.compare_n("/dst=", 5) != 0) {
        error.assign("falta /dst");
        return false;
    }
    if (drm.compare_n("/drm=", 5) != 0) {
        error.assign("falta /drm");
        return false;
    }

    src.drop_first(5);
    dst.drop_first(5);
    drm.drop_first(5);
    src.strip_quotes();
    dst.strip_quotes();
    drm.strip_quotes();

    line = {src, dst, drm};
    return true;
}

// Only the drive root of the source path counts; the data folder is relative to it.
DString SourceRoot(const CommandLine& line) {
    return DString(platform::drive_root(line.src.c_str()).c_str());
}

DString SourceFolder(const CommandLine& line) {
    return SourceRoot(line) + line.drm;
}

bool LeeParametros(DString& source, DString& destination, DString& error) {
    CommandLine line;
    if (!ReadCommandLine(line, error)) return false;
    source = SourceFolder(line);
    destination = line.dst;
    return true;
}
