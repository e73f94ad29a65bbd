// Finding the help file the viewer was asked to show. A bare name is looked
// for in a fixed list of folders so that the same viewer works from a build
// folder, from an installed tree that was moved elsewhere, and from the
// installed system folders.
#pragma once

#include <QString>
#include <QStringList>

struct HelpLookup {
    QString path;       // the file found, or empty
    QStringList tried;  // every path that was looked at, in order
};

// The folders a bare help-file name is looked for in, in order, without
// duplicates: the current folder, the viewer's own folder, the data folder
// relative to the viewer's folder
// (libexec/zentabula/../../share/zentabula), and the data folder of
// the installation.
QStringList HelpSearchDirs(const QString& currentDir, const QString& programDir);

// A name with a folder part (absolute or relative) is taken as it is; a bare
// name is looked for in each of dirs in turn. Only regular, readable files
// count.
HelpLookup FindHelpFile(const QString& name, const QStringList& dirs);

// The text the viewer shows when the file is missing: which file, and where
// it was looked for.
QString NotFoundText(const QString& name, const QStringList& tried);
