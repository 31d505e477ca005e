#include "filename.h"

#include <QFile>
#include <QStringList>

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

namespace brevix {

namespace {

constexpr char16_t KeptByteBase = 0xDC00;

bool IsKeptByte(char16_t unit) { return unit >= KeptByteBase + 0x80 && unit <= KeptByteBase + 0xFF; }

// Length of the well-formed UTF-8 sequence at bytes[i], or 0 when there is none.
qsizetype SequenceLength(const QByteArray& bytes, qsizetype i)
{
    auto at = [&](qsizetype k) { return k < bytes.size() ? static_cast<unsigned char>(bytes[k]) : 0u; };
    auto trail = [&](qsizetype k) { return (at(k) & 0xC0) == 0x80; };
    const unsigned lead = at(i);
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return trail(i + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned second = at(i + 1);
        const bool ok = lead == 0xE0 ? (second >= 0xA0 && second <= 0xBF)
                        : lead == 0xED ? (second >= 0x80 && second <= 0x9F) // no surrogates
                                       : trail(i + 1);
        return ok && trail(i + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned second = at(i + 1);
        const bool ok = lead == 0xF0 ? (second >= 0x90 && second <= 0xBF)
                        : lead == 0xF4 ? (second >= 0x80 && second <= 0x8F)
                                       : trail(i + 1);
        return ok && trail(i + 2) && trail(i + 3) ? 4 : 0;
    }
    return 0;
}

bool Exists(const QString& path)
{
    struct stat st {};
    return ::lstat(FileNameToBytes(path).constData(), &st) == 0;
}

// The one entry of folder whose name Qt would show as `shown`, or an empty string.
QString FindLostEntry(const QString& folder, const QString& shown)
{
    const QByteArray where = FileNameToBytes(folder.isEmpty() ? QStringLiteral(".") : folder);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(where.constData()), ::closedir);
    if (!dir)
        return {};
    QString found;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray name(entry->d_name);
        if (QFile::decodeName(name) != shown)
            continue;
        if (!found.isEmpty())
            return {}; // two names look alike: none can be chosen
        found = FileNameFromBytes(name);
    }
    return found;
}

} // namespace

QString FileNameFromBytes(const QByteArray& bytes)
{
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype n = SequenceLength(bytes, i);
        if (n == 0) {
            name.append(QChar(char16_t(KeptByteBase + static_cast<unsigned char>(bytes[i]))));
            ++i;
        } else {
            name.append(QString::fromUtf8(bytes.constData() + i, n));
            i += n;
        }
    }
    return name;
}

QByteArray FileNameToBytes(const QString& name)
{
    QByteArray bytes;
    bytes.reserve(name.size() * 3);
    qsizetype runStart = 0;
    auto flushRun = [&](qsizetype end) { bytes.append(QStringView(name).mid(runStart, end - runStart).toUtf8()); };
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        if (!IsKeptByte(unit) || (i > 0 && name[i - 1].isHighSurrogate()))
            continue;
        flushRun(i);
        bytes.append(static_cast<char>(unit - KeptByteBase));
        runStart = i + 1;
    }
    flushRun(name.size());
    return bytes;
}

QString DisplayFileName(const QString& name)
{
    QString shown = name;
    for (qsizetype i = 0; i < shown.size(); ++i)
        if (IsKeptByte(shown[i].unicode()) && !(i > 0 && shown[i - 1].isHighSurrogate()))
            shown[i] = QChar::ReplacementCharacter;
    return shown;
}

QString ResolveLostFileName(const QString& path)
{
    if (!path.contains(QChar::ReplacementCharacter) || Exists(path))
        return path;
    const QStringList parts = path.split(u'/');
    QString resolved;
    for (qsizetype k = 0; k < parts.size(); ++k) {
        const QString& part = parts[k];
        const QString folder = resolved;
        if (k > 0)
            resolved += u'/';
        if (part.contains(QChar::ReplacementCharacter) && !Exists(resolved + part)) {
            const QString entry = FindLostEntry(folder.isEmpty() && k > 0 ? QStringLiteral("/") : folder, part);
            if (entry.isEmpty())
                return path;
            resolved += entry;
        } else {
            resolved += part;
        }
    }
    return resolved;
}

} // namespace brevix
