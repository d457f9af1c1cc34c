#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// File names as the system spells them. A name here is bytes, not text: it may
// hold bytes that are no UTF-8 at all (a name from an old Latin-1 disk,
// "lat\xe9.png"). Qt turns such bytes into U+FFFD, so two names become one and
// neither can be opened again; here each such byte is carried in the QString as
// the lone surrogate U+DC80 + (byte - 0x80) instead (valid UTF-8 never decodes to
// one), which gives every name back byte for byte. Every call that hands a name
// to the system takes its bytes from SystemFileName, never from QFile or
// QFileInfo, which would spell it their own way.
//
// Limitations: names are taken as UTF-8 whatever the locale (as Qt 6 takes them);
// a QString with a lone surrogate outside U+DC80..U+DCFF, which no system name
// gives, is spelt "?", as Qt spells it.

// The name that the system's bytes spell, each byte that is not part of UTF-8
// carried as its surrogate.
QString FileNameFromSystem(QByteArrayView bytes);

// The system's bytes for the name: the inverse of FileNameFromSystem.
QByteArray SystemFileName(const QString& name);

// The byte that name[i] stands for where it is such a surrogate (one that is not
// the second half of a pair), or -1.
int EscapedByteAt(const QString& name, qsizetype i);

// Asked of the system, by the name's own bytes, following symbolic links:
// whether something has the name, and whether it is a folder.
bool FileExists(const QString& name);
bool IsFolder(const QString& name);

// The name made absolute (from the working folder) and clean (no ".", "..",
// doubled or trailing "/"), without asking whether it exists.
QString AbsoluteFileName(const QString& name);

// The name with every symbolic link resolved, or an empty string where it does
// not lead to something.
QString CanonicalFileName(const QString& name);

// Makes the folder and those above it where they are missing; false, with errno
// set, where one cannot be made.
bool MakeFolders(const QString& name);
