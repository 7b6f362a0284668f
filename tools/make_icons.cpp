// Draws every icon of the program with QPainter: each toolbar icon at 16 × 16 and 32 × 32, the
// window icon (also at the desktop's sizes up to 256 × 256 and as SVG, for the menu entry), and
// the picture of the About box. Run it again after changing a drawing and commit the files it
// writes.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>
#include <QtMath>
#include <cstdio>
#include <functional>
#include <iterator>

namespace {

// Every drawing works in a 16 × 16 box; the painter is scaled for the larger sizes.
using Drawing = std::function<void(QPainter&)>;

const QColor kInk(40, 40, 48);
const QColor kNavy(30, 60, 140);
const QColor kSteel(110, 120, 135);
const QColor kSky(90, 150, 230);
const QColor kRed(210, 40, 40);
const QColor kGreen(40, 160, 60);
const QColor kGold(235, 185, 40);

QPen Pen(const QColor& c, qreal w = 1.0) {
    QPen p(c, w);
    p.setJoinStyle(Qt::RoundJoin);
    p.setCapStyle(Qt::RoundCap);
    return p;
}

void Floppy(QPainter& p) {
    QPainterPath body;
    body.moveTo(1.5, 1.5);
    body.lineTo(12.5, 1.5);
    body.lineTo(14.5, 3.5);
    body.lineTo(14.5, 14.5);
    body.lineTo(1.5, 14.5);
    body.closeSubpath();
    p.setPen(Pen(kInk));
    p.setBrush(kNavy);
    p.drawPath(body);
    p.setBrush(QColor(235, 235, 240));
    p.drawRect(QRectF(4, 1.5, 7, 4.5));  // shutter
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRectF(3.5, 8.5, 9, 6));  // label
    p.setPen(Pen(kSteel, 0.6));
    p.drawLine(QPointF(5, 10.5), QPointF(11, 10.5));
    p.drawLine(QPointF(5, 12.5), QPointF(11, 12.5));
    p.setPen(Pen(kInk));
    p.setBrush(kInk);
    p.drawRect(QRectF(8.5, 2.5, 1.5, 2.5));
}

void DrawSaveAs(QPainter& p) {
    Floppy(p);
    // A pencil across the corner: save under a new name.
    p.save();
    p.translate(11.5, 11.5);
    p.rotate(-45);
    p.setPen(Pen(kInk, 0.7));
    p.setBrush(kGold);
    p.drawRect(QRectF(-1.2, -6, 2.4, 7));
    QPainterPath tip;
    tip.moveTo(-1.2, 1);
    tip.lineTo(1.2, 1);
    tip.lineTo(0, 3.5);
    tip.closeSubpath();
    p.setBrush(QColor(240, 210, 170));
    p.drawPath(tip);
    p.restore();
}

