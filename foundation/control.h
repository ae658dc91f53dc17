// A control of a record window: a button, picture, label, one-line edit,
// group box or the calendar. Windows switch buttons with uf_setenabled()
// and show or hide controls; every change is reported to the owning window
// so that the host can redraw it.
#pragma once

#include <functional>
#include <string>

#include "foundation/value.h"

namespace officerecords {

enum class control_kind { button, picture, label, edit, groupbox, calendar };

class control {
public:
    using observer = std::function<void(control&)>;

    control(std::string name, control_kind kind, std::string picture = {},
            std::string tooltip = {}, std::string text = {});
    control(const control&) = delete;
    control& operator=(const control&) = delete;

    const std::string& name() const { return name_; }
    control_kind kind() const { return kind_; }
    bool enabled() const { return enabled_; }
    bool visible() const { return visible_; }
    const std::string& picture() const { return picture_; }
    // A picture shown from bytes in memory rather than from a file.
    const blob& picture_bytes() const { return picture_bytes_; }
    const std::string& tooltip() const { return tooltip_; }
    const std::string& text() const { return text_; }

    void uf_setenabled(bool on);
    void set_visible(bool on);
    // Shows the picture file (empty: none); drops bytes shown before.
    void set_picture(std::string file);
    // Shows a picture from its bytes, no file written; drops the file name.
    void set_picture_bytes(blob bytes);
    void set_tooltip(std::string tip);
    void set_text(std::string text);

    // What pressing the control does; empty for controls that do nothing.
    std::function<void()> clicked;
    void set_observer(observer o) { observer_ = std::move(o); }

private:
    void changed();

    std::string name_;
    control_kind kind_;
    bool enabled_ = true;
    bool visible_ = true;
    std::string picture_;
    blob picture_bytes_;
    std::string tooltip_;
    std::string text_;
    observer observer_;
};

}  // namespace officerecords
