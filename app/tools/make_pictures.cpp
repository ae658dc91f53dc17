// Draws every picture the windows ask for under bmp\ into the folder given
// on the command line: toolbar buttons, the yes/no indicators, the photo
// buttons and the default member photo. All of them are our own drawings,
// made of plain shapes so no font is needed.
//
//   officerecords_make_pictures OUTDIR
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

namespace {

constexpr int k_size = 32;
// BMP keeps no transparency: the pictures sit on the colour of a button face.
const QColor k_face(239, 239, 239);
const QColor k_blue(38, 98, 178);
const QColor k_green(46, 139, 60);
const QColor k_red(196, 43, 43);
const QColor k_orange(222, 128, 24);
const QColor k_dark(60, 60, 60);

using drawing = std::function<void(QPainter&)>;

QPolygonF triangle(QPointF a, QPointF b, QPointF c) { return QPolygonF({a, b, c}); }

void arrow_right(QPainter& p, qreal x) { p.drawPolygon(triangle({x, 7}, {x + 12, 16}, {x, 25})); }
void arrow_left(QPainter& p, qreal x) {
    p.drawPolygon(triangle({x + 12, 7}, {x, 16}, {x + 12, 25}));
}

void floppy(QPainter& p, const QColor& body) {
    p.setPen(QPen(k_dark, 1.5));
    p.setBrush(body);
    QPainterPath disk;
    disk.moveTo(5, 5);
    disk.lineTo(23, 5);
    disk.lineTo(27, 9);
    disk.lineTo(27, 27);
    disk.lineTo(5, 27);
    disk.closeSubpath();
    p.drawPath(disk);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 5, 12, 8));
    p.setBrush(QColor(220, 220, 220));
    p.drawRect(QRectF(9, 17, 14, 10));
    p.setBrush(k_dark);
    p.drawRect(QRectF(17, 6.5, 2.5, 5));
}

// A clock in the lower right corner: saved for now, without the checks.
void clock_badge(QPainter& p) {
    p.setPen(QPen(k_dark, 1.5));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(23, 23), 7.5, 7.5);
    p.setPen(QPen(k_dark, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(23, 23), QPointF(23, 18));
    p.drawLine(QPointF(23, 23), QPointF(26.5, 24.5));
}

void cross(QPainter& p, const QColor& colour, QRectF box, qreal width) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(box.topLeft(), box.bottomRight());
    p.drawLine(box.topRight(), box.bottomLeft());
}

void check(QPainter& p, const QColor& colour) {
    p.setPen(QPen(colour, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(7, 17), QPointF(13, 23), QPointF(25, 9)}));
}

void camera(QPainter& p) {
    p.setPen(QPen(k_dark, 1.5));
    p.setBrush(QColor(90, 90, 100));
    p.drawRoundedRect(QRectF(3, 10, 22, 15), 2, 2);
    p.drawRect(QRectF(8, 7, 8, 4));
    p.setBrush(QColor(170, 200, 235));
    p.drawEllipse(QPointF(14, 17.5), 5, 5);
}

// A small badge in the lower right corner of a camera.
void badge(QPainter& p, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(24, 24), 7, 7);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
}

void draw_help(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(k_blue);
    p.drawEllipse(QPointF(16, 16), 13, 13);
    p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath hook;
    hook.moveTo(11, 12.5);
    hook.cubicTo(11, 6.5, 21, 6.5, 21, 12);
    hook.cubicTo(21, 16, 16, 16, 16, 20);
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 24.5), 2, 2);
}

