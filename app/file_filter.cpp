#include "app/file_filter.h"

#include <QRegularExpression>
#include <QStringList>

namespace officerecords::app {

namespace {

// The picture files the photo store reads, in the order they are offered.
const QStringList& picture_patterns() {
    static const QStringList patterns{"*.BMP", "*.GIF", "*.JPG", "*.JPEG", "*.PNG"};
    return patterns;
}

// An entry listing several picture formats and nothing else stands for
// every picture: the store also reads JPEGs named *.jpeg, and PNGs.
void offer_every_picture(QStringList& given) {
    QStringList kinds;
    for (const QString& p : given) {
        if (!picture_patterns().contains(p, Qt::CaseInsensitive)) return;
        if (!kinds.contains(p, Qt::CaseInsensitive)) kinds << p;
    }
    if (kinds.size() < 2) return;
    for (const QString& p : picture_patterns())
        if (!given.contains(p, Qt::CaseInsensitive)) given << p;
}

}  // namespace

QString qt_file_filter(std::string_view filter) {
    QStringList parts =
        QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size())).split(',');
    if (parts.size() == 1 && parts[0].trimmed().isEmpty()) return {};
    static const QRegularExpression trailing_patterns(R"(\s*\([^()]*\)\s*$)");
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        description.remove(trailing_patterns);
        QStringList given = (i + 1 < parts.size() ? parts[i + 1] : QStringLiteral("*"))
                                .split(QRegularExpression("[;\\s]+"), Qt::SkipEmptyParts);
        offer_every_picture(given);
        QStringList patterns;
        for (const QString& raw : given) {
            if (!patterns.contains(raw)) patterns << raw;
            QString folded = raw.toLower();
            if (!patterns.contains(folded)) patterns << folded;
        }
        if (patterns.isEmpty()) patterns << "*";
        if (description.isEmpty()) description = patterns.join(' ');
        entries << description + " (" + patterns.join(' ') + ")";
    }
    return entries.join(";;");
}

}  // namespace officerecords::app
