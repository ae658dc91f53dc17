#include "app/screenshot.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPrintPreviewDialog>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <functional>

#include "app/help_dialog.h"
#include "app/history_dialog.h"
#include "app/import_dialog.h"
#include "app/list_output.h"
#include "app/main_window.h"
#include "app/person_dialog.h"
#include "app/print_document.h"
#include "app/qt_host.h"
#include "app/record_dialog.h"
#include "app/register_tab.h"
#include "app/statistics_window.h"
#include "foundation/register_page.h"
#include "storage/file_access.h"

namespace officerecords::app {

namespace {

int fail(const QString& why) {
    std::fprintf(stderr, "error: %s\n", qPrintable(why));
    return 1;
}

// Laid out and painted as on a screen before it is grabbed.
void settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// Published as every file the program writes: whole, or not at all.
int publish_bytes(const QByteArray& bytes, const QString& file) {
    auto staged = staged_file::create(file.toStdString());
    status st = staged ? staged->append(std::string_view(bytes.constData(), bytes.size()))
                       : status::error(staged.message());
    if (st) st = staged->publish(true);
    return st ? 0 : fail(QString::fromStdString(st.message()));
}

int publish(const QPixmap& picture, const QString& file) {
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG"))
        return fail("cannot draw " + file);
    return publish_bytes(png, file);
}

int save(QWidget& w, const QString& file) {
    settle();
    return publish(w.grab(), file);
}

// Offscreen windows have no frame: where the title is part of what the
// picture shows (a message's title, the record a history is of), a plain
// title bar is drawn above the window.
QPixmap with_title(const QPixmap& window, const QString& title) {
    const QFontMetrics metrics(QApplication::font());
    const int bar = metrics.height() + 12;
    const QSizeF size = window.deviceIndependentSize();
    const qreal ratio = window.devicePixelRatio();
    // A line of one pixel frames the bar and the window.
    QPixmap framed((QSizeF(size.width() + 2, size.height() + bar + 2) * ratio).toSize());
    framed.setDevicePixelRatio(ratio);
    framed.fill(QColor(112, 112, 112));
    QPainter p(&framed);
    const QRectF bar_rect(1, 1, size.width(), bar);
    p.fillRect(bar_rect, QColor(222, 226, 232));
    p.setPen(QColor(32, 32, 32));
    p.setFont(QApplication::font());
    p.drawText(bar_rect.adjusted(8, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter,
               metrics.elidedText(title, Qt::ElideRight, static_cast<int>(bar_rect.width()) - 16));
    p.drawPixmap(QPointF(1, bar + 1), window);
    return framed;
}

// The modal dialog of type D that a press or a typed text opens over the
// window `over`, found once it runs its own event loop; `run` is called
// there, once. The watch ends with its scope, so that it never acts on a
// later window.
template <class D>
class modal_watch {
public:
    modal_watch(const QWidget& over, std::function<void(D&)> run) : run_(std::move(run)) {
        QObject::connect(&timer_, &QTimer::timeout, [this, &over] {
            auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
            // The window pressed on may itself be modal (the album).
            if (!d || d == &over || !d->isVisible()) return;
            timer_.stop();
            ran_ = true;
            run_(*d);
        });
        timer_.start(0);
    }
    bool ran() const { return ran_; }

private:
    QTimer timer_;
    std::function<void(D&)> run_;
    bool ran_ = false;
};

// The steps of a record window's screenshot and what ends them.
class record_shot {
public:
    record_shot(qt_host& host, const command_line& c) : host_(host), c_(c) {}

    // Does the steps from `from` on the record window `dialog`, then
    // pictures it (or what the last step opened); 0, or 1 after saying why.
    int run(record_dialog& dialog, std::size_t from) {
        for (std::size_t i = from; i < c_.steps.size(); ++i) {
            const screenshot_step& step = c_.steps[i];
            const bool last = i + 1 == c_.steps.size();
            int rc = -1;
            if (step.what == screenshot_step::kind::type) {
                rc = type(dialog, step, last && !c_.history);
            } else {
                control* pressed = dialog.window().find_control(step.name.toStdString());
                if (!pressed || pressed->kind() != control_kind::button)
                    return fail("no button " + step.name);
                if (!pressed->enabled() || !pressed->visible())
                    return fail(step.name + " cannot be pressed");
                rc = last && c_.show_message ? press_showing_message(dialog, *pressed, step.name)
                                             : press(dialog, *pressed, i);
                // The help window is not modal: it is open beside the record window.
                if (rc < 0 && last && !c_.history)
                    if (auto* help = dialog.findChild<help_dialog*>(); help && help->isVisible())
                        return save(*help, c_.screenshot);
            }
            if (rc >= 0) return rc;
        }
        return c_.history ? history(dialog) : save(dialog, c_.screenshot);
    }

private:
    // A window the press opens runs modally: the steps after the press
    // are done and pictured from inside its own event loop, and it is
    // closed there. -1 when the press opened none.
    int press(record_dialog& dialog, control& c, std::size_t at) {
        int rc = -1;
        modal_watch<record_dialog> opened(dialog, [&](record_dialog& window) {
            rc = run(window, at + 1);
            window.press(window.window().cb_exit);
            if (!window.close_requested()) window.done(QDialog::Rejected);
        });
        dialog.press(c);
        return opened.ran() ? rc : -1;
    }

    // The message box or question the press brings up is shown for real
    // and answered as Esc answers it (确定, 否 or 取消), which never goes
    // on with what was asked. A window leads the clerk to a refused field
    // only once its message is closed, so the window is pictured after
    // the answer, with the message drawn over it where it stood.
    int press_showing_message(record_dialog& dialog, control& c, const QString& name) {
        QPixmap message;
        bool other_window = false;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!d || d == &dialog || !d->isVisible()) return;
            answer.stop();  // the settling below runs the event loop again
            if (auto* box = qobject_cast<QMessageBox*>(d)) {
                if (message.isNull()) {
                    settle();
                    message = with_title(box->grab(), box->windowTitle());
                }
                if (QAbstractButton* esc = box->escapeButton())
                    esc->click();
                else
                    box->reject();
            } else {
                // A file dialog or another record window is no message:
                // it is closed unused, and nothing is pictured.
                other_window = true;
                d->done(QDialog::Rejected);
            }
            answer.start(0);
        });
        answer.start(0);
        // The clerk works in the window: it has the keyboard before the
        // message and, as a desktop gives it back, after it.
        dialog.activateWindow();
        settle();
        host_.set_unattended(false);
        dialog.press(c);
        host_.set_unattended(true);
        answer.stop();
        if (other_window) return fail("pressing " + name + " opened a window, not a message");
        if (message.isNull()) return fail("pressing " + name + " showed no message");
        dialog.activateWindow();
        settle();
        QPixmap picture = dialog.grab();
        QPainter p(&picture);
        const QSizeF room = picture.deviceIndependentSize();
        const QSizeF box = message.deviceIndependentSize();
        p.drawPixmap(QPointF((room.width() - box.width()) / 2, (room.height() - box.height()) / 2),
                     message);
        p.end();
        return publish(picture, c_.screenshot);
    }