void draw_roll(QPainter& p) {
    p.setPen(QPen(k_blue, 3.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(7, 7, 19, 19), 100 * 16, 250 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(k_blue);
    p.drawPolygon(triangle({4, 6}, {15, 5}, {10, 15}));
}

void draw_exit(QPainter& p) {
    p.setPen(QPen(k_dark, 1.5));
    p.setBrush(QColor(160, 110, 70));
    p.drawRect(QRectF(5, 4, 14, 24));
    p.setBrush(k_dark);
    p.drawEllipse(QPointF(16, 16), 1.3, 1.3);
    p.setPen(Qt::NoPen);
    p.setBrush(k_red);
    p.drawRect(QRectF(19, 14, 6, 4));
    p.drawPolygon(triangle({24, 9}, {30, 16}, {24, 23}));
}

void draw_photo(QPainter& p, QSize size) {
    p.fillRect(QRect(QPoint(0, 0), size), QColor(226, 232, 240));
    qreal w = size.width(), h = size.height();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 160, 175));
    p.drawEllipse(QPointF(w / 2, h * 0.38), w * 0.2, w * 0.23);
    QPainterPath body;
    body.moveTo(w * 0.12, h);
    body.cubicTo(w * 0.14, h * 0.62, w * 0.86, h * 0.62, w * 0.88, h);
    body.closeSubpath();
    p.drawPath(body);
}

struct picture {
    const char* name;
    drawing draw;
};

const picture k_pictures[] = {
    {"cb_help.bmp", draw_help},
    {"cb_Last.bmp",
     [](QPainter& p) {
         p.setPen(Qt::NoPen);
         p.setBrush(k_blue);
         arrow_right(p, 8);
         p.drawRect(QRectF(21, 7, 3.5, 18));
     }},
    {"cb_Next.bmp",
     [](QPainter& p) {
         p.setPen(Qt::NoPen);
         p.setBrush(k_blue);
         arrow_right(p, 10);
     }},
    {"cb_prior.bmp",
     [](QPainter& p) {
         p.setPen(Qt::NoPen);
         p.setBrush(k_blue);
         arrow_left(p, 10);
     }},
    {"cb_First.bmp",
     [](QPainter& p) {
         p.setPen(Qt::NoPen);
         p.setBrush(k_blue);
         p.drawRect(QRectF(7.5, 7, 3.5, 18));
         arrow_left(p, 12);
     }},
    {"cb_exit.bmp", draw_exit},
    {"cb_save.bmp", [](QPainter& p) { floppy(p, k_blue); }},
    {"cb_roll.bmp", draw_roll},
    {"cb_TempSave.bmp",
     [](QPainter& p) {
         floppy(p, k_orange);
         clock_badge(p);
     }},
    {"yes.bmp", [](QPainter& p) { check(p, k_green); }},
    {"no.bmp", [](QPainter& p) { cross(p, k_red, QRectF(8, 8, 16, 16), 4.5); }},
    {"cb_photo.bmp", camera},
    {"cb_close.bmp", [](QPainter& p) { cross(p, k_dark, QRectF(8, 8, 16, 16), 3.5); }},
    {"cb_newphoto.bmp",
     [](QPainter& p) {
         camera(p);
         badge(p, k_green);
         p.drawLine(QPointF(24, 20), QPointF(24, 28));
         p.drawLine(QPointF(20, 24), QPointF(28, 24));
     }},
    {"cb_alterphoto.bmp",
     [](QPainter& p) {
         camera(p);
         badge(p, k_orange);
         p.drawLine(QPointF(21, 27), QPointF(27, 21));
     }},
    {"cb_delphoto.bmp",
     [](QPainter& p) {
         camera(p);
         badge(p, k_red);
         p.drawLine(QPointF(20, 24), QPointF(28, 24));
     }},
};

bool save(const QImage& image, const QDir& dir, const char* name) {
    QString path = dir.filePath(QString::fromLatin1(name));
    if (image.save(path)) return true;
    std::fprintf(stderr, "error: cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: officerecords_make_pictures OUTDIR\n");
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(".")) {
        std::fprintf(stderr, "error: cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    for (const picture& pic : k_pictures) {
        QImage image(k_size, k_size, QImage::Format_RGB32);
        image.fill(k_face);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        pic.draw(p);
        p.end();
        ok = save(image, dir, pic.name) && ok;
    }
    QImage photo(120, 150, QImage::Format_RGB32);
    QPainter p(&photo);
    p.setRenderHint(QPainter::Antialiasing);
    draw_photo(p, photo.size());
    p.end();
    ok = save(photo, dir, "photo.jpg") && ok;
    return ok ? 0 : 1;
}
