#include "ui/Icons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTransform>

#include <functional>
#include <utility>

namespace {

struct TPalette {
    QColor Outline;
    QColor Paper;
    QColor Line;
    QColor Accent;
    QColor Accent2;
    QColor Metal;
};

TPalette PaletteFor(QIcon::Mode Mode)
{
    if (Mode == QIcon::Disabled)
        return {QColor(150, 150, 150), QColor(235, 235, 235), QColor(190, 190, 190),
                QColor(160, 160, 160), QColor(175, 175, 175), QColor(200, 200, 200)};
    return {QColor(70, 78, 92), QColor(255, 255, 255), QColor(150, 160, 175),
            QColor(33, 110, 200), QColor(40, 150, 80), QColor(150, 165, 185)};
}

using TDraw = std::function<void(QPainter&, const TPalette&)>;

// Draws on a 16 x 16 canvas scaled to whatever size is asked, so the pictures stay sharp at any
// screen scale.
class TPaintedIconEngine : public QIconEngine {
public:
    explicit TPaintedIconEngine(TDraw Draw) : Draw(std::move(Draw)) {}

    void paint(QPainter* Painter, const QRect& Rect, QIcon::Mode Mode, QIcon::State) override
    {
        Painter->save();
        Painter->setRenderHint(QPainter::Antialiasing);
        const qreal side = qMin(Rect.width(), Rect.height());
        Painter->translate(Rect.x() + (Rect.width() - side) / 2.0, Rect.y() + (Rect.height() - side) / 2.0);
        Painter->scale(side / 16.0, side / 16.0);
        Draw(*Painter, PaletteFor(Mode));
        Painter->restore();
    }

    QPixmap pixmap(const QSize& Size, QIcon::Mode Mode, QIcon::State State) override
    {
        QPixmap result(Size);
        result.fill(Qt::transparent);
        QPainter painter(&result);
        paint(&painter, QRect(QPoint(0, 0), Size), Mode, State);
        return result;
    }

