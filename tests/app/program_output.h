// What another program printed, for the tests that read their files back
// through programs independent of the writer (openpyxl, pdftotext).
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace officerecords::app::testing {

// What the program printed on its standard output; empty, with a warning,
// when it could not be run or ended with an error.
inline QString output_of(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace officerecords::app::testing
