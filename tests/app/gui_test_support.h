// Shared pieces of the Qt tests: a scratch demo office with a connected
// host, a record window opened in a real dialog, the answering of modal
// message boxes, file dialogs, nested record windows and selection
// windows as a clerk would answer them, and the clerk's typing and
// choosing in a form.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_setup.h"
#include "app/column_editor.h"
#include "app/form_view.h"
#include "app/picture_label.h"
#include "app/qt_host.h"
#include "app/record_dialog.h"
#include "foundation/register_page.h"
#include "storage/database.h"
#include "demo/demo_data.h"
#include "catalog/window_catalog.h"

namespace officerecords::app::testing {

// A fresh demo database in a folder of its own, opened by a host whose
// community is the demo's first.
struct scratch_office {
    QTemporaryDir dir;
    qt_host host;
    std::string path;

    scratch_office() : path(dir.filePath("office.db").toStdString()) {
        status made = create_demo_database(path, host);
        if (!made) qFatal("create_database: %s", made.message().c_str());
        status opened = host.connect(path);
        if (!opened) qFatal("connect: %s", opened.message().c_str());
        host.set_community(std::string(k_demo_commno_1));
    }
    session& sess() { return host.sess(); }
};

// A register listed on a page and one of its records opened in a shown,
// active dialog: what a clerk sees after 添加 or 修改 on the list.
struct open_register_record {
    uo_tabpg_datawindow page;
    std::unique_ptr<record_dialog> dialog;

    // `window` replaces the register's own window object when given.
    open_register_record(scratch_office& office, std::string_view window_name, const char* mode,
                         long list_row = 1, std::unique_ptr<w_modify> window = nullptr) {
        const window_entry* entry = find_window_entry(window_name);
        if (!entry) qFatal("no window %.*s", int(window_name.size()), window_name.data());
        status listed =
            list_register(page, std::string(entry->window), entry->list(), office.sess());
        if (!listed) qFatal("list_register: %s", listed.message().c_str());
        page.dw_1.setrow(list_row);
        office.sess().guo_tabpg_now = &page;
        if (!window) window = entry->make(office.sess());
        dialog = office.host.open_record(
            std::move(window),
            QString::fromUtf8(entry->caption.data(), qsizetype(entry->caption.size())), mode,
            nullptr);
        dialog->show();
        dialog->activateWindow();
        if (!QTest::qWaitForWindowActive(dialog.get()))
            qWarning("the dialog did not become active");
    }
    ~open_register_record() { dialog.reset(); }
    w_modify& window() { return dialog->window(); }
};

// The asset register's record, the register the generic dialog tests use.
struct open_asset_record : open_register_record {
    open_asset_record(scratch_office& office, const char* mode, long list_row = 1,
                      std::unique_ptr<w_modify> window = nullptr)
        : open_register_record(office, "w_m_og_assetregister", mode, list_row, std::move(window)) {}
};

// Answers every message box that opens while it lives, as the clerk would:
// each is recorded as "TITLE | TEXT" and closed with the given button (the
// box's default button when none is given).
class box_answerer {
public:
    explicit box_answerer(QMessageBox::StandardButton answer = QMessageBox::NoButton)
        : answer_(answer) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer_open_box(); });
        timer_.start();
    }
    std::vector<QString> seen;
    void set_answer(QMessageBox::StandardButton answer) { answer_ = answer; }

private:
    void answer_open_box() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box->property("answered").toBool()) return;
        box->setProperty("answered", true);
        seen.push_back(box->windowTitle() + " | " + box->text());
        QAbstractButton* b = box->defaultButton();
        if (answer_ != QMessageBox::NoButton) b = box->button(answer_);
        if (!b) b = box->buttons().value(0);
        b->click();
    }

    QTimer timer_;
    QMessageBox::StandardButton answer_;
};

// Answers every file-open dialog that opens while it lives with the next
// queued file, or cancels it when none is queued. Each is recorded as
// "TITLE | FILTERS". Qt's own dialog is needed (a platform's native one is
// no widget): the test sets Qt::AA_DontUseNativeDialogs.
class file_answerer {
public:
    file_answerer() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer_open_dialog(); });
        timer_.start();
    }
    std::vector<QString> seen;
    void queue(const QString& path) { files_.push_back(path); }

private:
    void answer_open_dialog() {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!d || d->property("answered").toBool()) return;
        d->setProperty("answered", true);
        seen.push_back(d->windowTitle() + " | " + d->nameFilters().join(";;"));
        if (files_.empty()) {
            d->reject();
            return;
        }
        // The file's name in the name field, then the dialog's Open button.
        d->selectFile(files_.front());
        files_.pop_front();
        auto* buttons = d->findChild<QDialogButtonBox*>();
        QAbstractButton* open = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
        if (open)
            open->click();
        else
            static_cast<QDialog*>(d)->accept();
    }

    QTimer timer_;
    std::deque<QString> files_;
};

