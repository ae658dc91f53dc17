// The record-window frame every register window descends from.
//
// The frame owns the toolbar, the data window dw_1 with the one record
// being added or modified, navigation along the host's list of the
// community's records, and saving. A register adds behaviour by overriding
// the virtual events below. An override that extends the frame calls the
// frame's version first (w_modify::ue_loadphoto()); one that replaces it
// (cb_save_clicked) calls the frame's Save, w_modify::cb_save_clicked(),
// last and only when its own checks passed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/control.h"
#include "foundation/data_window.h"
#include "foundation/dw_object.h"
#include "foundation/session.h"

namespace officerecords {

inline constexpr const char* k_mode_add = "添加";
inline constexpr const char* k_mode_modify = "修改";
// The background of a field a check refused, until the clerk changes it
// (pale red, written red + 256 * green + 65536 * blue).
inline constexpr long k_refused_background = 255 + 205 * 256 + 210 * 65536;

class w_modify : public dw_events {
public:
    w_modify(session& s, std::string name, const dw_object& form);
    ~w_modify() override;
    w_modify(const w_modify&) = delete;
    w_modify& operator=(const w_modify&) = delete;

    const std::string& name() const { return name_; }
    session& sess() { return session_; }
    // While a save holds the write lock, message boxes wait until it is
    // let go: the lock is never held while a clerk reads a message.
    host_services& host() { return watch_ ? *watch_ : inner_host(); }
    transaction& sqlca() { return session_.sqlca; }
    transaction& photosqlca() { return session_.photosqlca; }
    date today() const { return session_.clock.today(); }

    // The host opens the window: the edit mode goes into is_stringparm,
    // then open, ue_postopen and ue_loadphoto are raised in that order.
    // Without a current community there is no owner for a record: the
    // window says so and asks the host to close it.
    void open_with(std::string mode);
    // The column that holds the record number: orderno, or orgno.
    const std::string& key_column() const { return key_column_; }
    // A table whose rows carry this register's record numbers in a column
    // of theirs and may outlive the record (an activity's photos).
    struct numbered_along {
        std::string_view table;
        std::string_view column;
    };
    // A new record's number passes every number those rows hold, so that
    // what a deleted record left is never taken for a new record's.
    virtual std::vector<numbered_along> numbers_also_in() const { return {}; }
    // The column a new record takes from where the host adds it (the body
    // an organisation member joins); empty for records owned by the
    // community alone.
    virtual std::string_view owner_column() const { return {}; }
    // What the owner is, for the message when a new record has none.
    virtual std::string_view owner_caption() const { return {}; }
    // The register whose records own new records here; a host lets the
    // clerk choose one of them, whose owner_column() item is the owner.
    virtual std::string_view owner_window() const { return {}; }
    // That register's table, where an owner is a record of the current
    // community with the owner_column() item.
    virtual std::string_view owner_table() const { return {}; }
    // What became of an owner the host gave: taken; refused, because it is
    // no record of the current community (the window said so and asked
    // the host to close it); or not taken, as there is no new record or no
    // owner column, or the column cannot hold it.
    enum class owner_outcome { taken, refused, not_taken };
    // The host gives the new record in dw_1 its owner; like the community,
    // that is not an edit of the clerk's. The owner must be one of the
    // current community's: another community's member or body owns
    // nothing here.
    [[nodiscard]] owner_outcome set_owner(const value& owner);
    // After the host gave a new record its owner: a window shows what it
    // joins in about the owner (the member's name, the body's term).
    virtual void owner_set() {}
    // Sets an item of a new row that the row owns from the start (its
    // community, its owner and what it shows of them): the row stays
    // unmodified by it.
    void set_owned_item(long row, std::string_view column, const value& v);
    // The window holds changes that are not saved: dw_1's, or what a
    // window keeps outside it (the album's photo).
    virtual bool has_unsaved_changes() const;
    // The last save's connection broke while the server had its commit, and
    // whether it was written is not known yet: Save finds out first, and
    // writes nothing while it cannot.
    bool save_in_doubt() const { return in_doubt_.has_value(); }
    // Where the record stands in the list as the clerk sees it: its
    // position (0 for a new record or one the list does not show) and the
    // number of records shown.
    long list_position() const;
    long list_count() const;
    // Offers to save unsaved changes before the record is left; false
    // when the user chose to stay.
    bool leave_record();
    // The clerk chose to leave without saving: a window drops what it keeps
    // outside dw_1, whose changes the next record replaces.
    virtual void drop_unsaved_changes() {}

    // The clerk leaves the field being edited: what was typed is entered
    // (accepttext, which raises itemchanged). False when the column refused
    // it; the clerk then stays in the field.
    bool leave_field();
    // The clerk moves into column `col` of the current row; the field left
    // is entered first. False when that was refused.
    bool enter_column(int col);
    // The clerk types into one of the window's edit controls (sle_…). Text
    // that is not valid UTF-8 or holds control characters is refused with
    // a message and the control keeps its text.
    bool enter_text(control& c, std::string text);

