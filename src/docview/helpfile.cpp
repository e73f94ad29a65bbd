#include "docview/helpfile.h"

#include <QDir>
#include <QFileInfo>

#ifndef QZ_HELP_RELDIR
#define QZ_HELP_RELDIR "../../share/zentabula"
#endif
#ifndef QZ_HELP_DATADIR
#define QZ_HELP_DATADIR "/usr/local/share/zentabula"
#endif

QStringList HelpSearchDirs(const QString& currentDir, const QString& programDir) {
    QStringList dirs;
    auto add = [&dirs](const QString& dir) {
        if (dir.isEmpty()) return;
        const QString clean = QDir::cleanPath(dir);
        if (!dirs.contains(clean)) dirs.append(clean);
    };
    add(currentDir);
    add(programDir);
    if (!programDir.isEmpty()) add(QDir(programDir).filePath(QStringLiteral(QZ_HELP_RELDIR)));
    add(QStringLiteral(QZ_HELP_DATADIR));
    return dirs;
}

HelpLookup FindHelpFile(const QString& name, const QStringList& dirs) {
    HelpLookup result;
    if (name.isEmpty()) return result;

    QStringList candidates;
    // "qz.inf" is looked up; "./qz.inf", "docs/qz.inf" or "/x/qz.inf" were
    // meant as paths by whoever typed them.
    if (name.contains(QLatin1Char('/')))
        candidates.append(name);
    else
        for (const QString& dir : dirs) candidates.append(QDir(dir).filePath(name));

    for (const QString& candidate : candidates) {
        result.tried.append(candidate);
        const QFileInfo info(candidate);
        if (info.isFile() && info.isReadable()) {
            result.path = info.absoluteFilePath();
            break;
        }
    }
    return result;
}

QString NotFoundText(const QString& name, const QStringList& tried) {
    QString text = QStringLiteral("Help file %1 was not found.").arg(name);
    if (!tried.isEmpty()) {
        text += QStringLiteral("\n\nLooked for:\n");
        for (const QString& path : tried)
            text += QStringLiteral("    %1\n").arg(QDir::toNativeSeparators(path));
    }
    return text;
}