// Whether a driven dialog is still open once its driver is done: a record
// window closes only when its window asked for it.
inline bool left_open(record_dialog& d) { return !d.close_requested(); }
inline bool left_open(QDialog& d) { return d.isVisible(); }

// Drives the next dialog of type `Dialog` that opens modally while it
// lives (a record window another opens, as cb_photo opens the album; a
// selection window): `drive` runs once inside the dialog's own event loop,
// and the dialog is closed after it if `drive` left it open (a failed
// check), so that the test goes on.
template <class Dialog>
class modal_driver {
public:
    explicit modal_driver(std::function<void(Dialog&)> drive) : drive_(std::move(drive)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { drive_open_dialog(); });
        timer_.start();
    }
    bool ran() const { return ran_; }

private:
    void drive_open_dialog() {
        auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!d || ran_) return;
        ran_ = true;
        timer_.stop();
        drive_(*d);
        // QDialog::done is public; a subclass may hide it (QFileDialog).
        if (left_open(*d)) static_cast<QDialog*>(d)->done(QDialog::Rejected);
    }

    QTimer timer_;
    std::function<void(Dialog&)> drive_;
    bool ran_ = false;
};

using modal_record_driver = modal_driver<record_dialog>;

// Runs `clerk` on the record window once it is open and modal.
inline void when_record_window_opens(std::function<void(record_dialog&)> clerk) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clerk] {
        auto* d = qobject_cast<record_dialog*>(QApplication::activeModalWidget());
        if (!d || !d->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        clerk(*d);
    });
    timer->start();
}

inline QString qs(const std::string& s) { return QString::fromStdString(s); }

// The number a counting query returns; -1 when it fails.
inline long count_of(transaction& t, const std::string& sql) {
    auto n = t.select_value(sql);
    return n ? static_cast<long>(n->as_double().value_or(-1)) : -1;
}

// Types text into the focused editor as a clerk's keyboard delivers it:
// Latin letters and digits as key presses, Chinese through an input
// method, which first composes (pinyin shown in the field, not yet its
// text) and then commits the characters.
inline void type_text(QWidget* w, const QString& text) {
    QString latin;
    auto flush = [&] {
        if (!latin.isEmpty()) QTest::keyClicks(w, latin);
        latin.clear();
    };
    for (QChar ch : text) {
        if (ch.unicode() < 0x80) {
            latin += ch;
            continue;
        }
        flush();
        QInputMethodEvent composing("pin", {});
        QApplication::sendEvent(w, &composing);
        QInputMethodEvent commit;
        commit.setCommitString(QString(ch));
        QApplication::sendEvent(w, &commit);
    }
    flush();
}

// The drop-down of a column of the record window's form.
inline QComboBox* drop_down(record_dialog& d, const char* column) {
    column_editor* e = d.form().editor(column);
    auto* combo = e ? qobject_cast<QComboBox*>(e->widget()) : nullptr;
    if (!combo) qFatal("no drop-down for %s", column);
    return combo;
}

// Chooses the code as the clerk does: a click opens the list, the arrow
// keys walk to the item, Enter takes it. False when it is not offered.
inline bool choose(QComboBox* combo, const QString& code) {
    int target = combo->findData(code);
    if (target < 0) return false;
    QTest::mouseClick(combo, Qt::LeftButton);
    QAbstractItemView* list = combo->view();
    if (!QTest::qWaitFor([list] { return list->isVisible(); })) return false;
    for (int guard = 0; list->currentIndex().row() != target && guard < combo->count() * 2; ++guard)
        QTest::keyClick(list, list->currentIndex().row() < target ? Qt::Key_Down : Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
    return QTest::qWaitFor([list] { return !list->isVisible(); }) &&
           combo->currentIndex() == target;
}

// The picture fills the room on one side and keeps the photo's proportions.
inline bool fitted(const picture_label& label) {
    QSize room = label.contentsRect().size();
    QSize drawn = label.pixmap().size();
    QSize photo = label.picture().size();
    if (drawn.isEmpty() || drawn.width() > room.width() || drawn.height() > room.height())
        return false;
    bool fills = drawn.width() >= room.width() - 1 || drawn.height() >= room.height() - 1;
    double expected = double(photo.width()) / photo.height();
    return fills && std::abs(double(drawn.width()) / drawn.height() - expected) < 0.05;
}

// Puts the focus into a column's field as a click does and types the text
// over what it holds.
inline void type_into(record_dialog& d, const char* column, const QString& text) {
    QWidget* w = d.form().editor(column)->focus_widget();
    w->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    type_text(w, text);
}

}  // namespace officerecords::app::testing
