#pragma once
// A copy job on a source and a destination folder, and a hook on the first step of a copy.

#include "app/copia.h"
#include "platform/fs.h"
#include "scratch.h"

struct Job : CopyState {
    Job(const sfs::path& src, const std::string& dst) {
        DirOrigen = fstest::lib(src).c_str();
        DirDestino = dst.c_str();
    }
    // The result and the error text, as one line.
    std::string Run() {
        const bool ok = CopiaFicheros(this);
        return (ok ? "ok" : "failed") + std::string(TextoError.is_empty() ? "" : ": ") +
               TextoError.str();
    }
};

// Replaces, for one test, the opening of a copy's source: the first step of every copy.
struct StageHook {
    using Fn = decltype(platform::FsOps::open_source);
    Fn saved = platform::fs_ops().open_source;
    explicit StageHook(Fn f) { platform::fs_ops().open_source = f; }
    ~StageHook() { platform::fs_ops().open_source = saved; }
};
