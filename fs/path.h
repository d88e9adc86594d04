#pragma once
// TStringNomFitx: a DString that holds a path. The separator is the backslash; the slash
// counts only in Nombre and AplicaRelativa. Nothing here touches the disk.
#include "text/dstring.h"

class TStringNomFitx : public DString {
  public:
    TStringNomFitx() = default;
    TStringNomFitx(const char* text) : DString(text) {}    // NOLINT: implicit like DString
    TStringNomFitx(const DString& text) : DString(text) {} // NOLINT
    TStringNomFitx& operator=(const DString& text) {
        assign(text);
        return *this;
    }
    TStringNomFitx& operator=(const char* text) {
        assign(text);
        return *this;
    }

    const char* Nombre() const;
    DString Carpeta() const;
    void CambiaExtension(const char* ext);
    void Une(const char* carpeta, const char* nombre);
    bool EsAbsoluta() const;
    void HazAbsoluta(const TStringNomFitx& base);
    void AplicaRelativa(const char* rel);
};
