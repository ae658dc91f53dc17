// A picture control of a record window on the screen: the picture the
// control names, read from its bytes in memory when it holds some, else
// from its file. Either it shows the picture at its own size (an
// indicator), or it fits the picture into whatever room the layout gives
// it, keeping its proportions and centred, and follows the room as it
// grows and shrinks (a photo).
//
// A picture that cannot be read (a missing file, bytes no image reader
// takes) shows nothing; the label never keeps the picture shown before.
#pragma once

#include <QByteArray>
#include <QLabel>
#include <QPixmap>
#include <QString>

#include "foundation/control.h"

namespace officerecords::app {

// The picture a control names, read from its bytes or its file; a null
// pixmap when it names none or it cannot be read.
QPixmap picture_of(const control& c);
// A picture file the windows name ("bmp\yes.bmp"); null when empty or unreadable.
QPixmap picture_file(const std::string& file);

class picture_label final : public QLabel {
    Q_OBJECT

public:
    enum class sizing { natural, fit };

    picture_label(sizing how, QWidget* parent);

    // Reads the control's picture again when it names another one than
    // the picture shown.
    void show_picture(const control& c);
    // Shows the picture file the windows name ("bmp\cap_model.bmp"), read
    // again whenever its bytes differ from those shown, even under the
    // same name.
    void show_file(const std::string& file);
    // The picture as read, before any fitting; null when none is shown.
    const QPixmap& picture() const { return picture_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void draw();

    sizing sizing_;
    QPixmap picture_;
    QString shown_file_;
    QByteArray shown_bytes_;
};

}  // namespace officerecords::app