    // Controls in the frame's order, then the window's own.
    const std::vector<control*>& controls() const { return controls_; }
    control* find_control(std::string_view name);

    // Applies property assignments to dw_1 (data_window::modify). A
    // failure is a fault of the window's own code: it is kept, for the
    // tests that open every window to find, and never dropped.
    void set_properties(std::string_view assignments);
    const std::vector<std::string>& property_errors() const { return property_errors_; }

    // An import writes every row of a file in one transaction of its own:
    // while this is on, Save writes into that open write and leaves the
    // commit (or the rollback) to it.
    void save_into_open_write(bool on) { into_open_write_ = on; }
    // Whether the last Save failed writing (not refused by a check): in an
    // open write, the whole write is then lost.
    bool last_save_write_failed() const { return write_failed_; }
    // A fresh new record of the current owner, as after reverting a new
    // one: the next row of an import starts from it.
    void begin_new_record();

    // The calendar: set ii_col, then wf_opencalendar(); a date chosen in it
    // is entered into column ii_col as if typed.
    void wf_opencalendar();
    void calendar_chosen(date d);

    // Events. Each extending override calls the frame's version first.
    virtual void open();
    virtual void ue_postopen();
    virtual void ue_loadphoto();
    virtual void ue_setautocolumn(long newrow);
    int itemchanged(long row, const dwo& column, const std::string& data) override;
    void itemfocuschanged(long row, const dwo& column) override;
    void doubleclicked(int x, int y, long row, const dwo& column) override;
    void itemerror(long row, const dwo& column, const std::string& message) override;

    // The clerk presses Save: the window's Save handler runs, and when one
    // of its checks refused the record with a message about a field, the
    // host is told which field (field_refused), to lead the clerk there.
    void save_pressed();

    virtual void cb_first_clicked();
    virtual void cb_prior_clicked();
    virtual void cb_next_clicked();
    virtual void cb_last_clicked();
    virtual void cb_save_clicked();  // the frame's Save: checks, write, commit
    virtual void cb_tempsave_clicked();
    virtual void cb_roll_clicked();
    virtual void cb_exit_clicked();
    virtual void cb_help_clicked();

    virtual int wf_dw_verify() { return 0; }
    virtual int wf_age_check() { return 0; }
    virtual int wf_checkdate() { return 0; }
    // 0 lets the window close; 1 keeps it open.
    virtual int wf_closequery() { return 0; }

    std::string is_stringparm;
    int ii_col = 0;

    control mc_1;
    control cb_help;
    control cb_last;
    control cb_next;
    control cb_prior;
    control cb_first;
    control cb_exit;
    control cb_save;
    control cb_roll;
    data_window dw_1;
    control cb_tempsave;

protected:
    // Adds a control of the window's own after the frame's.
    void add_control(control& c);

private:
    // The host's list when it lists this window's register; nullptr otherwise.
    uo_tabpg_datawindow* own_list() const;
    uo_tabpg_datawindow* list_to_move_along();
    bool save(bool checks);
    // A save whose commit is in doubt: the transaction's number for it and
    // the rows as it wrote them, to be taken as saved once it is known that
    // they were.
    struct pending_save {
        std::uint64_t number = 0;
        bool checked = true;
        std::vector<long> numbered;
        std::vector<std::vector<value>> written;
    };
    enum class doubt_step { go_on, done, blocked };
    // Asks what became of the save in doubt and acts on it: go_on when Save
    // is to write (it was not written, or the clerk changed more since),
    // done when there is nothing more to write, blocked while unknown.
    doubt_step settle_doubt();
    std::vector<std::vector<value>> row_values() const;
    // The rows become what the save in doubt wrote, as after a save that
    // committed; what the clerk changed since stays an edit.
    void take_saved_state(const pending_save& p);
    // Whether `owner` is a record of community `commno` in owner_table();
    // nullopt when that cannot be read (the transaction has the text).
    std::optional<bool> owner_in_community(const value& commno, const value& owner);
    void move_to(long list_row);
    void load_record(long list_row);
    void new_record();
    void refresh_list_row(bool inserted);
    void on_control_changed(control& c);

    session& session_;
    host_services& inner_host() { return held_ ? *held_ : session_.host; }
    friend class save_watch;

    // The host that holds back message boxes during a locked save.
    host_services* held_ = nullptr;
    // The host that notes what a pressed Save said, while it runs.
    host_services* watch_ = nullptr;
    std::string name_;
    std::string key_column_;
    std::vector<control*> controls_;
    // The owner the host gave new records here; a fresh new record after
    // a revert belongs to it too.
    value owner_;
    std::optional<pending_save> in_doubt_;
    std::vector<std::string> property_errors_;
    bool into_open_write_ = false;
    bool write_failed_ = false;
};

}  // namespace officerecords