    // Enters the text into the column and leaves the field, as the clerk
    // does, or types it into the window's edit control of that name. A
    // selection window the text opens is pictured and left with nothing
    // picked when `picture`, else its first person is picked. -1 when
    // nothing was pictured.
    int type(record_dialog& dialog, const screenshot_step& step, bool picture) {
        w_modify& w = dialog.window();
        const std::string name = step.name.toStdString();
        const int col = w.dw_1.has_object() ? w.dw_1.column_number(name) : 0;
        if (col == 0) {
            control* edit = w.find_control(name);
            if (!edit || edit->kind() != control_kind::edit || !edit->enabled() || !edit->visible())
                return fail("cannot enter " + step.name);
            if (!w.enter_text(*edit, step.text.toStdString()))
                return fail("cannot type into " + step.name);
            dialog.refresh();
            return -1;
        }
        if (!w.dw_1.can_enter(col) || !w.enter_column(col))
            return fail("cannot enter " + step.name);
        int rc = -1;
        modal_watch<person_dialog> selection(dialog, [&](person_dialog& chosen) {
            if (!picture) {
                chosen.pick_row(0);
                if (chosen.isVisible()) chosen.pick_nobody();
                return;
            }
            rc = save(chosen, c_.screenshot);
            chosen.pick_nobody();
        });
        w.dw_1.settext(step.text.toStdString());
        (void)w.leave_field();
        dialog.refresh();
        return rc;
    }

