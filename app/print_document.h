// What the desktop program prints: a register's list, or one record of a
// form, as pages for a printer, the print preview or a PDF file.
//
// A list is printed landscape: the register's caption and the community's
// name as its title, the row counter "序号" and the columns the list shows,
// left to right, the header row again at the top of every page, every
// value its display text (codes by their names). A record is printed
// portrait: the same title, then each visible column's caption and value,
// in the order the form reads, grouped by the form's group boxes. Every
// page ends with "第 N 页 共 M 页".
#pragma once

#include <QByteArray>
#include <QPageLayout>
#include <QString>
#include <vector>

#include "foundation/data_window.h"

class QPagedPaintDevice;
class QTextDocument;

namespace officerecords::app {

class form_view;

class print_document {
public:
    // The rows of `list` in the order given (the view's, narrowed and sorted).
    static print_document of_list(const data_window& list, const std::vector<long>& rows,
                                  const QString& caption, const QString& community);
    // The current record of the form's data window as the form shows it.
    static print_document of_record(const form_view& form, const data_window& dw,
                                    const QString& caption, const QString& community);

    QPageLayout::Orientation orientation() const { return orientation_; }
    // "固定资产登记 — 水果湖社区".
    QString title() const;

    // Lays the document out for the device (A4 in the document's
    // orientation) and paints every page on it. Returns the number of
    // pages painted, 0 when the device could not be painted on.
    int paint(QPagedPaintDevice& device) const;
    // The pages as a PDF file's bytes; empty when they could not be made.
    QByteArray pdf() const;

private:
    struct cell {
        QString text;
        int span = 1;
        bool caption = false;  // a header or a caption: bold on grey
        bool right = false;    // numbers line up on the right
    };
    // A table, under its heading when it has one (a group box's caption).
    struct table {
        QString heading;
        std::vector<double> widths;  // per column, relative
        int header_rows = 0;         // repeated at the top of each page
        std::vector<std::vector<cell>> rows;
    };

    void build(QTextDocument& doc) const;

    QString caption_;
    QString community_;
    QPageLayout::Orientation orientation_ = QPageLayout::Portrait;
    double font_points_ = 10;
    std::vector<table> tables_;
};

}  // namespace officerecords::app
