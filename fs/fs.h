#pragma once
// The file-system functions: existence and attribute tests, delete, copy and move.
// Every failure is a plain false; none of them throws or records an error.
#include "text/dstring.h"

namespace platform {
struct CopyProgress;
}

bool ExisteFichero(const DString& path);
bool ExisteCarpeta(const DString& path, bool carpeta_de);
bool EsSoloLectura(const DString& path);
bool EsOculto(const DString& path);
bool BorraFichero(const DString& path);
// Copies content, last-write time and permissions. The destination name appears only when
// the whole copy is on disk; with fail_if_exists an existing file is never replaced.
// progress, when given, hears of each piece written and may stop the copy between two
// pieces (platform/fs.h).
bool DuplicaFichero(const DString& src, const DString& dst, bool fail_if_exists,
                    const platform::CopyProgress* progress = nullptr);
// Never replaces an existing file. To another volume the file is copied first, then removed.
bool MueveFichero(const DString& src, const DString& dst);
// Removes from folder the hidden temporary files of copies that this host's processes left
// when they died (fs/temp_names.h); those of other hosts and of running processes stay.
void RemoveStaleTemporaries(const DString& folder);
// Creates the last component of path only (its parent must exist).
bool CreaCarpeta(const DString& path);
// The system's error code of the last failed call on this thread.
unsigned long LastSystemError();