    // The history window as the record window's 修改记录 opens it.
    int history(record_dialog& dialog) {
        QToolButton* button = dialog.history_button();
        if (!button || !button->isEnabled()) return fail("the record shown has no history to show");
        button->click();
        auto* shown = dialog.findChild<history_dialog*>();
        if (!shown || !shown->isVisible()) return fail("the history window did not open");
        settle();
        const int rc = publish(with_title(shown->grab(), shown->windowTitle()), c_.screenshot);
        shown->close();
        return rc;
    }

    qt_host& host_;
    const command_line& c_;
};

}  // namespace

int screenshot_main_frame(qt_host& host, const QString& community, const command_line& c) {
    main_window frame(host, community);
    frame.show();
    if (window_catalog().empty()) return fail("no register in the catalogue");
    const window_entry* entry = &window_catalog().front();
    if (!c.list_window.isEmpty()) entry = find_window_entry(c.list_window.toStdString());
    if (!entry || !entry->list) return fail("no register window " + c.list_window);
    register_tab* tab = frame.open_register(*entry);
    if (!tab) return fail("the register could not be listed");
    if (c.filter) {
        if (!tab->date_from()) return fail("the register's list shows no date");
        tab->date_from()->setText(c.filter_from);
        tab->date_to()->setText(c.filter_to);
        tab->apply_narrowing();
        tab->finish_narrowing();
    }
    if (!c.print_preview) return save(frame, c.screenshot);
    std::unique_ptr<QPrintPreviewDialog> preview =
        make_preview(frame.output().list_document(*tab), &frame);
    preview->show();
    return save(*preview, c.screenshot);
}

int screenshot_record(qt_host& host, const command_line& c) {
    const window_entry* entry = find_window_entry(c.open_window.toStdString());
    if (!entry || !entry->list) return fail("no register window " + c.open_window);
    uo_tabpg_datawindow page;
    if (status st = list_register(page, std::string(entry->window), entry->list(), host.sess());
        !st)
        return fail("cannot list " + c.open_window + ": " + QString::fromStdString(st.message()));
    if (!c.open_key.isEmpty()) {
        auto wanted = decimal::parse(c.open_key.toStdString());
        long r = wanted ? find_listed(page, value(*wanted)) : 0;
        if (r == 0) return fail("no record " + c.open_key + " in " + c.open_window);
        page.dw_1.setrow(r);
    }
    host.sess().guo_tabpg_now = &page;
    auto dialog = host.open_record(*entry, c.open_mode.toStdString(), nullptr);
    dialog->show();
    const int rc = record_shot(host, c).run(*dialog, 0);
    dialog.reset();
    host.sess().guo_tabpg_now = nullptr;
    return rc;
}

int screenshot_import(qt_host& host, const QString& window, const QString& sheet_file, const QString& file) {
    const window_entry* entry = find_window_entry(window.toStdString());
    if (!entry || !entry->form || !entry->list) return fail("no register window " + window);
    import_dialog dialog(host, *entry, nullptr);
    dialog.show();
    if (!dialog.choose_file(sheet_file)) return fail("cannot check " + sheet_file + ": " + dialog.summary());
    return save(dialog, file);
}

int screenshot_statistics(qt_host& host, const command_line& c) {
    const std::optional<stats_view> view = stats_view_named(c.statistics_view.toStdString());
    if (!view) return fail("no statistics view " + c.statistics_view);
    const date today = host.today();
    statistics_window window(host, QDate(today.year(), today.month(), today.day()));
    window.choose_period(period_kind::year, c.statistics_year);
    window.show_view(*view);
    if (status st = window.refresh(); !st) return fail(QString::fromStdString(st.message()));
    if (c.screenshot.endsWith(".pdf", Qt::CaseInsensitive)) {
        const QByteArray pdf = window.report_pdf();
        return pdf.isEmpty() ? fail("cannot print " + c.screenshot) : publish_bytes(pdf, c.screenshot);
    }
    window.resize(1280, 860);
    window.show();
    return save(window, c.screenshot);
}

}  // namespace officerecords::app
