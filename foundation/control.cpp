#include "foundation/control.h"

namespace officerecords {

control::control(std::string name, control_kind kind, std::string picture, std::string tooltip,
                 std::string text)
    : name_(std::move(name)),
      kind_(kind),
      picture_(std::move(picture)),
      tooltip_(std::move(tooltip)),
      text_(std::move(text)) {}

void control::changed() {
    if (observer_) observer_(*this);
}

void control::uf_setenabled(bool on) {
    enabled_ = on;
    changed();
}

void control::set_visible(bool on) {
    visible_ = on;
    changed();
}

void control::set_picture(std::string file) {
    picture_ = std::move(file);
    picture_bytes_.clear();
    changed();
}

void control::set_picture_bytes(blob bytes) {
    picture_.clear();
    picture_bytes_ = std::move(bytes);
    changed();
}

void control::set_tooltip(std::string tip) {
    tooltip_ = std::move(tip);
    changed();
}

void control::set_text(std::string text) {
    text_ = std::move(text);
    changed();
}

}  // namespace officerecords
