// The wizard's pages and routes in the real window.
#include "ui/Fenstertest.h"

namespace {

TEST_F(Fenstertest, StartZeigtSeiteNullMitWeiterUndBeenden) {
    EXPECT_EQ(gAktuellerRahmen, 0);
    EXPECT_EQ(SichtbareRahmen(), std::vector<int>{0});
    EXPECT_FALSE(f->btnHilfe->isVisible());
    EXPECT_FALSE(f->btnZurück->isVisible());
    EXPECT_TRUE(f->btnWeiter->isVisible());
    EXPECT_TRUE(f->btnBeenden->isVisible());
    EXPECT_EQ(f->windowTitle(), QStringLiteral(" Purivo"));
    const QRect r0 = f->freRahmen.at(0)->geometry();
    for (const auto& [seite, r] : f->freRahmen) EXPECT_EQ(r->geometry(), r0) << seite;
    // Equal margins left and right; the strip of 600 twips and a bottom margin as wide as the left one.
    const QSize fläche = f->centralWidget()->size();
    EXPECT_EQ(fläche.width(), 2 * r0.x() + r0.width());
    EXPECT_EQ(fläche.height(), r0.y() + r0.height() + forms::Pixel(600) + r0.x());
}

}  // namespace
