#pragma once
// TLoteCopias: a group commit of the copies that DuplicaFichero makes on this thread while
// the object lives. Each copy's data is complete when DuplicaFichero returns true, but its
// name appears only at the next commit, which brings all pending copies to disk at once;
// a crash before the commit leaves none of their names. The owner commits when Lleno says
// so, at a point where it can report a copy that could not be named.
#include "text/dstring.h"

class TLoteCopias {
  public:
    TLoteCopias();
    // Commits whatever is still pending; a failure there goes unreported.
    ~TLoteCopias();
    TLoteCopias(const TLoteCopias&) = delete;
    TLoteCopias& operator=(const TLoteCopias&) = delete;

    // Enough is pending that a commit is due.
    bool Lleno() const;
    // Names every pending copy. False when one could not be named: origen and destino then
    // hold the paths of the first such copy, as they were passed to DuplicaFichero.
    bool Confirma(DString& origen, DString& destino);
};
