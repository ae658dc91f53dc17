// A view of the office's statistics as the report handed to the street
// office: its title, the communities and the period at the top, then each
// table (figures on the right, the total row bold, the header again at
// the top of a page it runs on to) followed by its chart, and at the foot
// of every page "制表人：…", "制表时间：2026-12-10 14:05" and
// "第 N 页 共 M 页". A4 portrait, in the printed lists' type.
#pragma once

#include <QByteArray>
#include <QString>

#include "statistics/statistics.h"

class QPagedPaintDevice;

namespace officerecords::app {

struct stats_report {
    const stats_result& result;
    QString made_by;  // the account, or the workstation's user
    QString made_at;  // "2026-12-10 14:05"

    // "社区统计报表：收支".
    QString title() const;
    // Paints every page on the device; the number of pages, 0 when it
    // could not be painted on.
    int paint(QPagedPaintDevice& device) const;
    // The pages as a PDF file's bytes (QPrinter's PDF output); empty when
    // they could not be made.
    QByteArray pdf() const;
};

}  // namespace officerecords::app
