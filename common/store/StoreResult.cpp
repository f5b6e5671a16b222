// SPDX-License-Identifier: GPL-3.0-or-later
// What a station's store has to tell the operator, and the save that gives one.
#include "StoreResult.h"

#include "modHvnFileOperation.h"
#include "modHvnRegistry.h"

StoreResult SaveStationFile(const QString& path, const QStringList& lines, const QString& advice) {
    if (WriteTextLines(path, lines))
        return {};
    return StoreResult::Failed(Tr(QStringLiteral("The file \"%1\" could not be saved.\r\n"),
                                  QStringLiteral("ファイル「%1」を保存できませんでした。\r\n"))
                                   .arg(path) +
                               advice);
}
