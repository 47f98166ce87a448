// Draws the maker's wordmark for the window (app/veltra_logo.png, 204 x 89,
// 24-bit) and the desktop icon made from it at the sizes desktops ask for
// (packaging/icons/usb-corvane-config-N.png, N = 16 ... 256), the same
// drawing as packaging/icons/usb-corvane-config.svg. Build and run by hand
// when the logo changes:
//   g++ -std=c++20 -fPIC scripts/draw-logo.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/draw-logo
//   QT_QPA_PLATFORM=offscreen /tmp/draw-logo app/veltra_logo.png packaging/icons
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) return 2;
  QImage image(204, 89, QImage::Format_RGB888);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);

  QLinearGradient sky(0, 0, 0, 89);
  sky.setColorAt(0, QColor(0x0B, 0x2A, 0x4A));
  sky.setColorAt(1, QColor(0x1D, 0x5C, 0x8C));
  p.fillRect(image.rect(), sky);

  // A chip card outline with its contact pad, the product's subject.
  p.setPen(QPen(QColor(0xE8, 0xF1, 0xF8), 2));
  p.setBrush(QColor(0x2B, 0x73, 0xA8));
  p.drawRoundedRect(QRectF(10, 16, 46, 30), 5, 5);
  p.setBrush(QColor(0xE0, 0xB8, 0x4C));
  p.setPen(QPen(QColor(0x8A, 0x6A, 0x1C), 1));
  p.drawRoundedRect(QRectF(17, 24, 14, 11), 2, 2);
  p.drawLine(QPointF(24, 24), QPointF(24, 35));
  p.drawLine(QPointF(17, 29.5), QPointF(31, 29.5));

  // The V of the wordmark as a swoosh.
  QPainterPath v;
  v.moveTo(64, 14);
  v.lineTo(78, 48);
  v.lineTo(96, 10);
  v.lineTo(88, 10);
  v.lineTo(78, 34);
  v.lineTo(72, 14);
  v.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xF5, 0xA6, 0x23));
  p.drawPath(v);

  QFont word("DejaVu Sans", 20, QFont::Bold);
  p.setFont(word);
  p.setPen(QColor(0xFF, 0xFF, 0xFF));
  p.drawText(QRectF(98, 12, 104, 34), Qt::AlignLeft | Qt::AlignVCenter, "eltra");

  QFont sub("DejaVu Sans", 9);
  sub.setLetterSpacing(QFont::AbsoluteSpacing, 3);
  p.setFont(sub);
  p.setPen(QColor(0xCF, 0xE2, 0xF0));
  p.drawText(QRectF(0, 54, 204, 18), Qt::AlignHCenter | Qt::AlignVCenter, "SOFTWARE");

  p.setPen(QPen(QColor(0xF5, 0xA6, 0x23), 2));
  p.drawLine(QPointF(40, 76), QPointF(164, 76));
  p.end();
  if (!image.save(argv[1], "PNG")) return 1;

  // The icon: the card and the V of the wordmark on the same blue, rounded,
  // drawn on a 128-pixel grid and scaled to each size.
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter q(&icon);
    q.setRenderHint(QPainter::Antialiasing);
    q.scale(size / 128.0, size / 128.0);
    QLinearGradient iconSky(0, 0, 0, 128);
    iconSky.setColorAt(0, QColor(0x0B, 0x2A, 0x4A));
    iconSky.setColorAt(1, QColor(0x1D, 0x5C, 0x8C));
    q.setPen(Qt::NoPen);
    q.setBrush(iconSky);
    q.drawRoundedRect(QRectF(4, 4, 120, 120), 22, 22);
    q.setPen(QPen(QColor(0xE8, 0xF1, 0xF8), 3));
    q.setBrush(QColor(0x2B, 0x73, 0xA8));
    q.drawRoundedRect(QRectF(14, 62, 72, 46), 7, 7);
    q.setBrush(QColor(0xE0, 0xB8, 0x4C));
    q.setPen(QPen(QColor(0x8A, 0x6A, 0x1C), 1.5));
    q.drawRoundedRect(QRectF(24, 74, 22, 17), 3, 3);
    QPainterPath bigV;
    bigV.moveTo(52, 14);
    bigV.lineTo(78, 76);
    bigV.lineTo(114, 10);
    bigV.lineTo(99, 10);
    bigV.lineTo(78, 50);
    bigV.lineTo(67, 14);
    bigV.closeSubpath();
    q.setPen(Qt::NoPen);
    q.setBrush(QColor(0xF5, 0xA6, 0x23));
    q.drawPath(bigV);
    q.end();
    if (!icon.save(QString("%1/usb-corvane-config-%2.png").arg(argv[2]).arg(size), "PNG")) return 1;
  }
  return 0;
}
