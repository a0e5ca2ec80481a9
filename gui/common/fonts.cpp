#include "common/fonts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QStandardPaths>

namespace lithora::gui {

namespace {
constexpr const char* kFontFile = "ARIALG.TTF";
}

QString userFontDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/fonts");
}

FontInstall installFont(const QString& programDir, const QString& userFontDir) {
    FontInstall result;
    const QString source = QDir(programDir).filePath(QString::fromLatin1(kFontFile));
    if (QFileInfo(source).size() <= 0) return result;
    const QString target = QDir(userFontDir).filePath(QString::fromLatin1(kFontFile));
    if (QFileInfo(target).size() <= 0) {
        QFile::remove(target); // an empty leftover
        if (QDir().mkpath(userFontDir) && QFile::copy(source, target)) {
            result.copied = true;
        } else {
            result.problem = QStringLiteral("cannot copy %1 into %2").arg(source, userFontDir);
        }
    }
    result.registered = QFontDatabase::addApplicationFont(source) >= 0;
    if (!result.registered && result.problem.isEmpty())
        result.problem = QStringLiteral("%1 is no usable font").arg(source);
    return result;
}

} // namespace lithora::gui
