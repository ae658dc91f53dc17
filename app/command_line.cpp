#include "app/command_line.h"

namespace officerecords::app {

std::optional<command_line> parse_command_line(const QStringList& args, QString& why) {
    command_line c;
    auto value_of = [&](int& i, QString& into) {
        if (i + 1 >= args.size()) {
            why = args[i] + " needs a value";
            return false;
        }
        into = args[++i];
        return true;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--db") {
            if (!value_of(i, c.db)) return std::nullopt;
        } else if (a == "--demo") {
            c.demo = true;
        } else if (a == "--community") {
            if (!value_of(i, c.community)) return std::nullopt;
        } else if (a == "--screenshot") {
            if (!value_of(i, c.screenshot)) return std::nullopt;
        } else if (a == "--open") {
            if (!value_of(i, c.open_window) || !value_of(i, c.open_mode)) {
                why = "--open needs WINDOW and MODE";
                return std::nullopt;
            }
            if (i + 1 < args.size() && !args[i + 1].startsWith("--")) c.open_key = args[++i];
        } else if (a == "--type") {
            screenshot_step t{screenshot_step::kind::type, {}, {}};
            if (!value_of(i, t.name) || !value_of(i, t.text)) {
                why = "--type needs NAME and TEXT";
                return std::nullopt;
            }
            c.steps.push_back(std::move(t));
        } else if (a == "--filter") {
            if (!value_of(i, c.filter_from) || !value_of(i, c.filter_to)) {
                why = "--filter needs FROM and TO";
                return std::nullopt;
            }
            c.filter = true;
        } else if (a == "--import") {
            if (!value_of(i, c.import_window) || !value_of(i, c.import_file)) {
                why = "--import needs WINDOW and SHEETFILE";
                return std::nullopt;
            }
        } else if (a == "--statistics") {
            QString year;
            if (!value_of(i, c.statistics_view) || !value_of(i, year)) {
                why = "--statistics needs VIEW and YEAR";
                return std::nullopt;
            }
            bool number = false;
            c.statistics_year = year.toInt(&number);
            if (!number || c.statistics_year < 1949 || c.statistics_year > 9999) {
                why = "--statistics needs a year from 1949 to 9999, not " + year;
                return std::nullopt;
            }
        } else if (a == "--list") {
            if (!value_of(i, c.list_window)) return std::nullopt;
        } else if (a == "--print-preview") {
            c.print_preview = true;
        } else if (a == "--press") {
            screenshot_step p{screenshot_step::kind::press, {}, {}};
            if (!value_of(i, p.name)) return std::nullopt;
            c.steps.push_back(std::move(p));
        } else if (a == "--show-message") {
            c.show_message = true;
        } else if (a == "--history") {
            c.history = true;
        } else if (a == "--quit-after-first-paint") {
            c.quit_after_first_paint = true;
        } else if (a == "--help" || a == "-h") {
            c.help = true;
        } else if (a == "--version") {
            c.version = true;
        } else if (a == "--modules") {
            c.modules = true;
        } else {
            why = "unknown argument " + a;
            return std::nullopt;
        }
    }
    if (c.demo && !c.db.isEmpty()) {
        why = "--demo and --db name two databases";
        return std::nullopt;
    }
    if (!c.open_window.isEmpty() && c.screenshot.isEmpty()) {
        why = "--open is only used with --screenshot";
        return std::nullopt;
    }
    if (!c.steps.empty() && c.open_window.isEmpty()) {
        why = "--type and --press are only used with --open";
        return std::nullopt;
    }
    if ((c.show_message || c.history) && c.open_window.isEmpty()) {
        why = "--show-message and --history are only used with --open";
        return std::nullopt;
    }
    if (c.show_message && c.history) {
        why = "--show-message and --history are not used together";
        return std::nullopt;
    }
    if (c.show_message &&
        (c.steps.empty() || c.steps.back().what != screenshot_step::kind::press)) {
        why = "--show-message needs a --press as the last step";
        return std::nullopt;
    }
    if ((c.filter || c.print_preview || !c.list_window.isEmpty()) &&
        (c.screenshot.isEmpty() || !c.open_window.isEmpty() || !c.import_window.isEmpty())) {
        why =
            "--list, --filter and --print-preview are only used with --screenshot, "
            "without --open and --import";
        return std::nullopt;
    }
    if (!c.import_window.isEmpty() &&
        (c.screenshot.isEmpty() || !c.open_window.isEmpty() || c.filter || c.print_preview)) {
        why = "--import is only used with --screenshot, without --open, --filter and --print-preview";
        return std::nullopt;
    }
    if (!c.statistics_view.isEmpty() &&
        (c.screenshot.isEmpty() || !c.open_window.isEmpty() || !c.import_window.isEmpty() ||
         !c.list_window.isEmpty() || c.filter || c.print_preview)) {
        why = "--statistics is only used with --screenshot, without --open, --import, --list, "
              "--filter and --print-preview";
        return std::nullopt;
    }
    if (c.quit_after_first_paint && !c.screenshot.isEmpty()) {
        why = "--quit-after-first-paint is not used with --screenshot";
        return std::nullopt;
    }
    return c;
}

QString usage_text() {
    return "usage: officerecords [--db FILE | --demo] [--community COMMNO] "
           "[--quit-after-first-paint]\n"
           "                     [--screenshot FILE.png [--list WINDOW] [--filter FROM TO] "
           "[--print-preview]\n"
           "                                          | [--open WINDOW MODE [KEY]\n"
           "                                             [--type NAME TEXT | --press CONTROL]...\n"
           "                                             [--show-message | --history]]\n"
           "                                          | [--import WINDOW SHEETFILE]\n"
           "                                          | [--statistics VIEW YEAR]]\n"
           "       officerecords --modules   (loads every module and says where each is)\n"
           "       officerecords --version | --help\n";
}

}  // namespace officerecords::app
