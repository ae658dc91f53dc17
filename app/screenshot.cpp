#include "app/screenshot.h"

#include <QApplication>
#include <QBuffer>
#include <QLineEdit>
#include <QPixmap>
#include <QPrintPreviewDialog>
#include <QTimer>
#include <cstdio>

#include "app/list_output.h"
#include "app/help_dialog.h"
#include "app/import_dialog.h"
#include "app/main_window.h"
#include "app/person_dialog.h"
#include "app/print_document.h"
#include "app/qt_host.h"
#include "app/record_dialog.h"
#include "app/register_tab.h"
#include "foundation/register_page.h"
#include "storage/file_access.h"

namespace officerecords::app {

namespace {

int fail(const QString& why) {
    std::fprintf(stderr, "error: %s\n", qPrintable(why));
    return 1;
}

int save(QWidget& w, const QString& file) {
    // Laid out and painted as on a screen before it is grabbed.
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !w.grab().save(&buffer, "PNG")) return fail("cannot draw " + file);
    // Published as every file the program writes: whole, or not at all.
    auto staged = staged_file::create(file.toStdString());
    status st = staged ? staged->append(std::string_view(png.constData(), png.size())) : status::error(staged.message());
    if (st) st = staged->publish(true);
    return st ? 0 : fail(QString::fromStdString(st.message()));
}

// A window the press opens runs modally: it is pictured and closed from
// inside its own event loop, once it is the topmost dialog.
int press_and_save(record_dialog& dialog, const QString& press, const QString& file) {
    control* c = dialog.window().find_control(press.toStdString());
    if (!c || c->kind() != control_kind::button) return fail("no button " + press);
    if (!c->enabled() || !c->visible()) return fail(press + " cannot be pressed");
    int rc = -1;
    QTimer::singleShot(0, &dialog, [&] {
        record_dialog* opened = record_dialog::topmost();
        if (opened == &dialog) return;
        rc = save(*opened, file);
        opened->press(opened->window().cb_exit);
        if (!opened->close_requested()) opened->done(QDialog::Rejected);
    });
    dialog.press(*c);
    if (rc >= 0) return rc;
    // The help window is not modal: it is open beside the record window.
    if (auto* help = dialog.findChild<help_dialog*>(); help && help->isVisible())
        return save(*help, file);
    return save(dialog, file);
}

// Enters the text into the column and leaves the field, as the clerk
// does. A selection window the text opens is pictured to `file` and left
// with nothing picked when `picture`, else its first person is picked;
// returns what saving the picture returned, -1 when none was taken.
int type_and_save(record_dialog& dialog, const typed_text& typed, bool picture, const QString& file,
                  QString& why) {
    w_modify& w = dialog.window();
    const int col = w.dw_1.column_number(typed.column.toStdString());
    if (col == 0 || !w.dw_1.can_enter(col) || !w.enter_column(col)) {
        why = "cannot enter " + typed.column;
        return 1;
    }
    int rc = -1;
    QTimer::singleShot(0, &dialog, [&] {
        auto* selection = qobject_cast<person_dialog*>(QApplication::activeModalWidget());
        if (!selection) return;
        if (!picture) {
            selection->pick_row(0);
            if (selection->isVisible()) selection->pick_nobody();
            return;
        }
        rc = save(*selection, file);
        selection->pick_nobody();
    });
    w.dw_1.settext(typed.text.toStdString());
    (void)w.leave_field();
    dialog.refresh();
    return rc;
}

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

int screenshot_record(qt_host& host, const QString& window, const QString& mode, const QString& key,
                      const std::vector<typed_text>& typed, const QString& press,
                      const QString& file) {
    const window_entry* entry = find_window_entry(window.toStdString());
    if (!entry || !entry->list) return fail("no register window " + window);
    uo_tabpg_datawindow page;
    if (status st = list_register(page, std::string(entry->window), entry->list(), host.sess());
        !st)
        return fail("cannot list " + window + ": " + QString::fromStdString(st.message()));
    if (!key.isEmpty()) {
        auto wanted = decimal::parse(key.toStdString());
        long r = wanted ? find_listed(page, value(*wanted)) : 0;
        if (r == 0) return fail("no record " + key + " in " + window);
        page.dw_1.setrow(r);
    }
    host.sess().guo_tabpg_now = &page;
    auto dialog = host.open_record(*entry, mode.toStdString(), nullptr);
    dialog->show();
    int rc = -1;
    for (std::size_t i = 0; i < typed.size() && rc < 0; ++i) {
        const bool last = i + 1 == typed.size() && press.isEmpty();
        QString why;
        rc = type_and_save(*dialog, typed[i], last, file, why);
        if (!why.isEmpty()) rc = fail(why);
    }
    if (rc < 0) rc = press.isEmpty() ? save(*dialog, file) : press_and_save(*dialog, press, file);
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

}  // namespace officerecords::app