// An arc from startDeg over spanDeg (anticlockwise, degrees from east) with a head at its end.
void ArcArrow(QPainter& p, QPointF centre, qreal r, qreal startDeg, qreal spanDeg, const QColor& c,
              qreal w) {
    p.setPen(Pen(c, w));
    p.setBrush(Qt::NoBrush);
    const QRectF box(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
    p.drawArc(box, qRound(startDeg * 16), qRound(spanDeg * 16));
    const qreal a = qDegreesToRadians(startDeg + spanDeg);
    const QPointF end(centre.x() + r * qCos(a), centre.y() - r * qSin(a));
    // Direction of travel along the arc at its end, and the outward normal.
    const qreal sign = spanDeg >= 0 ? 1 : -1;
    const QPointF along(-qSin(a) * sign, -qCos(a) * sign);
    const QPointF out(qCos(a), -qSin(a));
    const qreal h = 1.3 * w + 0.6;
    QPainterPath head;
    head.moveTo(end + along * h);
    head.lineTo(end + out * h);
    head.lineTo(end - out * h);
    head.closeSubpath();
    p.setBrush(c);
    p.setPen(Pen(c, 0.4));
    p.drawPath(head);
}

void DrawAutosave(QPainter& p) {
    Floppy(p);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawEllipse(QPointF(11, 11), 4.6, 4.6);
    ArcArrow(p, QPointF(11, 11), 3.0, 90, -270, kGreen, 1.3);
}

void DrawDisplay(QPainter& p) {
    // A monitor showing a grey ramp with black and white level marks.
    p.setPen(Pen(kInk));
    p.setBrush(kSteel);
    p.drawRoundedRect(QRectF(0.5, 1.5, 15, 11), 1.2, 1.2);
    QLinearGradient ramp(QPointF(2, 0), QPointF(14, 0));
    ramp.setColorAt(0, Qt::black);
    ramp.setColorAt(1, Qt::white);
    p.setPen(Qt::NoPen);
    p.setBrush(ramp);
    p.drawRect(QRectF(2, 3, 12, 8));
    p.setBrush(kSteel);
    p.drawRect(QRectF(6, 12.5, 4, 1.5));
    p.drawRect(QRectF(4, 14, 8, 1.5));
    p.setBrush(kRed);
    QPainterPath mark;
    mark.moveTo(4, 11);
    mark.lineTo(5.5, 8.5);
    mark.lineTo(7, 11);
    mark.closeSubpath();
    mark.moveTo(9, 11);
    mark.lineTo(10.5, 8.5);
    mark.lineTo(12, 11);
    mark.closeSubpath();
    p.drawPath(mark);
}

void DrawExposure(QPainter& p) {
    // A stopwatch.
    p.setPen(Pen(kInk));
    p.setBrush(kSteel);
    p.drawRect(QRectF(6.5, 0.5, 3, 2));
    p.setBrush(QColor(250, 250, 250));
    p.setPen(Pen(kInk, 1.2));
    p.drawEllipse(QPointF(8, 9.2), 6.2, 6.2);
    p.setPen(Pen(kSteel, 0.8));
    for (int i = 0; i < 12; ++i) {
        const qreal a = qDegreesToRadians(i * 30.0);
        p.drawLine(QPointF(8 + 4.6 * qSin(a), 9.2 - 4.6 * qCos(a)),
                   QPointF(8 + 5.4 * qSin(a), 9.2 - 5.4 * qCos(a)));
    }
    p.setPen(Pen(kRed, 1.2));
    p.drawLine(QPointF(8, 9.2), QPointF(10.8, 6.0));
    p.setPen(Pen(kInk, 1.0));
    p.drawLine(QPointF(8, 9.2), QPointF(8, 5));
}

void DrawCooler(QPainter& p) {
    // A snowflake.
    p.setPen(Pen(kSky.darker(130), 1.4));
    const QPointF c(8, 8);
    for (int i = 0; i < 6; ++i) {
        const qreal a = qDegreesToRadians(i * 60.0 + 90);
        const QPointF dir(qCos(a), -qSin(a));
        p.drawLine(c, c + 6.5 * dir);
        const QPointF mid = c + 4.0 * dir;
        for (int s : {-1, 1}) {
            const qreal b = a + s * qDegreesToRadians(45.0);
            p.drawLine(mid, mid + 2.2 * QPointF(qCos(b), -qSin(b)));
        }
    }
    p.setPen(Pen(kNavy, 0.8));
    p.setBrush(QColor(220, 235, 255));
    p.drawEllipse(c, 1.6, 1.6);
}

void Star(QPainter& p, QPointF c, qreal r, const QColor& colour) {
    QRadialGradient g(c, r);
    g.setColorAt(0, Qt::white);
    g.setColorAt(0.35, colour);
    g.setColorAt(1, QColor(colour.red(), colour.green(), colour.blue(), 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(c, r, r);
}

void DrawTracking(QPainter& p) {
    // A star held in a crosshair.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 25, 45));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2, 2);
    Star(p, QPointF(8, 8), 3.6, kGold);
    p.setPen(Pen(kGreen.lighter(140), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(8, 8), 5, 5);
    p.drawLine(QPointF(8, 1.5), QPointF(8, 4.5));
    p.drawLine(QPointF(8, 11.5), QPointF(8, 14.5));
    p.drawLine(QPointF(1.5, 8), QPointF(4.5, 8));
    p.drawLine(QPointF(11.5, 8), QPointF(14.5, 8));
}

void DrawSubframe(QPainter& p) {
    // The sensor outline with a smaller red selection inside it.
    p.setPen(Pen(kGreen, 1.0));
    p.setBrush(QColor(30, 30, 36));
    p.drawRect(QRectF(0.5, 1.5, 15, 13));
    p.setPen(Pen(kRed, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(4.5, 4.5, 7, 6));
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    for (QPointF corner :
         {QPointF(4.5, 4.5), QPointF(11.5, 4.5), QPointF(4.5, 10.5), QPointF(11.5, 10.5)})
        p.drawRect(QRectF(corner - QPointF(1, 1), QSizeF(2, 2)));
}

void DrawLock(QPainter& p) {
    p.setPen(Pen(kSteel.darker(120), 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4, 1.2, 8, 9), 0, 180 * 16);
    p.drawLine(QPointF(4, 5.7), QPointF(4, 7.5));
    p.drawLine(QPointF(12, 5.7), QPointF(12, 7.5));
    p.setPen(Pen(kInk));
    p.setBrush(kGold);
    p.drawRoundedRect(QRectF(2.5, 7.5, 11, 8), 1, 1);
    p.setBrush(kInk);
    p.drawEllipse(QPointF(8, 10.5), 1.1, 1.1);
    p.drawRect(QRectF(7.6, 11, 0.8, 2.5));
}

void CameraBody(QPainter& p) {
    p.setPen(Pen(kInk));
    p.setBrush(kSteel);
    p.drawRect(QRectF(5, 2.5, 6, 2.5));
    p.setBrush(QColor(70, 75, 85));
    p.drawRoundedRect(QRectF(0.5, 4.5, 15, 10), 1.5, 1.5);
    p.setBrush(QColor(20, 20, 30));
    p.drawEllipse(QPointF(8, 9.5), 3.8, 3.8);
    p.setBrush(kSky);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(8, 9.5), 2.2, 2.2);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(QPointF(7.2, 8.7), 0.8, 0.8);
}

void DrawSnapshot(QPainter& p) {
    CameraBody(p);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QPointF(13, 6.5), 1, 1);
}

void DrawLoop(QPainter& p) {
    // Two arrows chasing each other: exposures one after the other.
    ArcArrow(p, QPointF(8, 8), 5.4, 100, -140, kNavy, 1.6);
    ArcArrow(p, QPointF(8, 8), 5.4, 280, -140, kNavy, 1.6);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QPointF(8, 8), 1.8, 1.8);
}

void DrawSequencer(QPainter& p) {
    // A numbered list of exposures.
    for (int i = 0; i < 3; ++i) {
        const qreal y = 1.5 + i * 5;
        p.setPen(Pen(kInk, 0.8));
        p.setBrush(i == 0 ? kGreen : QColor(245, 245, 245));
        p.drawRect(QRectF(0.5, y, 4, 4));
        p.setPen(Pen(i == 0 ? kNavy : kSteel, 1.4));
        p.drawLine(QPointF(6.5, y + 1.2), QPointF(15, y + 1.2));
        p.setPen(Pen(kSteel, 0.8));
        p.drawLine(QPointF(6.5, y + 3.2), QPointF(12.5, y + 3.2));
    }
}

void DrawFilterWheel(QPainter& p) {
    p.setPen(Pen(kInk));
    p.setBrush(QColor(60, 60, 70));
    p.drawEllipse(QPointF(8, 8), 7.4, 7.4);
    const QColor filters[4] = {kRed, kGreen, QColor(50, 90, 230), QColor(235, 235, 235)};
    for (int i = 0; i < 4; ++i) {
        const qreal a = qDegreesToRadians(45.0 + i * 90);
        p.setPen(Pen(kInk, 0.5));
        p.setBrush(filters[i]);
        p.drawEllipse(QPointF(8 + 4.2 * qCos(a), 8 - 4.2 * qSin(a)), 2.4, 2.4);
    }
    p.setBrush(kSteel);
    p.drawEllipse(QPointF(8, 8), 1, 1);
}

void DrawAbout(QPainter& p) {
    p.setPen(Pen(kNavy.darker(120)));
    p.setBrush(kSky);
    p.drawEllipse(QPointF(8, 8), 7.2, 7.2);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.4), 1.3, 1.3);
    p.drawRoundedRect(QRectF(6.8, 6.6, 2.4, 6.6), 0.6, 0.6);
}

