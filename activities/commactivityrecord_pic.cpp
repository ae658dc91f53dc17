#include "activities/commactivityrecord_pic.h"

#include "foundation/picture_format.h"

namespace officerecords {

namespace {

const dw_object& no_object() {
    static const dw_object none;
    return none;
}

constexpr const char* k_reserved_name = "cap_model.";

std::string file_name_of(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

w_m_og_commactivityrecord_pic::w_m_og_commactivityrecord_pic(session& s)
    : w_modify(s, "w_m_og_commactivityrecord_pic", no_object()),
      st_2("st_2", control_kind::label, {}, {}, "活动标题:"),
      st_subject("st_subject", control_kind::label),
      gb_1("gb_1", control_kind::groupbox, {}, {}, "照片浏览栏"),
      p_1("p_1", control_kind::picture),
      st_1("st_1", control_kind::label, {}, {}, "照片序号:"),
      st_photono("st_photono", control_kind::label),
      st_5("st_5", control_kind::label, {}, {}, "照片总数:"),
      st_total("st_total", control_kind::label),
      st_4("st_4", control_kind::label, {}, {}, "照片说明:"),
      sle_note("sle_note", control_kind::edit),
      cb_new("cb_new", control_kind::button, "bmp\\cb_newphoto.bmp", "添加一张新的照片"),
      cb_alter("cb_alter", control_kind::button, "bmp\\cb_alterphoto.bmp", "更换当前这张照片"),
      cb_del("cb_del", control_kind::button, "bmp\\cb_delphoto.bmp", "删除当前这张照片"),
      store_(s.photosqlca, s.gs_commno, [this] { return sess().change_by(name(), true); }) {
    cb_first.set_tooltip("第一张照片");
    cb_prior.set_tooltip("上一张");
    cb_next.set_tooltip("下一张");
    cb_last.set_tooltip("最后一张照片");
    cb_save.set_tooltip("保存照片");
    cb_exit.set_tooltip("退出图片窗口");
    cb_exit.set_picture("bmp\\cb_close.bmp");
    for (control* c : {&st_2, &st_subject, &gb_1, &p_1, &st_1, &st_photono, &st_5, &st_total, &st_4,
                       &sle_note, &cb_new, &cb_alter, &cb_del})
        add_control(*c);
    p_1.set_visible(false);
    cb_new.clicked = [this] { cb_new_clicked(); };
    cb_alter.clicked = [this] { cb_alter_clicked(); };
    cb_del.clicked = [this] { cb_del_clicked(); };
}

long w_m_og_commactivityrecord_pic::total() const {
    return static_cast<long>(leading_whole(st_total.text()));
}

std::int64_t w_m_og_commactivityrecord_pic::number_at(long position) const {
    if (position < 1 || static_cast<std::size_t>(position) >= il_photo.size()) return 0;
    return il_photo[static_cast<std::size_t>(position)];
}

void w_m_og_commactivityrecord_pic::open() {
    cb_tempsave.set_visible(false);
    if (uo_tabpg_datawindow* list = sess().guo_tabpg_now) {
        const long row = list->dw_1.getrow();
        const std::string subject =
            list->dw_1.describe("Evaluate('LookUpDisplay(activitytopic)'," + std::to_string(row) + ")");
        if (row >= 1) {
            st_subject.set_text(subject);
            il_orderno = static_cast<std::int64_t>(list->dw_1.getitemnumber(row, "orderno").value_or(0));
        }
    }
    const std::optional<long> count = store_.count(il_orderno);
    st_total.set_text(count ? std::to_string(*count) : std::string());
    if (!count || *count < 1) {
        cb_save.uf_setenabled(false);
        cb_del.uf_setenabled(false);
    } else if (!store_.list(il_orderno, il_photo)) {
        host().message_box("警告", "打开照片出错：" + photosqlca().sqlerrtext(), icon::stop);
    }
    il_photono = 1;
    wf_scroll();
    // The photo itself is shown by the ue_loadphoto the host raises right
    // after open (the album's wf_getdata), so it is read once.
}

void w_m_og_commactivityrecord_pic::ue_loadphoto() {
    p_1.set_picture("");
    p_1.set_visible(false);
    is_picfile.clear();
    is_filename.clear();
    busy_pointer busy(host());
    const std::int64_t number = number_at(il_photono);
    const std::optional<long> found = number > 0 ? store_.exists(il_orderno, number) : std::nullopt;
    if (!found || *found < 1) {
        cb_alter.uf_setenabled(false);
        is_loadednote = sle_note.text();
        return;
    }
    const auto stored = store_.read_name_and_note(il_orderno, number);
    sle_note.set_text(stored && !stored->note.is_null() ? stored->note.text() : std::string());
    is_loadednote = sle_note.text();
    if (!stored || stored->file_name.is_null()) {
        host().message_box("警告信息", "没有找到图片资料，可能上次没有保存成功！", icon::exclamation);
        return;
    }
    std::optional<blob> bytes = store_.read_picture(il_orderno, number);
    if (photosqlca().sqlcode() == -1 || !bytes) {
        host().message_box("警告信息", "读取照片不成功！" + photosqlca().sqlerrtext(), icon::stop);
        return;
    }
    // Bytes no picture control can show are said so, and the photo can
    // still be replaced; the album goes on working.
    if (picture_format_of(*bytes) == picture_format::none) {
        cb_alter.uf_setenabled(true);
        host().message_box("警告信息", "读取照片不成功！保存的照片数据不是可以显示的图片。",
                           icon::stop);
        return;
    }
    p_1.set_picture_bytes(std::move(*bytes));
    p_1.set_visible(true);
    cb_alter.uf_setenabled(true);
}

void w_m_og_commactivityrecord_pic::wf_scroll() {
    const long n = total();
    cb_first.uf_setenabled(!(il_photono == 0 || il_photono == 1));
    cb_prior.uf_setenabled(!(il_photono == 0 || il_photono == 1));
    cb_last.uf_setenabled(!(il_photono == n || n == 0));
    cb_next.uf_setenabled(!(il_photono == n || n == 0));
    for (control* c : {&cb_first, &cb_prior, &cb_last, &cb_next}) c->set_visible(true);
    // An empty album has no position to show.
    st_photono.set_text(n < 1 ? std::string() : std::to_string(il_photono));
    const bool none = il_photono < 1 || n < 1 || st_total.text().empty();
    cb_save.uf_setenabled(!none);
    cb_del.uf_setenabled(!none);
}

void w_m_og_commactivityrecord_pic::show_position() {
    wf_scroll();
    wf_getdata();
}

bool w_m_og_commactivityrecord_pic::has_unsaved_changes() const {
    return ib_notsaved || sle_note.text() != is_loadednote;
}

void w_m_og_commactivityrecord_pic::drop_unsaved_changes() {
    // What is left is dropped: the position shows what is stored.
    ib_notsaved = false;
    sle_note.set_text(is_loadednote);
}

void w_m_og_commactivityrecord_pic::cb_first_clicked() {
    if (il_photono <= 1 || !leave_record()) return;
    il_photono = 1;
    show_position();
}

void w_m_og_commactivityrecord_pic::cb_prior_clicked() {
    if (il_photono <= 1 || !leave_record()) return;
    --il_photono;
    show_position();
}

void w_m_og_commactivityrecord_pic::cb_next_clicked() {
    if (total() < il_photono || !leave_record()) return;
    ++il_photono;
    show_position();
}

void w_m_og_commactivityrecord_pic::cb_last_clicked() {
    if (!leave_record()) return;
    il_photono = total();
    show_position();
}

// Reverting shows the stored photo again: a chosen file is dropped.
void w_m_og_commactivityrecord_pic::cb_roll_clicked() {
    if (total() < il_photono) il_photono = total() > 0 ? total() : 1;
    ib_notsaved = false;
    show_position();
}

// Closing the album leaves the photo too: unsaved work is asked about.
int w_m_og_commactivityrecord_pic::wf_closequery() { return leave_record() ? 0 : 1; }

bool w_m_og_commactivityrecord_pic::choose_file() {
    std::optional<std::string> chosen =
        host().file_open("请选择照片文件(尺寸小于1024*768，大小在1兆以内的图片文件)", "所有图片文件",
                         "所有图片文件(*.BMP;*.GIF;*.JPG),*.BMP;*.GIF;*.JPG");
    is_picfile = chosen.value_or("");
    is_filename = file_name_of(is_picfile);
    return chosen.has_value();
}

bool w_m_og_commactivityrecord_pic::reserved_name() const {
    return lower(is_filename).find(k_reserved_name) != std::string::npos;
}

void w_m_og_commactivityrecord_pic::cb_new_clicked() {
    if (!choose_file()) return;
    host().change_directory(sess().gs_apppath);
    cb_save.uf_setenabled(false);
    cb_del.uf_setenabled(false);
    if (!is_filename.empty() && reserved_name()) {
        host().message_box("警告信息", "您不能使用该名称的图片！", icon::stop);
        return;
    }
    p_1.set_picture(is_picfile);
    p_1.set_visible(true);
    il_photono = total() + 1;
    st_photono.set_text(std::to_string(il_photono));
    sle_note.set_text("");
    ib_notsaved = true;
    cb_save.uf_setenabled(true);
    cb_del.uf_setenabled(false);
    cb_alter.uf_setenabled(true);
    cb_first.uf_setenabled(!(il_photono == 0 || il_photono == 1));
    cb_prior.uf_setenabled(!(il_photono == 0 || il_photono == 1));
}

void w_m_og_commactivityrecord_pic::cb_alter_clicked() {
    choose_file();
    if (is_filename.empty()) return;
    if (reserved_name()) {
        host().message_box("警告信息", "您不能使用该名称的图片！", icon::stop);
        return;
    }
    host().change_directory(sess().gs_apppath);
    p_1.set_picture(is_picfile);
    p_1.set_visible(true);
    cb_save.uf_setenabled(true);
    cb_del.uf_setenabled(false);
    ib_notsaved = true;
}

void w_m_og_commactivityrecord_pic::save_failed(const char* title, const std::string& text, icon kind) {
    photosqlca().rollback_keeping_error();
    store_.forget_history();
    host().message_box(title, text, kind);
}

void w_m_og_commactivityrecord_pic::cb_save_clicked() {
    if (!p_1.visible()) {
        host().message_box("警告信息", "您没有更换照片！", icon::exclamation);
        return;
    }
    // A note longer than its column is refused before anything is written,
    // on every database alike (SQLite would keep it whole, a server refuse it).
    const std::string note = sle_note.text();
    if (const std::size_t length = utf8_length(note); length > k_photo_note_width) {
        host().message_box("提示信息", too_long_message("【" + st_4.text() + "】", k_photo_note_width, length),
                           icon::exclamation);
        return;
    }
    busy_pointer busy(host());
    if (!settle_doubt()) return;
    // The write lock first: the new photo's number cannot be taken by
    // another workstation before this save commits. Every way out of the
    // save that does not commit rolls back.
    write_guard guard(photosqlca());
    if (!guard.began()) {
        host().message_box("提示信息", "照片数据保存失败！" + photosqlca().sqlerrtext(), icon::exclamation);
        return;
    }
    const bool adding = total() < il_photono;
    std::int64_t number = number_at(il_photono);
    if (adding) {
        // A photo of an activity another workstation has deleted meanwhile
        // would belong to nothing the clerk can ever find again.
        const value activity[] = {value(sess().gs_commno), value(il_orderno)};
        const std::optional<value> found = photosqlca().select_value(
            "SELECT COUNT(*) FROM tc_og_commactivityrecord WHERE commno = ? AND orderno = ?",
            activity);
        if (!found)
            return save_failed("警告信息", "新增照片不成功！" + photosqlca().sqlerrtext(),
                               icon::stop);
        if (found->as_double().value_or(0) < 1)
            return save_failed("警告信息",
                               "新增照片不成功！该活动记录已不存在，可能已被其他工作站删除！",
                               icon::stop);
        const std::optional<std::int64_t> next = store_.next_number(il_orderno);
        if (!next) return save_failed("提示信息", "读取最大照片序号失败！", icon::exclamation);
        number = *next;
        if (store_.create(il_orderno, number) == sql_code::error)
            return save_failed("警告信息", "新增照片不成功！" + photosqlca().sqlerrtext(), icon::stop);
    }
    const sql_code named = is_filename.empty()
                               ? store_.store_note(il_orderno, number, note)
                               : store_.store_name_and_note(il_orderno, number, is_filename, note);
    if (named != sql_code::ok)
        return save_failed("提示信息", "照片文件名或照片说明保存失败！", icon::exclamation);
    // The photo another workstation deleted meanwhile matches no row:
    // nothing would be stored, and that is no save.
    if (photosqlca().sqlnrows() != 1)
        return save_failed("警告信息", std::string("照片数据保存失败！") + k_changed_elsewhere, icon::stop);
    sql_code last = named;
    if (!is_picfile.empty()) {
        blob bytes;
        if (host().gf_readphotofile(is_picfile, bytes) == -1)
            return save_failed("提示信息", "读取图片文件数据失败！", icon::exclamation);
        last = store_.store_picture(il_orderno, number, bytes);
        if (last == sql_code::ok && photosqlca().sqlnrows() != 1) {
            ib_notsaved = true;
            return save_failed("警告信息", std::string("照片数据保存失败！") + k_changed_elsewhere, icon::stop);
        }
    }
    if (last != sql_code::ok) {
        ib_notsaved = true;
        return save_failed("提示信息", "照片数据保存失败！", icon::exclamation);
    }
    if (status st = store_.write_history(); !st) {
        ib_notsaved = true;
        return save_failed("提示信息", "照片数据保存失败！" + st.message(), icon::exclamation);
    }
    const pending_save done{adding, il_photono, number};
    if (guard.commit() != sql_code::ok) {
        ib_notsaved = true;
        if (photosqlca().commit_in_doubt()) return in_doubt(done, false);
        return save_failed("提示信息", "照片数据保存失败！" + photosqlca().sqlerrtext(), icon::exclamation);
    }
    saved(done);
}

// The album waits for the server to tell: saving or deleting again before
// it has could store a new photo twice.
void w_m_og_commactivityrecord_pic::in_doubt(const pending_save& done, bool deleting) {
    in_doubt_ = doubt{photosqlca().doubt_number(), done, deleting};
    store_.forget_history();
    host().message_box("警告信息", k_save_in_doubt, icon::stop);
}

bool w_m_og_commactivityrecord_pic::settle_doubt() {
    if (!in_doubt_) return true;
    const doubt d = *in_doubt_;
    switch (photosqlca().resolve_commit(d.number)) {
        case commit_outcome::unknown:
            host().message_box("警告信息", k_save_in_doubt, icon::stop);
            return false;
        case commit_outcome::rolled_back:
            in_doubt_.reset();
            return true;
        case commit_outcome::committed:
            break;
    }
    // It was written: the album takes its place, and the clerk, told so,
    // goes on from there.
    in_doubt_.reset();
    if (d.deleting) {
        deleted();
    } else {
        saved(d.save);
    }
    return false;
}

void w_m_og_commactivityrecord_pic::saved(const pending_save& done) {
    if (done.adding) st_total.set_text(std::to_string(done.position));
    if (il_photo.size() <= static_cast<std::size_t>(done.position))
        il_photo.resize(static_cast<std::size_t>(done.position) + 1, 0);
    il_photo[static_cast<std::size_t>(done.position)] = done.number;
    wf_scroll();
    ib_notsaved = false;
    is_loadednote = sle_note.text();
    cb_del.uf_setenabled(true);
    host().message_box("提示信息", "照片数据保存成功！");
}

void w_m_og_commactivityrecord_pic::cb_del_clicked() {
    if (il_photono == 0 || !p_1.visible()) return;
    if (total() < il_photono) {
        cb_last_clicked();
        return;
    }
    if (!settle_doubt()) return;
    if (!host().question("确认信息", "您确定要删除该照片吗？", true)) return;
    {
        write_guard guard(photosqlca());
        const bool written = guard.began() &&
                             store_.remove(il_orderno, number_at(il_photono)) == sql_code::ok &&
                             store_.write_history().is_ok();
        const bool removed = written && guard.commit() == sql_code::ok;
        if (!removed) {
            if (written && photosqlca().commit_in_doubt()) return in_doubt({}, true);
            guard.abandon();
            store_.forget_history();
            host().message_box("警告信息", "照片删除失败！", icon::stop);
            return;
        }
    }
    deleted();
}

void w_m_og_commactivityrecord_pic::deleted() {
    st_total.set_text(std::to_string(total() - 1));
    il_photono = il_photono > 1 ? il_photono - 1 : 1;
    if (store_.list(il_orderno, il_photo)) {
        show_position();
    } else {
        host().message_box("警告", "打开照片出错：" + photosqlca().sqlerrtext(), icon::stop);
    }
    ib_notsaved = false;
    host().message_box("提示信息", "照片删除成功！");
}

}  // namespace officerecords
