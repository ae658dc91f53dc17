// Printed pages read back by poppler's pdftotext and pdfinfo, programs
// independent of the writer: a page's text as a reader finds it, with or
// without the page's layout, its words where they stand, and the number
// of pages.
#pragma once

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "program_output.h"

namespace officerecords::app::testing {

// The text of a page (of every page for 0), without white space: the
// reader puts spaces between glyphs where it guesses them, not where the
// writer wrote them.
inline QString pdf_text(const QString& file, int page = 0) {
    QStringList args{"-enc", "UTF-8"};
    if (page > 0) args << "-f" << QString::number(page) << "-l" << QString::number(page);
    static const QRegularExpression space(R"(\s+)");
    return output_of(OFFICERECORDS_PDFTOTEXT, args << file << "-").remove(space);
}

// Every page's text as the page lays it out: a table's row on one line,
// a cell's second line on the next.
inline std::vector<QString> pdf_layout_pages(const QString& file) {
    const QString all = output_of(OFFICERECORDS_PDFTOTEXT, {"-layout", "-enc", "UTF-8", file, "-"});
    QStringList pages = all.split('\f');
    // The reader ends the last page with a form feed too.
    if (!pages.isEmpty() && pages.back().trimmed().isEmpty()) pages.removeLast();
    return {pages.begin(), pages.end()};
}

// A word as the reader places it on its page, in points from the top left.
struct pdf_word {
    QString text;
    double left, top, right, bottom;
};

struct pdf_page {
    std::vector<pdf_word> words;

    // The page's lines, top to bottom: the words that stand on one
    // baseline, left to right, a space between.
    QStringList lines() const {
        QStringList out;
        for (const auto& line : by_line()) {
            QStringList texts;
            for (const pdf_word* w : line) texts << w->text;
            out << texts.join(' ');
        }
        return out;
    }
    // Two words of a line that overlap, "A | B": a text running out of its
    // cell into the next; empty when none do.
    QString overlapping() const {
        for (const auto& line : by_line())
            for (std::size_t i = 1; i < line.size(); ++i)
                if (line[i - 1]->right > line[i]->left + 0.05)
                    return line[i - 1]->text + " | " + line[i]->text;
        return {};
    }
    // The words of each line, left to right.
    std::vector<std::vector<const pdf_word*>> by_line() const {
        std::map<long, std::vector<const pdf_word*>> by_top;
        for (const pdf_word& w : words) by_top[std::lround(w.top * 2)].push_back(&w);
        std::vector<std::vector<const pdf_word*>> lines;
        for (auto& [top, line] : by_top) {
            std::sort(line.begin(), line.end(),
                      [](const pdf_word* a, const pdf_word* b) { return a->left < b->left; });
            lines.push_back(std::move(line));
        }
        return lines;
    }
};

// Every page's words with their boxes (pdftotext -bbox).
inline std::vector<pdf_page> pdf_words(const QString& file) {
    const QString html = output_of(OFFICERECORDS_PDFTOTEXT, {"-bbox", "-enc", "UTF-8", file, "-"});
    static const QRegularExpression tag(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    std::vector<pdf_page> pages;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(0) == "<page ") {
            pages.emplace_back();
            continue;
        }
        if (pages.empty()) continue;
        QString text = m.captured(5);
        text.replace("&lt;", "<")
            .replace("&gt;", ">")
            .replace("&quot;", "\"")
            .replace("&apos;", "'");
        text.replace("&amp;", "&");
        pages.back().words.push_back({text, m.captured(1).toDouble(), m.captured(2).toDouble(),
                                      m.captured(3).toDouble(), m.captured(4).toDouble()});
    }
    return pages;
}

inline int pdf_pages(const QString& file) {
    const QString info = output_of(OFFICERECORDS_PDFINFO, {file});
    static const QRegularExpression pages(R"(Pages:\s+(\d+))");
    const auto m = pages.match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Writes the bytes to the file; false when they could not be written.
inline bool write_file(const QString& file, const QByteArray& bytes) {
    QFile out(file);
    return !bytes.isEmpty() && out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

}  // namespace officerecords::app::testing