    QIconEngine* clone() const override { return new TPaintedIconEngine(Draw); }

private:
    TDraw Draw;
};

QIcon Painted(TDraw Draw)
{
    return QIcon(new TPaintedIconEngine(std::move(Draw)));
}

QPen OutlinePen(const TPalette& Colors, qreal Width = 1.0)
{
    QPen pen(Colors.Outline, Width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

// A sheet with a folded corner and a few text lines.
void DrawPage(QPainter& P, const TPalette& Colors, const QRectF& R, bool Lines = true)
{
    const qreal fold = R.width() * 0.35;
    QPainterPath page;
    page.moveTo(R.left(), R.top());
    page.lineTo(R.right() - fold, R.top());
    page.lineTo(R.right(), R.top() + fold);
    page.lineTo(R.right(), R.bottom());
    page.lineTo(R.left(), R.bottom());
    page.closeSubpath();
    P.setPen(OutlinePen(Colors));
    P.setBrush(Colors.Paper);
    P.drawPath(page);
    P.drawLine(QPointF(R.right() - fold, R.top()), QPointF(R.right() - fold, R.top() + fold));
    P.drawLine(QPointF(R.right() - fold, R.top() + fold), QPointF(R.right(), R.top() + fold));
    if (!Lines)
        return;
    P.setPen(QPen(Colors.Line, 1.0));
    for (qreal y = R.top() + fold + 1.5; y < R.bottom() - 1.0; y += 2.0)
        P.drawLine(QPointF(R.left() + 1.5, y), QPointF(R.right() - 1.5, y));
}

// A filled arrow along y from x0 to x1 (pointing to x1).
void DrawArrow(QPainter& P, qreal X0, qreal X1, qreal Y, const QColor& Color, qreal Thickness = 2.0)
{
    const qreal dir = X1 > X0 ? 1.0 : -1.0;
    const qreal head = 3.2;
    QPainterPath arrow;
    arrow.moveTo(X0, Y - Thickness / 2);
    arrow.lineTo(X1 - dir * head, Y - Thickness / 2);
    arrow.lineTo(X1 - dir * head, Y - head);
    arrow.lineTo(X1, Y);
    arrow.lineTo(X1 - dir * head, Y + head);
    arrow.lineTo(X1 - dir * head, Y + Thickness / 2);
    arrow.lineTo(X0, Y + Thickness / 2);
    arrow.closeSubpath();
    P.setPen(QPen(Color.darker(130), 0.6));
    P.setBrush(Color);
    P.drawPath(arrow);
}

void DrawConvertFiles(QPainter& P, const TPalette& Colors)
{
    DrawPage(P, Colors, QRectF(1.5, 0.5, 8.0, 10.0));
    DrawPage(P, Colors, QRectF(6.5, 5.5, 8.0, 10.0));
    DrawArrow(P, 2.0, 10.5, 12.5, Colors.Accent);
}

void DrawConvertFolder(QPainter& P, const TPalette& Colors)
{
    QPainterPath folder;
    folder.moveTo(1.0, 3.0);
    folder.lineTo(5.5, 3.0);
    folder.lineTo(7.0, 4.5);
    folder.lineTo(15.0, 4.5);
    folder.lineTo(15.0, 14.0);
    folder.lineTo(1.0, 14.0);
    folder.closeSubpath();
    P.setPen(OutlinePen(Colors));
    P.setBrush(Colors.Metal.lighter(120));
    P.drawPath(folder);
    DrawArrow(P, 3.0, 13.0, 9.5, Colors.Accent);
}

void DrawSwap(QPainter& P, const TPalette& Colors)
{
    DrawArrow(P, 1.5, 14.5, 4.5, Colors.Accent, 2.4);
    DrawArrow(P, 14.5, 1.5, 11.5, Colors.Accent2, 2.4);
}

void DrawOptions(QPainter& P, const TPalette& Colors)
{
    QPainterPath gear;
    gear.addEllipse(QPointF(8, 8), 5.2, 5.2);
    for (int i = 0; i < 8; ++i) {
        QPainterPath tooth;
        tooth.addRect(QRectF(-1.4, -7.4, 2.8, 3.4));
        QTransform t;
        t.translate(8, 8);
        t.rotate(i * 45.0);
        gear = gear.united(t.map(tooth));
    }
    QPainterPath hole;
    hole.addEllipse(QPointF(8, 8), 2.2, 2.2);
    gear = gear.subtracted(hole);
    P.setPen(OutlinePen(Colors, 0.8));
    P.setBrush(Colors.Metal);
    P.drawPath(gear);
}

void DrawApplication(QPainter& P, const TPalette& Colors)
{
    // Two sheets, a Latin letter on the first and a katakana on the second: the picture of the
    // desktop entry's icon.
    QPen stroke(Colors.Accent, 1.5);
    stroke.setJoinStyle(Qt::RoundJoin);
    stroke.setCapStyle(Qt::RoundCap);
    DrawPage(P, Colors, QRectF(0.5, 0.5, 9.0, 11.0), false);
    P.setPen(stroke);
    P.setBrush(Qt::NoBrush);
    P.drawPolyline(QPolygonF({QPointF(2.2, 9.5), QPointF(4.6, 3.2), QPointF(7.0, 9.5)}));
    P.drawLine(QPointF(3.2, 7.3), QPointF(6.0, 7.3));
    DrawPage(P, Colors, QRectF(6.5, 4.5, 9.0, 11.0), false);
    stroke.setColor(QColor(192, 57, 43));
    P.setPen(stroke);
    QPainterPath kana;
    kana.moveTo(8.6, 8.2);
    kana.lineTo(13.6, 8.2);
    kana.quadTo(13.0, 10.6, 10.6, 13.4);
    P.drawPath(kana);
    P.drawLine(QPointF(10.9, 9.8), QPointF(11.4, 11.6));
}

bool ThemeHasToolBarImages()
{
    return QIcon::hasThemeIcon(QStringLiteral("document-open")) &&
           QIcon::hasThemeIcon(QStringLiteral("object-flip-horizontal")) &&
           QIcon::hasThemeIcon(QStringLiteral("preferences-system"));
}

QIcon ToolBarImage(const char* ThemeName, TDraw Draw)
{
    if (ThemeHasToolBarImages())
        return QIcon::fromTheme(QString::fromLatin1(ThemeName));
    return Painted(std::move(Draw));
}

} // namespace

QIcon ApplicationIcon()
{
    return Painted(DrawApplication);
}

QIcon ConvertFilesIcon()
{
    return ToolBarImage("document-open", DrawConvertFiles);
}

QIcon ConvertFolderIcon()
{
    return ToolBarImage("folder-open", DrawConvertFolder);
}

QIcon SwapIcon()
{
    return ToolBarImage("object-flip-horizontal", DrawSwap);
}

QIcon OptionsIcon()
{
    return ToolBarImage("preferences-system", DrawOptions);
}
