// The photo album of one community activity: its photos one at a time with
// their notes, to browse, add from a picture file, replace, annotate, save
// and delete. The activity is the current row of the host's list
// (guo_tabpg_now); everything is read and written through the photo store
// on photosqlca, which the album alone commits and rolls back.
//
// The album takes the frame's toolbar only: its open, ue_loadphoto,
// navigation and Save replace the frame's, and dw_1 holds nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "activities/photo_store.h"
#include "foundation/w_modify.h"

namespace officerecords {

class w_m_og_commactivityrecord_pic : public w_modify {
public:
    explicit w_m_og_commactivityrecord_pic(session& s);

    void open() override;
    void ue_loadphoto() override;
    void cb_first_clicked() override;
    void cb_prior_clicked() override;
    void cb_next_clicked() override;
    void cb_last_clicked() override;
    void cb_save_clicked() override;
    void cb_roll_clicked() override;
    void cb_new_clicked();
    void cb_alter_clicked();
    void cb_del_clicked();

    void wf_getdata() { ue_loadphoto(); }
    void wf_scroll();
    // Asks whether to save a chosen picture; 1 = stay, 0 = go on.
    int wf_closequery() override;

    std::int64_t il_orderno = 0;
    std::vector<std::int64_t> il_photo;  // positions from 1; slot 0 unused
    long il_photono = 0;
    bool ib_notsaved = false;
    // The note as stored for the photo shown (empty for a new photo): a
    // different text in sle_note is an edit not yet saved.
    std::string is_loadednote;
    std::string is_picfile;
    std::string is_filename;

    control st_2;
    control st_subject;
    control gb_1;
    control p_1;
    control st_1;
    control st_photono;
    control st_5;
    control st_total;
    control st_4;
    control sle_note;
    control cb_new;
    control cb_alter;
    control cb_del;

    // A new photo, a replaced picture or an edited note not yet saved: the
    // album leaves it only after the frame's question (leave_record).
    bool has_unsaved_changes() const override;
    void drop_unsaved_changes() override;

private:
    long total() const;
    std::int64_t number_at(long position) const;
    void show_position();
    // The file dialog; false when cancelled (both names are then empty).
    bool choose_file();
    bool reserved_name() const;
    // A failure of the save: rolled back, said, and stopped.
    void save_failed(const char* title, const std::string& text, icon kind);
    // What a save stores: a new photo or not, at which position, which number.
    struct pending_save {
        bool adding;
        long position;
        std::int64_t number;
    };
    // The album takes the saved photo's place and says so.
    void saved(const pending_save& done);
    // The album goes on from the deleted photo and says so.
    void deleted();
    // A save or deletion whose commit was lost with the connection.
    struct doubt {
        std::uint64_t number;
        pending_save save;
        bool deleting;
    };
    void in_doubt(const pending_save& done, bool deleting);
    // Finds out what became of a save or deletion in doubt and acts on it:
    // true when the clerk's Save or Delete may go on.
    bool settle_doubt();

    photo_store store_;
    // What the server has not told yet.
    std::optional<doubt> in_doubt_;
};

}  // namespace officerecords
