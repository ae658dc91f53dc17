// What the desktop program prints: a register's list, or one record of a
// form, as pages for a printer, the print preview or a PDF file.
//
// A list: the register's caption and the community's name as its title,
// the row counter "序号" and the columns the list shows, left to right,
// every value its display text (codes by their names), the header row
// again at the top of every page. A record: the same title, then each
// visible column's caption and value, in the order the form reads,
// grouped by the form's group boxes. The page and the type are chosen so
// that the columns fit (app/print_fit.h): no date, number or caption is
// ever broken over two lines. Every page ends with "第 N 页 共 M 页" and
// the time the document was made, "制表时间：2026-12-10 14:05".
#pragma once

#include <QByteArray>
#include <QPageLayout>
#include <QString>
#include <QStringList>
#include <vector>

#include "app/print_fit.h"
#include "foundation/clock.h"
#include "foundation/data_window.h"

class QPagedPaintDevice;

namespace officerecords::app {

class form_view;

class print_document {
public:
    // The rows of `list` in the order given (the view's, narrowed and
    // sorted), made at the clock's time.
    static print_document of_list(const data_window& list, const std::vector<long>& rows,
                                  const QString& caption, const QString& community,
                                  const clock_source& clock);
    // The current record of the form's data window as the form shows it.
    static print_document of_record(const form_view& form, const data_window& dw,
                                    const QString& caption, const QString& community,
                                    const clock_source& clock);

    QPageLayout::Orientation orientation() const { return fit_.orientation; }
    // The size of the tables' type, in points.
    double points() const { return fit_.points; }
    // "固定资产登记 — 水果湖社区".
    QString title() const;
    // "制表时间：2026-12-10 14:05".
    QString made_text() const { return "制表时间：" + made_; }
    // The header captions of each part of a list printed in parts side by
    // side, left to right; one part when its columns fit one page. The
    // parts of the same rows are printed on pages that follow each other:
    // page 1 the first part of the first rows, page 2 the second part of
    // the same rows, and so on.
    std::vector<QStringList> part_captions() const;

    // Lays the document out for the device (A4 in the document's
    // orientation) and paints every page on it. Returns the number of
    // pages painted, 0 when the device could not be painted on.
    int paint(QPagedPaintDevice& device) const;
    // The pages as a PDF file's bytes; empty when they could not be made.
    QByteArray pdf() const;

private:
    QString caption_;
    QString community_;
    QString made_;  // "2026-12-10 14:05"
    std::vector<print_table> tables_;
    print_fit fit_;
};

}  // namespace officerecords::app
