#pragma once
// The review of a junk-record search: the user moves the records to keep from
// the junk folder into the keep folder. Changes nothing but TEMP_DSS, between 14
// and 23; the caller deletes what is still marked once the dialog has closed.
#include <functional>
#include <memory>

#include "ui/Rastermodell.h"

class frmMüllBearbeiten : public Nachbearbeitungsfenster {
public:
    explicit frmMüllBearbeiten(QWidget* eltern = nullptr);
    ~frmMüllBearbeiten() override;

    // Opens both folders of the work table gZieltabelle. False when the error box
    // of the load was answered "Abbrechen": gFehlerAbbruch is set, the dialog closed.
    bool Form_Load();

    // What "Hilfe" shows (the main window gives it the help window).
    std::function<void()> Hilfe;

    // ---- the handlers, as the controls call them ----
    void dgdMüll_Maustaste(int knopf, int umschalt, int x, int y);
    void dgdÜbernehmen_Maustaste(int knopf, int umschalt, int x, int y);
    void btnMüll_Click();
    void btnÜbernehmen_Click();
    void btnFertig_Click();
    void btnAbbrechen_Click() override;
    void btnHilfe_Click();

    // ---- controls ----
    forms::Beschriftung *Label2 = nullptr, *Label3 = nullptr;
    Datenraster *dgdMüll = nullptr, *dgdÜbernehmen = nullptr;
    Rastermodell *adoMüll = nullptr, *adoÜbernehmen = nullptr;
    forms::Schaltfläche *btnMüll = nullptr, *btnÜbernehmen = nullptr;
    forms::Schaltfläche *btnHilfe = nullptr, *btnFertig = nullptr, *btnAbbrechen = nullptr;

    // The editing recordsets, open from the load until the dialog closes.
    std::shared_ptr<dao::Recordset> rsMüll, rsÜbernehmen;

private:
    void MüllAktualisieren();
    void ÜbernehmenAktualisieren();
    void Formatieren(Datenraster& raster);
    void Verschieben(Datenraster& raster, const std::shared_ptr<dao::Recordset>& rs, int (*neu)(int));
    void AlleVerschieben(const std::shared_ptr<dao::Recordset>& rs, int (*neu)(int));
};