// The program's own picture: a cooled sensor chip looking at a star field.
void AppIcon(QPainter& p) {
    p.setPen(Pen(kInk, 0.8));
    p.setBrush(QColor(120, 125, 135));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2.5, 2.5);
    // Pins of the chip package.
    p.setPen(Pen(QColor(220, 190, 90), 0.8));
    for (int i = 0; i < 4; ++i) {
        const qreal x = 4 + i * 2.6;
        p.drawLine(QPointF(x, 0.5), QPointF(x, 2));
        p.drawLine(QPointF(x, 14), QPointF(x, 15.5));
    }
    p.setPen(Pen(kInk, 0.6));
    p.setBrush(QColor(12, 16, 40));
    p.drawRect(QRectF(2.5, 3, 11, 10));
    Star(p, QPointF(6.5, 6.5), 2.8, kGold);
    Star(p, QPointF(11, 10.5), 1.6, QColor(180, 210, 255));
    Star(p, QPointF(10.5, 5), 1.0, Qt::white);
    Star(p, QPointF(4.5, 11), 1.0, Qt::white);
}

QImage Render(const Drawing& draw, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    p.end();
    return image;
}

// The same drawing as a scalable icon: a 16 × 16 view box the desktop scales as it likes.
bool SaveSvg(const Drawing& draw, const QString& file) {
    QSvgGenerator svg;
    svg.setFileName(file);
    svg.setSize(QSize(16, 16));
    svg.setViewBox(QRectF(0, 0, 16, 16));
    svg.setTitle(QStringLiteral("Zorvane Capture"));
    QPainter p;
    if (!p.begin(&svg)) return false;
    p.setRenderHint(QPainter::Antialiasing, true);
    draw(p);
    return p.end();
}

