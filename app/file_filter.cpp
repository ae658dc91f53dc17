#include "app/file_filter.h"

#include <QRegularExpression>
#include <QStringList>

namespace officerecords::app {

QString qt_file_filter(std::string_view filter) {
    QStringList parts =
        QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size())).split(',');
    if (parts.size() == 1 && parts[0].trimmed().isEmpty()) return {};
    static const QRegularExpression trailing_patterns(R"(\s*\([^()]*\)\s*$)");
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        description.remove(trailing_patterns);
        QString given = i + 1 < parts.size() ? parts[i + 1] : QStringLiteral("*");
        QStringList patterns;
        for (const QString& raw : given.split(QRegularExpression("[;\\s]+"), Qt::SkipEmptyParts)) {
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
