#pragma once
// TIteradorFitx: walks the entries that match one search pattern (a folder followed by
// "\*.*" in this program), one entry per Siguiente. It does not descend into folders.
#include <cstdint>

#include <memory>

#include "fs/path.h"
#include "platform/fs.h"
#include "text/temps.h"

class DescriptorHolder;
class LinkRule;

class TIteradorFitx {
  public:
    explicit TIteradorFitx(const DString& pattern);
    virtual ~TIteradorFitx();
    TIteradorFitx(const TIteradorFitx&) = delete;
    TIteradorFitx& operator=(const TIteradorFitx&) = delete;

    // Advances to the next entry to be shown; false when none is left or the folder could
    // not be read (see ended). After false the next call lists the folder again from its
    // first entry.
    bool Siguiente();

    // Reads the last-write time of a file, in UTC with whole seconds. A folder, or a file
    // that another process holds open for writing, gives false and t is left unchanged.
    static bool LeeHora(const DString& path, TTemps& t);

    TStringNomFitx ruta; // full path of the current entry
    TTemps hora;         // filled only with leer_hora
    bool es_carpeta = false;
    uint32_t tamano = 0; // low 32 bits of the size; 0 for a folder
    bool leer_hora = false;
    bool incluir_ocultos = false;
    TStringNomFitx patron;
    // The folder a walk began at. Links are followed only to targets on the drive that
    // holds it (inside it when that drive is the system's root folder; fs/link_rule.h);
    // empty: the folder of the pattern. Set before the first step.
    TStringNomFitx walk_top;
    // Asked to give back descriptors when the folder cannot be opened for want of them,
    // before it is tried once more; may be null. Set before the first step.
    DescriptorHolder* descriptors = nullptr;

    // The current entry as the listing holds it, for questions about it that go through the
    // listing rather than the path again (TamanoFichero, the copy's open). Valid until the
    // next step; null when there is none or the system offers nothing of the kind.
    const platform::ListedEntry* Listed() const;
    // Why the last Siguiente answered false: the end of the folder, a folder that does not
    // exist, or one that could not be read (the folder itself, or an entry's attributes for
    // any reason but the entry's absence).
    platform::ListingEnd ended = platform::ListingEnd::complete;

  protected:
    // One raw step of the system's listing; false at its end, which closes the search.
    virtual bool Paso();
    // Fills the public fields from datos.
    virtual void LeeEntrada();
    // Closes the search, if one is open.
    void CloseSearch();

    platform::FindRecord datos{};
    platform::FindHandle busqueda = nullptr;
    TStringNomFitx base;

  private:
    std::unique_ptr<LinkRule> links_;
};