QImage AboutPicture() {
    // 64 × 64: the program icon over a soft sky with a few faint stars.
    const int size = 64;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient sky(QPointF(0, 0), QPointF(0, size));
    sky.setColorAt(0, QColor(8, 12, 36));
    sky.setColorAt(1, QColor(40, 60, 110));
    p.fillRect(image.rect(), sky);
    const QPointF faint[] = {{6, 8}, {54, 6}, {58, 40}, {9, 52}, {30, 4}, {46, 58}, {3, 30}};
    p.scale(size / 16.0, size / 16.0);
    for (QPointF s : faint) Star(p, s / 4.0, 0.5, Qt::white);
    p.translate(2.5, 2.5);
    p.scale(11.0 / 16.0, 11.0 / 16.0);
    AppIcon(p);
    p.end();
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make_icons <output folder> [preview sheet.png]\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path())) return 1;

    const std::pair<const char*, Drawing> icons[] = {
        {"saveas", DrawSaveAs},       {"autosave", DrawAutosave},
        {"display", DrawDisplay},     {"exposure", DrawExposure},
        {"cooler", DrawCooler},       {"tracking", DrawTracking},
        {"subframe", DrawSubframe},   {"lock", DrawLock},
        {"snapshot", DrawSnapshot},   {"loop", DrawLoop},
        {"sequencer", DrawSequencer}, {"filterwheel", DrawFilterWheel},
        {"about", DrawAbout},         {"app", AppIcon},
    };
    bool ok = true;
    for (const auto& [name, draw] : icons) {
        for (int size : {16, 32}) {
            const QString file = out.filePath(QStringLiteral("%1_%2.png").arg(name).arg(size));
            ok = Render(draw, size).save(file) && ok;
        }
    }
    for (int size : {48, 64, 128, 256}) {
        const QString file = out.filePath(QStringLiteral("app_%1.png").arg(size));
        ok = Render(AppIcon, size).save(file) && ok;
    }
    ok = SaveSvg(AppIcon, out.filePath(QStringLiteral("app.svg"))) && ok;
    ok = AboutPicture().save(out.filePath(QStringLiteral("about.png"))) && ok;

    if (argc == 3) {
        // Every icon at both sizes, enlarged four times, on a light and a dark strip.
        const int count = static_cast<int>(std::size(icons));
        QImage sheet(count * 140 + 10, 2 * 150, QImage::Format_RGB32);
        sheet.fill(QColor(236, 236, 236));
        QPainter p(&sheet);
        p.fillRect(0, 150, sheet.width(), 150, QColor(60, 60, 60));
        for (int i = 0; i < count; ++i) {
            for (int row = 0; row < 2; ++row) {
                const int y = row * 150 + 10;
                p.drawImage(QRect(10 + i * 140, y, 64, 64), Render(icons[i].second, 16));
                p.drawImage(QRect(10 + i * 140, y + 70, 64, 64), Render(icons[i].second, 32));
                p.drawImage(QPoint(84 + i * 140, y), Render(icons[i].second, 16));
                p.drawImage(QPoint(84 + i * 140, y + 20), Render(icons[i].second, 32));
            }
        }
        p.drawImage(QPoint(sheet.width() - 74, 10), AboutPicture());
        p.end();
        ok = sheet.save(QString::fromLocal8Bit(argv[2])) && ok;
    }
    return ok ? 0 : 1;
}
