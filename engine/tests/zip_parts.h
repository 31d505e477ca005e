#pragma once
// The parts of a DOCX package by name, read back with the zip library, for
// the tests of everything that writes one.

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <zip.h>

namespace brevix::package {

inline QMap<QString, QByteArray> Parts(const QByteArray& bytes)
{
    QMap<QString, QByteArray> parts;
    zip_error_t error;
    zip_source_t* src = zip_source_buffer_create(bytes.constData(), static_cast<zip_uint64_t>(bytes.size()), 0, &error);
    zip_t* za = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!za) {
        zip_source_free(src);
        return parts;
    }
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(zip_get_num_entries(za, 0)); ++i) {
        zip_stat_t st;
        zip_stat_index(za, i, 0, &st);
        QByteArray data(static_cast<qsizetype>(st.size), Qt::Uninitialized);
        zip_file_t* f = zip_fopen_index(za, i, 0);
        zip_fread(f, data.data(), st.size);
        zip_fclose(f);
        parts.insert(QString::fromUtf8(st.name), data);
    }
    zip_close(za);
    return parts;
}

inline QMap<QString, QByteArray> Parts(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? Parts(file.readAll()) : QMap<QString, QByteArray>();
}

} // namespace brevix::package
