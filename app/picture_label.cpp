#include "app/picture_label.h"

#include <QFile>
#include <QResizeEvent>

#include "app/app_paths.h"

namespace officerecords::app {

namespace {

QByteArray bytes_of(const blob& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

}  // namespace

QPixmap picture_file(const std::string& file) {
    return file.empty() ? QPixmap() : QPixmap(resolve_for_reading(file));
}

QPixmap picture_of(const control& c) {
    if (c.picture_bytes().empty()) return picture_file(c.picture());
    QPixmap pix;
    // A failed read leaves the pixmap null: nothing is shown.
    (void)pix.loadFromData(bytes_of(c.picture_bytes()));
    return pix;
}

picture_label::picture_label(sizing how, QWidget* parent) : QLabel(parent), sizing_(how) {
    setAlignment(Qt::AlignCenter);
    if (sizing_ == sizing::fit) {
        // The photo takes the room it is given; its own size must not
        // stretch the dialog.
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        setMinimumSize(1, 1);
    }
}

void picture_label::show_picture(const control& c) {
    QString file = QString::fromStdString(c.picture());
    QByteArray bytes = bytes_of(c.picture_bytes());
    if (file == shown_file_ && bytes == shown_bytes_) return;
    shown_file_ = file;
    shown_bytes_ = bytes;
    picture_ = picture_of(c);
    draw();
}

void picture_label::show_file(const std::string& file) {
    // The member forms write every person's photo to the same file name:
    // only the bytes tell whether another photo is there now.
    QString name = QString::fromStdString(file);
    QByteArray bytes;
    if (QFile f(resolve_for_reading(file)); !file.empty() && f.open(QIODevice::ReadOnly))
        bytes = f.readAll();
    if (name == shown_file_ && bytes == shown_bytes_) return;
    shown_file_ = name;
    shown_bytes_ = bytes;
    picture_ = QPixmap();
    // A file no image reader takes leaves the picture null: nothing is shown.
    (void)picture_.loadFromData(bytes);
    draw();
}

void picture_label::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    if (sizing_ == sizing::fit) draw();
}

void picture_label::draw() {
    if (picture_.isNull()) {
        clear();
        return;
    }
    if (sizing_ == sizing::natural || size().isEmpty()) {
        setPixmap(picture_);
        return;
    }
    setPixmap(
        picture_.scaled(contentsRect().size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

}  // namespace officerecords::app
