// The stations' icons and the maker's logo, built into the programs.
#include "StationImages.h"

// Resources compiled into a static library are dropped by the linker unless
// something names their initialiser. (Outside any namespace, as the macro
// declares the initialiser where it stands.)
static void InitResources() {
    static const bool loaded = [] {
        Q_INIT_RESOURCE(StationImages);
        return true;
    }();
    (void)loaded;
}

QIcon StationIcon(const QString& programBase) {
    InitResources();
    if (programBase != QLatin1String("TESSORAH") && programBase != QLatin1String("TESSORAR"))
        return {};
    return QIcon(QStringLiteral(":/tessora/%1.png").arg(programBase));
}

QPixmap HalvornLogo(int height) {
    InitResources();
    const QPixmap logo(QStringLiteral(":/tessora/halvorn-logo.png"));
    return logo.isNull() ? logo : logo.scaledToHeight(height, Qt::SmoothTransformation);
}
