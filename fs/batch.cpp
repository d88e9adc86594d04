#include "fs/batch.h"

#include "platform/fs.h"

TLoteCopias::TLoteCopias() {
    platform::fs_ops().batch_begin();
}

TLoteCopias::~TLoteCopias() {
    platform::fs_ops().batch_end(nullptr);
}

bool TLoteCopias::Lleno() const {
    return platform::fs_ops().batch_full();
}

bool TLoteCopias::Confirma(DString& origen, DString& destino) {
    platform::BatchFailure failed;
    if (platform::fs_ops().batch_commit(&failed)) return true;
    origen = failed.src.c_str();
    destino = failed.dst.c_str();
    return false;
}
